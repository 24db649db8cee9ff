// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class QCoreApplication;

namespace tavik::ui {

// Qt's own texts (the edit field's context menu, standard buttons) in Japanese, like the window's,
// whatever the locale. False when `directory` has no Japanese translation of Qt: its texts then
// stay English and the window works as before.
bool installToolkitTranslation(QCoreApplication& application, const QString& directory);

// Where Debian's qt6-translations-l10n puts them.
QString toolkitTranslationDirectory();

}  // namespace tavik::ui
