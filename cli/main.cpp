// SPDX-License-Identifier: MIT
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "cli_app.hpp"
#include "hidapi_backend.hpp"

int main(int argc, char** argv) {
    // A closed pipe is a write error to report, not a signal that ends the program unannounced.
    std::signal(SIGPIPE, SIG_IGN);
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv, argv + argc);
    tavik::HidapiBackend backend;
    return tavik::cli::runCli(args, std::cin, std::cout, std::cerr, &backend);
}
