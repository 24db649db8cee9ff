// SPDX-License-Identifier: MIT
#include "accessible_factory.hpp"

#include <QAccessibleWidget>

#include "drop_down_list.hpp"
#include "log_accessible.hpp"
#include "log_list_view.hpp"
#include "qr_code_view.hpp"
#include "selector_accessible.hpp"

namespace tavik::ui {
namespace {

// Qt asks the factories installed last first, so this one comes before its own.
QAccessibleInterface* tavikInterface(const QString& /*className*/, QObject* object) {
    if (auto* log = dynamic_cast<LogListView*>(object)) {
        return new LogAccessible(log);
    }
    if (auto* selector = dynamic_cast<DropDownList*>(object)) {
        return new SelectorAccessible(selector);
    }
    if (auto* code = dynamic_cast<QrCodeView*>(object)) {
        // A plain widget would be a "client" area with nothing to say; the code is an image whose
        // text alternative is its link.
        return new QAccessibleWidget(code, QAccessible::Graphic);
    }
    return nullptr;
}

}  // namespace

void installAccessibleFactory() {
    static const bool installed = [] {
        QAccessible::installFactory(tavikInterface);
        return true;
    }();
    (void)installed;
}

}  // namespace tavik::ui
