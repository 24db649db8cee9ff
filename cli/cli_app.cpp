// SPDX-License-Identifier: MIT
#include "cli_app.hpp"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <istream>
#include <ostream>
#include <system_error>

#include "devices_command.hpp"
#include "encode_command.hpp"
#include "list_command.hpp"
#include "mqtt_command.hpp"
#include "option_checks.hpp"
#include "send_command.hpp"
#include "serve_command.hpp"
#include "stream_errors.hpp"
#include "version.hpp"

namespace tavik::cli {
namespace {

constexpr const char* kCommandHelp =
    "Song number (digits; A, B and - where the system has them) or function name: SE confirm, "
    "KU key up, KD key down, SP stop, ST start, CL clear (any case)";

// Below the subcommands of `tavik-cli --help`: what the arguments of encode and send hold.
constexpr const char* kArgumentsHelp =
    "SYSTEM: a system letter (any case) directly followed by an optional system number, as "
    "'tavik-cli list' shows them: T3 is TOEI システム number 3, T alone its first number.\n"
    "COMMAND: a song number (digits; A, B and - where the system has them) or a function name "
    "(any case):\n"
    "  SE  confirm     KU  key up     KD  key down\n"
    "  SP  stop        ST  start      CL  clear\n"
    "A --batch line holds SYSTEM COMMAND (blanks or tabs between; further tokens ignored); "
    "blank lines and lines whose first non-blank is # are skipped.\n";

// SYSTEM COMMAND, or --batch [FILE]: what encode and send both take.
struct CommandArguments {
    std::string system;  // with --batch: the file, or empty or "-" for standard input
    std::string command;
    bool batch = false;

    void addTo(CLI::App& subcommand, const std::string& batchHelp) {
        subcommand.add_option("SYSTEM", system,
                              "System letter, directly followed by an optional system number "
                              "(T3); with --batch, the file to read ('-' or none: standard input)");
        subcommand.add_option("COMMAND", command, kCommandHelp);
        subcommand.add_flag("--batch", batch, batchHelp);
    }

    // Either SYSTEM and COMMAND, or --batch with at most a file.
    void check(const CLI::App& subcommand) const {
        if (batch && subcommand.count("COMMAND") > 0) {
            throw CLI::ValidationError("--batch takes at most one FILE, no SYSTEM or COMMAND");
        }
        if (!batch && subcommand.count("SYSTEM") == 0) {
            throw CLI::RequiredError("SYSTEM");
        }
        if (!batch && subcommand.count("COMMAND") == 0) {
            throw CLI::RequiredError("COMMAND");
        }
    }
};

// The batch's lines: standard input, or the file named after --batch. False, with the reason
// said on `err`, when the file cannot be opened.
bool openBatchInput(const std::string& name, std::ifstream& file, std::ostream& err) {
    if (name.empty() || name == "-") {
        return true;
    }
    errno = 0;
    // The arguments are UTF-8 on every platform; the path takes them as such.
    file.open(std::filesystem::path(std::u8string(name.begin(), name.end())), std::ios::binary);
    if (!file.is_open()) {
        const int reason = errno;
        err << "tavik-cli: cannot read " << name << ": "
            << (reason != 0 ? std::generic_category().message(reason) : "cannot open") << '\n';
        return false;
    }
    return true;
}

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
    app.footer(kArgumentsHelp);

    auto* list = app.add_subcommand("list", "List the karaoke systems: letter, name, number range");

    auto* encode = app.add_subcommand(
        "encode", "Print the packet and output reports of a command, without sending it");
    CommandArguments encodeArgs;
    encodeArgs.addTo(*encode, "Read 'SYSTEM COMMAND' lines from standard input, or from FILE");

