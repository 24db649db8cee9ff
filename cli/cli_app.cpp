#include "cli_app.hpp"

#include <CLI/CLI.hpp>
#include <istream>
#include <ostream>

#include "encode_command.hpp"
#include "list_command.hpp"
#include "version.hpp"

namespace tavik::cli {

int runCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err, HidBackend* backend) {
    (void)backend;
    CLI::App app{
        "Sends remote-control commands to karaoke systems through the USB infrared "
        "transmitter, without a window.",
        "tavik-cli"};
    app.set_version_flag("--version", std::string("tavik-cli ") + kVersion);
    app.require_subcommand(1, 1);
    app.set_help_all_flag("--help-all", "Print help for every subcommand");

    app.add_subcommand("list", "List the karaoke systems: letter, name, number range");

    auto* encode = app.add_subcommand(
        "encode", "Print the packet and output reports of a command, without sending it");
    std::string system;
    std::string command;
    bool batch = false;
    encode->add_option("SYSTEM", system,
                       "System letter, directly followed by an optional system number (T3)");
    encode->add_option("COMMAND", command, "Song number or function name (SE KU KD SP ST CL)");
    encode->add_flag("--batch", batch, "Read 'SYSTEM COMMAND' lines from standard input");

    std::vector<const char*> argv;
    argv.reserve(args.size());
    for (const std::string& a : args) {
        argv.push_back(a.c_str());
    }
    try {
        app.parse(static_cast<int>(argv.size()), argv.data());
        if (encode->parsed()) {
            if (batch && !system.empty()) {
                throw CLI::ValidationError("--batch takes no SYSTEM or COMMAND");
            }
            if (!batch && system.empty()) {
                throw CLI::RequiredError("SYSTEM");
            }
        }
    } catch (const CLI::ParseError& e) {
        return app.exit(e, out, err) == 0 ? kExitOk : kExitBadInput;
    }

    if (encode->parsed()) {
        return batch ? encodeBatch(in, out) : encodeSingle(system, command, out, err);
    }
    return listSystems(out);
}

}  // namespace tavik::cli
