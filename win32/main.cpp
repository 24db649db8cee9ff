// SPDX-License-Identifier: MIT
#include <windows.h>

#include "command_line.hpp"
#include "platform_hid.hpp"
#include "presets.hpp"
#include "remote_dialog.hpp"
#include "text_convert_win.hpp"

// The program: the dialog with the command line's presets. The exit status is 0, or 1 when a
// command from the command line was encoded but did not reach the transmitter.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    const std::string commandLine = tavik::utf8FromWide(GetCommandLineW());
    const std::string arguments(tavik::argumentText(commandLine));
    const auto backend = tavik::createPlatformHidBackend();
    tavik::win32::CRemoteDlg dialog(instance, *backend, tavik::presetsFromArguments({arguments}));
    dialog.runModal();
    return dialog.presetNotDelivered() ? 1 : 0;
}
