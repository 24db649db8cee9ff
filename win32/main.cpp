// SPDX-License-Identifier: MIT
#include <windows.h>

#include "command_line.hpp"
#include "platform_hid.hpp"
#include "remote_app.hpp"
#include "text_convert_win.hpp"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    const std::string commandLine = tavik::utf8FromWide(GetCommandLineW());
    const auto backend = tavik::createPlatformHidBackend();
    return tavik::win32::runRemoteApp(instance, std::string(tavik::argumentText(commandLine)),
                                      *backend);
}
