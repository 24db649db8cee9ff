// SPDX-License-Identifier: MIT
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <system_error>

#include "cli_app.hpp"
#include "mqtt_command.hpp"

namespace tavik::cli {

// The bridge is a program of its own: tavik-cli's other starts never load libmosquitto and its
// TLS library. It is looked for beside tavik-cli (a build tree), then where it is installed.
int launchMqttBridge(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                     HidBackend* /*backend*/) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    std::filesystem::path program = self.parent_path() / "tavik-mqtt";
    if (error || !std::filesystem::exists(program, error)) {
        program = TAVIK_MQTT_PROGRAM;
    }
    std::vector<char*> argv;
    std::string name = program.string();
    argv.push_back(name.data());
    std::vector<std::string> rest(args.begin() + 1, args.end());
    for (std::string& arg : rest) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    out.flush();
    err.flush();
    execv(name.c_str(), argv.data());
    err << "tavik-cli: cannot run the MQTT bridge " << name << ": "
        << std::generic_category().message(errno) << '\n';
    return kExitBadInput;
}

}  // namespace tavik::cli
