// SPDX-License-Identifier: MIT
#pragma once

namespace tavik {
class HidBackend;
}

namespace tavik::ui {

// The program: builds the window from the command line and runs it. The exit status is 0, or 1
// when a command from the command line was encoded but did not reach the transmitter. Once a
// window has run, it ends the process itself with that status; it returns only after printing
// --help or --version.
class CRemoteApp {
  public:
    int initInstance(int argc, char** argv, HidBackend& backend);
};

}  // namespace tavik::ui
