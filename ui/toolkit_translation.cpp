// SPDX-License-Identifier: MIT
#include "toolkit_translation.hpp"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace tavik::ui {

bool installToolkitTranslation(QCoreApplication& application, const QString& directory) {
    auto* translator = new QTranslator(&application);
    if (!translator->load(QStringLiteral("qtbase_ja"), directory)) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

QString toolkitTranslationDirectory() {
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
}

}  // namespace tavik::ui
