// SPDX-License-Identifier: MIT
#include <csignal>

#include "console.hpp"

namespace tavik::cli {

void prepareStandardStreams() {
    // A closed pipe is a write error to report, not a signal that ends the program unannounced.
    std::signal(SIGPIPE, SIG_IGN);
}

std::vector<std::string> programArguments(int argc, char** argv) {
    return {argv, argv + argc};
}

}  // namespace tavik::cli
