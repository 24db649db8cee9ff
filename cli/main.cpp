#include <iostream>
#include <string>
#include <vector>

#include "cli_app.hpp"
#include "hidapi_backend.hpp"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv, argv + argc);
    tavik::HidapiBackend backend;
    return tavik::cli::runCli(args, std::cin, std::cout, std::cerr, &backend);
}