    auto* send = app.add_subcommand("send", "Send a command to the transmitter");
    CommandArguments sendArgs;
    sendArgs.addTo(*send,
                   "Send each 'SYSTEM COMMAND' line of standard input, or of FILE, over one "
                   "connection");
    SendOptions sendOptions;
    send->add_option("--device", sendOptions.device,
                     "Use this transmitter (node, node name or serial number; see 'devices')");
    send->add_flag("--trace", sendOptions.trace,
                   "Print each report written and the last input report on standard error");
    int gapMs = static_cast<int>(sendOptions.gap.count());
    send->add_option("--gap", gapMs, "Milliseconds between packets of a batch (default 300)")
        ->check(wholeNumber())
        ->check(CLI::Range(0, 60000));
    int waitSeconds = -1;
    send->add_option("--wait", waitSeconds,
                     "Seconds a line waits for a missing or lost transmitter (default 10 with "
                     "--batch, else 0)")
        ->check(wholeNumber())
        ->check(CLI::Range(0, 3600));

    auto* devices = app.add_subcommand("devices", "List the transmitters present");

    ServeOptions serveOptions;
    CLI::App* const serve = addServeCommand(app, serveOptions);

    // Its options are the bridge's own: everything after the word goes to it.
    app.add_subcommand("mqtt",
                       "Send the room's commands from an MQTT broker (rooms, Home Assistant) "
                       "until Ctrl+C or SIGTERM; see 'tavik-cli mqtt --help'")
        ->prefix_command();
    if (args.size() > 1 && args[1] == "mqtt") {
        std::vector<std::string> bridgeArgs(args.begin() + 1, args.end());
        bridgeArgs.front() = "tavik-cli mqtt";
        return launchMqttBridge(bridgeArgs, out, err, backend);
    }

    std::vector<const char*> argv;
    argv.reserve(args.size());
    for (const std::string& a : args) {
        argv.push_back(a.c_str());
    }
    // CLI11 only says that a subcommand is required; name the word that is not one.
    const auto subcommands = app.get_subcommands([](const CLI::App*) { return true; });
    const auto known = [&](const std::string& name) {
        return std::any_of(subcommands.begin(), subcommands.end(),
                           [&](const CLI::App* s) { return s->check_name(name); });
    };
    if (args.size() > 1 && !args[1].empty() && args[1][0] != '-' && !known(args[1])) {
        err << "tavik-cli: unknown subcommand '" << args[1] << "' (see 'tavik-cli --help')\n";
        return kExitBadInput;
    }
    try {
        app.parse(static_cast<int>(argv.size()), argv.data());
        if (encode->parsed()) {
            encodeArgs.check(*encode);
        }
        if (send->parsed()) {
            sendArgs.check(*send);
        }
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e, out, err);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e, out, err);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e, out, err);
    } catch (const CLI::ParseError& e) {
        err << "tavik-cli: " << e.what() << " (see 'tavik-cli --help')\n";
        return kExitBadInput;
    }
    sendOptions.gap = std::chrono::milliseconds(gapMs);
    sendOptions.wait = waitSeconds >= 0 ? std::chrono::seconds(waitSeconds)
                       : sendArgs.batch ? kBatchWait
                                        : std::chrono::seconds(0);

    // With --batch, SYSTEM is the file of lines.
    std::ifstream batchFile;
    const std::string& batchName = send->parsed() ? sendArgs.system : encodeArgs.system;
    if ((sendArgs.batch || encodeArgs.batch) && !openBatchInput(batchName, batchFile, err)) {
        return kExitBadInput;
    }
    std::istream& lines = batchFile.is_open() ? batchFile : in;
    const std::string_view source = batchFile.is_open() ? batchName : kStandardInput;

    int code = kExitOk;
    if (list->parsed()) {
        code = listSystems(out);
    } else if (encode->parsed()) {
        code = encodeArgs.batch ? encodeBatch(lines, out, err, source)
                                : encodeSingle(encodeArgs.system, encodeArgs.command, out, err);
    } else if (backend == nullptr) {
        err << "tavik-cli: no access to HID devices\n";
        return kExitNotDelivered;
    } else if (devices->parsed()) {
        code = listDevices(*backend, out, err);
    } else if (serve != nullptr && serve->parsed()) {
        code = serveRemote(*backend, serveOptions, out, err);
    } else {
        code = sendArgs.batch
                   ? sendBatch(*backend, sendOptions, lines, out, err, source)
                   : sendSingle(*backend, sendOptions, sendArgs.system, sendArgs.command, out, err);
    }
    return outputWritten(out, err) ? code : kExitStreamError;
}

}  // namespace tavik::cli
