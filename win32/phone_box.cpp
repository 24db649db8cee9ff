// SPDX-License-Identifier: MIT
#include "phone_box.hpp"

#include <algorithm>

#include "resource.h"
#include "text_convert_win.hpp"

namespace tavik::win32 {
namespace {

constexpr int kQuietZone = 4;  // modules of light border that cameras need

}  // namespace

PhoneBox::PhoneBox(HINSTANCE instance, HWND owner, const std::vector<std::string>& urls,
                   Actions actions)
    : m_owner(owner),
      m_code(phone::qrMatrix(urls.empty() ? std::string() : urls.front())),
      m_actions(std::move(actions)) {
    for (const std::string& url : urls) {
        m_links += (m_links.empty() ? L"" : L"\r\n") + wideFromUtf8(url);
    }
    m_box = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_PHONE_BOX), owner, boxProc,
                               reinterpret_cast<LPARAM>(this));
}

PhoneBox::~PhoneBox() {
    if (m_box != nullptr) {
        DestroyWindow(m_box);
    }
}

void PhoneBox::show() {
    ShowWindow(m_box, SW_SHOW);
    SetForegroundWindow(m_box);
}

void PhoneBox::setSystemText(const std::string& system) {
    const std::wstring text =
        system.empty()
            ? std::wstring(L"スマホからはどのシステムにも送れます。")
            : L"スマホからはこの画面で選んでいる " + wideFromUtf8(system) + L" に送ります。";
    SetDlgItemTextW(m_box, IDC_PHONE_SYSTEM, text.c_str());
    if (m_fit) {
        m_fit->fit();
    }
    CheckDlgButton(m_box, IDC_PHONE_EVERY, system.empty() ? BST_CHECKED : BST_UNCHECKED);
}

INT_PTR CALLBACK PhoneBox::boxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<PhoneBox*>(lParam);
        SetWindowLongPtrW(box, DWLP_USER, lParam);
        self->m_box = box;
        SetDlgItemTextW(box, IDC_PHONE_LINKS, self->m_links.c_str());
        self->m_fit.emplace(box);
        self->m_fit->fit();
        self->placeBesideOwner();
        return TRUE;
    }
    auto* self = reinterpret_cast<PhoneBox*>(GetWindowLongPtrW(box, DWLP_USER));
    return self != nullptr ? self->handle(message, wParam, lParam) : FALSE;
}

INT_PTR PhoneBox::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_PHONE_STOP:
                    m_actions.stopServing();
                    return TRUE;
                case IDC_PHONE_EVERY:
                    m_actions.openToEverySystem(IsDlgButtonChecked(m_box, IDC_PHONE_EVERY) ==
                                                BST_CHECKED);
                    return TRUE;
                case IDOK:  // Enter: nothing, so that no stray key ends the guests' links
                    return TRUE;
                case IDCANCEL:  // Escape or the close button: the box goes, serving goes on
                    DestroyWindow(m_box);
                    return TRUE;
                default:
                    return FALSE;
            }
        case WM_DRAWITEM:
            if (wParam == IDC_PHONE_QR) {
                paintCode(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
                return TRUE;
            }
            return FALSE;
        case WM_DESTROY:
            m_box = nullptr;
            if (m_actions.closed) {
                m_actions.closed();
            }
            return TRUE;
        default:
            return FALSE;
    }
}

void PhoneBox::placeBesideOwner() {
    RECT main{};
    RECT box{};
    GetWindowRect(m_owner, &main);
    GetWindowRect(m_box, &box);
    const int width = box.right - box.left;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(m_owner, MONITOR_DEFAULTTONEAREST), &monitor);
    constexpr int kGap = 8;
    int x = main.right + kGap;
    if (x + width > monitor.rcWork.right && main.left - kGap - width >= monitor.rcWork.left) {
        x = main.left - kGap - width;
    }
    SetWindowPos(m_box, nullptr, x, main.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Dark modules on white with the quiet zone, a whole number of pixels a module.
void PhoneBox::paintCode(const DRAWITEMSTRUCT& item) const {
    const RECT& area = item.rcItem;
    FillRect(item.hDC, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    const int modules = m_code.size + 2 * kQuietZone;
    const int side = std::min(area.right - area.left, area.bottom - area.top);
    const int pixels = std::max(1, side / std::max(1, modules));
    const int left =
        area.left + (area.right - area.left - modules * pixels) / 2 + kQuietZone * pixels;
    const int top =
        area.top + (area.bottom - area.top - modules * pixels) / 2 + kQuietZone * pixels;
    const auto dark = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    for (int y = 0; y < m_code.size; ++y) {
        for (int x = 0; x < m_code.size; ++x) {
            if (m_code.isDark(x, y)) {
                const RECT module{left + x * pixels, top + y * pixels, left + (x + 1) * pixels,
                                  top + (y + 1) * pixels};
                FillRect(item.hDC, &module, dark);
            }
        }
    }
}

}  // namespace tavik::win32
