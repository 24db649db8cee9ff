#include <iostream>
#include <string>
#include <vector>

#include "cli_app.hpp"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv, argv + argc);
    return tavik::cli::runCli(args, std::cin, std::cout, std::cerr, nullptr);
}
