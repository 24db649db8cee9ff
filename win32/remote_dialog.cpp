// SPDX-License-Identifier: MIT
#include "remote_dialog.hpp"

#include "control_ids.hpp"
#include "hidden_labels.hpp"
#include "phone_messages.hpp"
#include "resource.h"
#include "text_convert_win.hpp"
#include "text_fit.hpp"
#include "version.hpp"
#include "whole_paste.hpp"

namespace tavik::win32 {
namespace {

// The resource script has its own copy of the identifiers.
static_assert(IDC_SEND == ids::kSend && IDC_CLEAR == ids::kClear);
static_assert(IDC_SYSTEM == ids::kSystemSelector && IDC_NUMBER == ids::kNumberSelector);
static_assert(IDC_COMMAND == ids::kCommandField && IDC_LOG == ids::kLogList);

// Posted by the phones' box's stop button, so that the box is not destroyed inside its own call.
constexpr UINT kStopPhones = WM_APP + 4;
// The phones' item of the window menu (the low four bits of a system command are the system's).
constexpr UINT kPhoneCommand = 32;
// The command field's 16-character buffer: 15 characters and the terminating zero.
constexpr int kCommandBuffer = 16;

INT_PTR CALLBACK aboutProc(HWND box, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG: {
            const std::wstring version = L"tavik Version " + wideFromUtf8(kVersion);
            SetDlgItemTextW(box, IDC_ABOUT_VERSION, version.c_str());
            TextFit(box).fit();
            return TRUE;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(box, LOWORD(wParam));
                return TRUE;
            }
            break;
        default:
            break;
    }
    return FALSE;
}

}  // namespace

CRemoteDlg::CRemoteDlg(HINSTANCE instance, HidBackend& backend, Presets presets)
    : m_instance(instance),
      m_presets(std::move(presets)),
      m_session(backend, m_log, {{kReadTimeoutMs, {}, nullptr}}) {
    m_icon =
        static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_TAVIK), IMAGE_ICON,
                                      GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
    m_smallIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_TAVIK), IMAGE_ICON,
                                                GetSystemMetrics(SM_CXSMICON),
                                                GetSystemMetrics(SM_CYSMICON), 0));
}

CRemoteDlg::~CRemoteDlg() {
    DestroyIcon(m_icon);
    DestroyIcon(m_smallIcon);
}

INT_PTR CRemoteDlg::runModal() {
    return DialogBoxParamW(m_instance, MAKEINTRESOURCEW(IDD_TAVIK_DIALOG), nullptr, dialogProc,
                           reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CRemoteDlg::dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CRemoteDlg*>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        self->m_dialog = dialog;
        self->m_loop.bind(dialog);
        return self->initialise();
    }
    auto* self = reinterpret_cast<CRemoteDlg*>(GetWindowLongPtrW(dialog, DWLP_USER));
    return self != nullptr ? self->handle(message, wParam, lParam) : FALSE;
}

BOOL CRemoteDlg::initialise() {
    m_systems.bind(GetDlgItem(m_dialog, IDC_SYSTEM));
    m_numbers.bind(GetDlgItem(m_dialog, IDC_NUMBER));
    m_commandField = GetDlgItem(m_dialog, IDC_COMMAND);
    COMBOBOXINFO field{};
    field.cbSize = sizeof field;
    if (GetComboBoxInfo(m_commandField, &field)) {
        refusePartialPastes(field.hwndItem);
        labelComboEdit(m_commandField, field.hwndItem, GetDlgItem(m_dialog, IDC_COMMAND_LABEL));
    }
    m_log.bind(m_dialog, GetDlgItem(m_dialog, IDC_LOG));
    addAboutItem();
    SendMessageW(m_dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon));
    SendMessageW(m_dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon));
    m_controller.initialise(m_presets);
    return TRUE;  // the focus goes to the first control: the system selector
}

void CRemoteDlg::addAboutItem() {
    HMENU menu = GetSystemMenu(m_dialog, FALSE);
    wchar_t text[64] = {};
    if (menu == nullptr || LoadStringW(m_instance, IDS_ABOUT_ITEM, text, 64) == 0) {
        return;
    }
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    wchar_t phones[64] = {};
    if (LoadStringW(m_instance, IDS_PHONE_ITEM, phones, 64) != 0) {
        AppendMenuW(menu, MF_STRING, kPhoneCommand, phones);
    }
    AppendMenuW(menu, MF_STRING, ids::kAboutCommand, text);
}

