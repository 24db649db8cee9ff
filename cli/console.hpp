// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

namespace tavik::cli {

// Sets the standard streams up for the run: bytes pass unchanged (UTF-8 on a Windows console,
// LF line ends when redirected), and a closed pipe becomes a write error instead of a signal.
void prepareStandardStreams();

// The program's arguments as UTF-8, program name first.
std::vector<std::string> programArguments(int argc, char** argv);

}  // namespace tavik::cli
