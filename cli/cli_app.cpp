#include "cli_app.hpp"

#include <CLI/CLI.hpp>
#include <istream>
#include <ostream>

#include "devices_command.hpp"
#include "encode_command.hpp"
#include "list_command.hpp"
#include "send_command.hpp"
#include "version.hpp"

namespace tavik::cli {
namespace {

// SYSTEM COMMAND, or --batch: what encode and send both take.
struct CommandArguments {
    std::string system;
    std::string command;
    bool batch = false;

    void addTo(CLI::App& subcommand, const std::string& batchHelp) {
        subcommand.add_option("SYSTEM", system,
                              "System letter, directly followed by an optional system number (T3)");
        subcommand.add_option("COMMAND", command,
                              "Song number or function name (SE KU KD SP ST CL)");
        subcommand.add_flag("--batch", batch, batchHelp);
    }

    // Either SYSTEM (and COMMAND) or --batch.
    void check() const {
        if (batch && !system.empty()) {
            throw CLI::ValidationError("--batch takes no SYSTEM or COMMAND");
        }
        if (!batch && system.empty()) {
            throw CLI::RequiredError("SYSTEM");
        }
    }
};

}  // namespace

int runCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err, HidBackend* backend) {
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
    CommandArguments encodeArgs;
    encodeArgs.addTo(*encode, "Read 'SYSTEM COMMAND' lines from standard input");

    auto* send = app.add_subcommand("send", "Send a command to the transmitter");
    CommandArguments sendArgs;
    sendArgs.addTo(*send, "Send each 'SYSTEM COMMAND' line of standard input over one connection");
    SendOptions sendOptions;
    send->add_option("--device", sendOptions.devicePath,
                     "Use the transmitter at this path (see 'devices') instead of the first");
    send->add_flag("--trace", sendOptions.trace,
                   "Print each report written and the last input report on standard error");

    auto* devices = app.add_subcommand("devices", "List the transmitters present");

    std::vector<const char*> argv;
    argv.reserve(args.size());
    for (const std::string& a : args) {
        argv.push_back(a.c_str());
    }
    try {
        app.parse(static_cast<int>(argv.size()), argv.data());
        if (encode->parsed()) {
            encodeArgs.check();
        }
        if (send->parsed()) {
            sendArgs.check();
        }
    } catch (const CLI::ParseError& e) {
        return app.exit(e, out, err) == 0 ? kExitOk : kExitBadInput;
    }

    if (encode->parsed()) {
        return encodeArgs.batch ? encodeBatch(in, out)
                                : encodeSingle(encodeArgs.system, encodeArgs.command, out, err);
    }
    if (send->parsed() || devices->parsed()) {
        if (backend == nullptr) {
            err << "tavik-cli: no access to HID devices\n";
            return kExitNotDelivered;
        }
        if (devices->parsed()) {
            return listDevices(*backend, out, err);
        }
        return sendArgs.batch
                   ? sendBatch(*backend, sendOptions, in, out, err)
                   : sendSingle(*backend, sendOptions, sendArgs.system, sendArgs.command, out, err);
    }
    return listSystems(out);
}

}  // namespace tavik::cli