void CRemoteDlg::openAbout() {
    DialogBoxParamW(m_instance, MAKEINTRESOURCEW(IDD_ABOUTBOX), m_dialog, aboutProc, 0);
}

INT_PTR CRemoteDlg::handle(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            const int code = HIWORD(wParam);
            if (id == IDC_SYSTEM && code == CBN_SELCHANGE) {
                m_controller.fillNumberSelector();
                m_phones.followSelectors();
            } else if (id == IDC_NUMBER && code == CBN_SELCHANGE) {
                m_phones.followSelectors();
            } else if (id == IDOK || (id == IDC_SEND && code == BN_CLICKED)) {
                // Enter with the focus outside the buttons is the default button's, SEND.
                m_controller.sendField();
            } else if (id == IDCANCEL) {
                // Escape: no shutdown; the end of the program releases the transmitter.
                if (m_phones.mayEscape()) {
                    EndDialog(m_dialog, IDCANCEL);
                }
            } else if (const auto key = ids::functionOfButton(id); key && code == BN_CLICKED) {
                m_controller.sendFunction(*key);
            } else {
                return FALSE;
            }
            return TRUE;
        }
        case WM_CLOSE:
            m_phones.stop();
            m_session.shutdown();
            EndDialog(m_dialog, IDCANCEL);
            return TRUE;
        case WM_SYSCOMMAND:
            // The low four bits of a system command are the system's own.
            if ((wParam & 0xFFF0) == ids::kAboutCommand) {
                openAbout();
                return TRUE;
            }
            if ((wParam & 0xFFF0) == kPhoneCommand) {
                m_phones.open();
                return TRUE;
            }
            return FALSE;
        case WM_MENUCHAR:
            // Alt and a letter that no menu item has: perhaps a hidden label's mnemonic.
            if (focusByHiddenLabel(m_dialog, static_cast<wchar_t>(LOWORD(wParam)))) {
                SetWindowLongPtrW(m_dialog, DWLP_MSGRESULT, MAKELRESULT(0, MNC_CLOSE));
                return TRUE;
            }
            return FALSE;
        case WM_PAINT:
            return paintMinimised() ? TRUE : FALSE;
        case WM_QUERYDRAGICON:
            return reinterpret_cast<INT_PTR>(m_icon);
        case kLogLinePending:
            m_log.deliverPending();
            return TRUE;
        case WindowOwnerLoop::kRunPosted:
            m_loop.runPosted();
            return TRUE;
        case WM_TIMER:
            return m_loop.runTimer(wParam) ? TRUE : FALSE;
        case kStopPhones:
            m_phones.stop();
            return TRUE;
        default:
            return FALSE;
    }
}

bool CRemoteDlg::paintMinimised() {
    if (!IsIconic(m_dialog)) {
        return false;
    }
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_dialog, &paint);
    SendMessageW(m_dialog, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(m_dialog, &client);
    const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, m_icon);
    EndPaint(m_dialog, &paint);
    return true;
}

void CRemoteDlg::showPhoneBox(const std::vector<std::string>& urls, const std::string& system,
                              const std::string& portNote) {
    if (!m_phoneBox || !m_phoneBox->isOpen()) {
        // The port's note goes under the links, where the port shows.
        std::vector<std::string> lines = urls;
        if (!portNote.empty()) {
            lines.push_back(portNote);
        }
        m_phoneBox = std::make_unique<PhoneBox>(
            m_instance, m_dialog, lines,
            PhoneBox::Actions{[dialog = m_dialog] { PostMessageW(dialog, kStopPhones, 0, 0); },
                              [this](bool everySystem) { m_phones.setEverySystem(everySystem); },
                              {}});
        m_phoneBox->setSystemText(system);
    }
    m_phoneBox->show();
}

void CRemoteDlg::setPhoneSystem(const std::string& system) {
    if (m_phoneBox && m_phoneBox->isOpen()) {
        m_phoneBox->setSystemText(system);
    }
}

void CRemoteDlg::closePhoneBox() {
    m_phoneBox.reset();
}

void CRemoteDlg::setCommandText(std::string_view text) {
    SetWindowTextW(m_commandField, wideFromUtf8(text).c_str());
}

std::string CRemoteDlg::commandText() const {
    wchar_t text[kCommandBuffer] = {};
    GetWindowTextW(m_commandField, text, kCommandBuffer);
    return utf8FromWide(text);
}

void CRemoteDlg::endDialog(int result) {
    EndDialog(m_dialog, result);
}

}  // namespace tavik::win32
