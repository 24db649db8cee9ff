#pragma once

#include <string>
#include <vector>

namespace tavik::ui {

struct Presets {
    std::string letter;   // empty, or the first character of the first token
    std::string number;   // the rest of the first token
    std::string command;  // the second token, whole
};

// The command line's tokens to the dialog's presets; tokens after the second are ignored.
Presets presetsFromArguments(const std::vector<std::string>& arguments);

// The program: builds the window from the command line and runs it. The exit status is 0, or 1
// when a command from the command line was encoded but did not reach the transmitter.
class CRemoteApp {
  public:
    int initInstance(int argc, char** argv);
};

}  // namespace tavik::ui
