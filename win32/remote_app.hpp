// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <string>

namespace tavik {
class HidBackend;
}

namespace tavik::win32 {

// The program: the dialog with the presets of `arguments` (the command line without the program
// name), run modally. The exit status is 0, 1 when a command from the command line was encoded
// but did not reach the transmitter, and 2 when the window could not be opened; that is said on
// standard error or the parent console, and only without either in a message box.
int runRemoteApp(HINSTANCE instance, const std::string& arguments, HidBackend& backend);

}  // namespace tavik::win32
