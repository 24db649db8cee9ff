// SPDX-License-Identifier: MIT
#include "remote_app.hpp"

#include "presets.hpp"
#include "remote_dialog.hpp"
#include "text_convert_win.hpp"
#include "window_log.hpp"

namespace tavik::win32 {
namespace {

int cannotOpenWindow(DWORD error) {
    const std::string line = "tavik: cannot open the window (error " + std::to_string(error) + ")";
    // A script must never wait on a box: it is shown only where no console takes the line.
    if (!writeErrorLine(line)) {
        MessageBoxW(nullptr, wideFromUtf8(line).c_str(), L"TAVIK", MB_OK | MB_ICONERROR);
    }
    return 2;
}

}  // namespace

int runRemoteApp(HINSTANCE instance, const std::string& arguments, HidBackend& backend) {
    CRemoteDlg dialog(instance, backend, presetsFromArguments({arguments}));
    if (dialog.runModal() == -1) {
        return cannotOpenWindow(GetLastError());
    }
    return dialog.presetNotDelivered() ? 1 : 0;
}

}  // namespace tavik::win32
