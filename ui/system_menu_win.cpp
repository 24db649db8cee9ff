// SPDX-License-Identifier: MIT
// The About item in the real system menu. Untested: Windows cannot run where this is built.
#include <windows.h>

#include <QWidget>
#include <string>

#include "control_ids.hpp"
#include "system_menu.hpp"

namespace tavik::ui {

void installAboutItem(QWidget& window, const std::function<void()>&) {
    HMENU menu = GetSystemMenu(reinterpret_cast<HWND>(window.winId()), FALSE);
    if (menu == nullptr) {
        return;
    }
    const std::wstring text = QString::fromUtf8(kAboutItemText).toStdWString();
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, ids::kAboutCommand, text.c_str());
}

bool isAboutCommand(const QByteArray& eventType, void* message) {
    if (eventType != "windows_generic_MSG") {
        return false;
    }
    const MSG* msg = static_cast<const MSG*>(message);
    // The low four bits of a system command are the system's own.
    return msg->message == WM_SYSCOMMAND && (msg->wParam & 0xFFF0) == ids::kAboutCommand;
}

}  // namespace tavik::ui
