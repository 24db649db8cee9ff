// SPDX-License-Identifier: MIT
#include "mqtt_command.hpp"

#include <CLI/CLI.hpp>
#include <boost/asio/ip/host_name.hpp>
#include <cstdlib>
#include <optional>
#include <ostream>

#include "access_token.hpp"
#include "bridge_setup.hpp"
#include "cli_app.hpp"
#include "device_choice.hpp"
#include "discovery.hpp"
#include "id_journal.hpp"
#include "mqtt_bridge.hpp"
#include "option_checks.hpp"
#include "phone_service.hpp"
#include "remove_discovery.hpp"
#include "room_lock.hpp"
#include "send_pipeline.hpp"
#include "send_session.hpp"
#include "serve_command.hpp"
#include "stop_signals.hpp"
#include "stream_log.hpp"
#include "thread_loop.hpp"
#include "transmitter_watch.hpp"
#include "version.hpp"

namespace tavik::cli {
namespace {

constexpr char kName[] = "tavik-cli mqtt: ";
constexpr std::size_t kMaxPassword = 1024;

struct MqttArguments {
    std::string broker = "mqtt://localhost";
    std::string room;
    std::string system;
    std::string user;
    std::string passwordFile;
    std::string cafile;
    std::string device;
    int gapMs = static_cast<int>(kStreamGap.count());
    int maxAgeS = 60;
    bool noDiscovery = false;
    std::string discoveryPrefix = "homeassistant";
    bool removeDiscovery = false;
    std::string listen;
    std::string tokenFile;
};

std::optional<std::string> environment(const char* name) {
    const char* value = std::getenv(name);  // NOLINT(concurrency-mt-unsafe): before any thread
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

// The password: the file's first line; an empty file gives none. Yours alone, as the token file;
// systemd's credentials are the service's by their ACL, which shows in the group's bits.
Result<std::optional<std::string>> readPassword(const std::string& path) {
    const std::optional<std::string> credentials = environment("CREDENTIALS_DIRECTORY");
    const bool credential =
        credentials && !credentials->empty() && path.rfind(*credentials + "/", 0) == 0;
    Result<std::string> text = phone::readPrivateFile(
        path, "password file", kMaxPassword,
        credential ? phone::Privacy::kNotOthers : phone::Privacy::kOwnerAlone);
    if (!text) {
        return Failure{text.error()};
    }
    std::string password = text.value().substr(0, text.value().find_first_of("\r\n"));
    if (password.empty()) {
        return std::optional<std::string>();
    }
    return std::optional<std::string>(std::move(password));
}

}  // namespace

int runMqttBridge(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                  HidBackend* backend) {
    CLI::App app{
        "Takes the room's commands from an MQTT broker and sends them, until Ctrl+C or "
        "SIGTERM.",
        "tavik-cli mqtt"};
    app.set_version_flag("--version", std::string("tavik-cli ") + kVersion);
    MqttArguments a;
    app.add_option("--broker", a.broker,
                   "The broker: mqtt://HOST[:PORT] (default mqtt://localhost) or "
                   "mqtts://HOST[:PORT] (TLS)");
    app.add_option("--room", a.room,
                   "The room's name in the topics tavik/ROOM/... (default: the host name)");
    app.add_option("--system", a.system,
                   "Send to this system only, as send takes it (T3); commands may then leave it "
                   "out");
    app.add_option("--user", a.user, "Log in to the broker as this user");
    app.add_option("--password-file", a.passwordFile,
                   "Read the broker's password from this file (refused when others may read it)");
    app.add_option("--cafile", a.cafile,
                   "Certificate authorities for mqtts:// (default: the system's)");
    app.add_option("--device", a.device,
                   "Use this transmitter (node, node name or serial number; see 'devices')");
    app.add_option("--gap", a.gapMs, "Milliseconds between packets (default 300)")
        ->check(wholeNumber())
        ->check(CLI::Range(0, 60000));
    app.add_option("--max-age", a.maxAgeS,
                   "Seconds a command with \"sent_at\" may be old and still be sent (default 60)")
        ->check(wholeNumber())
        ->check(CLI::Range(1, 86400));
    app.add_flag("--no-discovery", a.noDiscovery, "Do not announce the room to Home Assistant");
    app.add_option("--discovery-prefix", a.discoveryPrefix,
                   "Home Assistant's discovery prefix (default homeassistant)");
    app.add_flag("--remove-discovery", a.removeDiscovery,
                 "Remove the room's device from Home Assistant, then end");
    app.add_option("--listen", a.listen,
                   "Also serve the phones' remote on this IPv4 address and port (as serve does)");
    app.add_option("--token-file", a.tokenFile,
                   "With --listen: keep the phones' access token in this file");
    std::vector<const char*> argv;
    argv.reserve(args.size());
    for (const std::string& arg : args) {
        argv.push_back(arg.c_str());
    }
    // Taken aside rather than refused by the parser, whose message would show their values: a
    // mistyped option may carry a password into the journal.
    app.allow_extras();
    try {
        app.parse(static_cast<int>(argv.size()), argv.data());
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) {
            return app.exit(e, out, err);
        }
        err << kName << e.what() << " (see 'tavik-cli mqtt --help')\n";
        return kExitBadInput;
    }
    if (const std::vector<std::string> extra = app.remaining(); !extra.empty()) {
        const std::string& first = extra.front();
        err << kName
            << (first.rfind('-', 0) == 0 ? "no such option: " + first.substr(0, first.find('='))
                                         : std::string("takes no arguments but its options"))
            << " (see 'tavik-cli mqtt --help')\n";
        return kExitBadInput;
    }

    const std::optional<mqtt::BrokerAddress> broker = mqtt::parseBrokerUrl(a.broker);
    if (!broker && a.broker.find('@') != std::string::npos) {
        // Not echoed: it may hold a password.
        err << kName << "--broker takes no login; give --user and --password-file\n";
        return kExitBadInput;
    }
    if (!broker) {
        err << kName << "--broker takes mqtt://HOST[:PORT] or mqtts://HOST[:PORT], not '"
            << a.broker << "'\n";
        return kExitBadInput;
    }
    const std::string hostName = boost::asio::ip::host_name();
    if (a.room.empty()) {
        a.room = mqtt::defaultRoom(hostName);
        if (a.room.empty()) {
            err << kName << "the host name '" << hostName
                << "' is no room name; give one with --room (letters, digits, - and _)\n";
            return kExitBadInput;
        }
    } else if (!mqtt::isRoomName(a.room)) {
        err << kName << "--room takes letters, digits, - and _ (up to 64), not '" << a.room
            << "'\n";
        return kExitBadInput;
    }
    if (!a.system.empty() && !mqtt::systemOption(a.system)) {
        err << kName << "--system takes a system as send does (T or T3; see 'list'), not '"
            << a.system << "'\n";
        return kExitBadInput;
    }
    if (a.discoveryPrefix.empty() || a.discoveryPrefix.find_first_of("+#") != std::string::npos) {
        err << kName << "--discovery-prefix takes a topic without + or #\n";
        return kExitBadInput;
    }
    if (!broker->tls && !a.cafile.empty()) {
        err << kName << "--cafile is for mqtts:// brokers\n";
        return kExitBadInput;
    }
    std::optional<ListenAddress> listen;
    if (!a.listen.empty()) {
        listen = parseListen(a.listen);
        if (!listen) {
            err << kName << "--listen takes ADDR:PORT, an IPv4 address and a port, not '"
                << a.listen << "'\n";
            return kExitBadInput;
        }
    }

    mqtt::BridgeOptions options;
    options.host = broker->host;
    options.port = broker->port;
    options.tls = broker->tls;
    options.cafile = a.cafile;
    options.room = a.room;
    options.hostName = hostName;
    options.login.user = a.user;
    if (!a.passwordFile.empty()) {
        Result<std::optional<std::string>> password = readPassword(a.passwordFile);
        if (!password) {
            err << kName << password.error() << '\n';
            return kExitBadInput;
        }
        options.login.password = password.value();
    }
    options.fixedSystem = a.system;
    options.discovery = !a.noDiscovery;
    options.discoveryPrefix = a.discoveryPrefix;
    options.maxAge = std::chrono::seconds(a.maxAgeS);

    if (a.removeDiscovery) {
        const Result<void> removed = mqtt::removeDiscovery(options);
        if (!removed) {
            err << kName << removed.error() << '\n';
            return kExitBadInput;
        }
        out << kName << "removed room " << a.room << " from Home Assistant\n";
        return kExitOk;
    }
    if (backend == nullptr) {
        err << "tavik-cli: no access to HID devices\n";
        return kExitNotDelivered;
    }
    const std::filesystem::path state = mqtt::stateDirectory(environment);
    if (state.empty()) {
        err << kName << "no place for the bridge's state: set STATE_DIRECTORY or HOME\n";
        return kExitBadInput;
    }
    std::error_code madeState;
    std::filesystem::create_directories(state, madeState);
    if (madeState) {
        err << kName << "cannot make " << state.string() << ": " << madeState.message() << '\n';
        return kExitBadInput;
    }
    Result<std::unique_ptr<mqtt::RoomLock>> lock =
        mqtt::RoomLock::take(state / ("mqtt-" + a.room + ".lock"));
    if (!lock) {
        err << kName << lock.error() << '\n';
        return kExitBadInput;
    }
    if (!lock.value()) {
        err << kName << "room " << a.room
            << " is already served by another bridge on this computer; stop that one first, or "
               "choose another --room\n";
        return kExitBadInput;
    }
    Result<std::unique_ptr<mqtt::IdJournal>> journal =
        mqtt::IdJournal::open(state / ("mqtt-" + a.room + ".ids"));
    if (!journal) {
        err << kName << journal.error() << '\n';
        return kExitBadInput;
    }

    ThreadLoop loop;
    StopSignals stop([&loop] { loop.quit(); });
    StreamLog log(out);
    const auto gap = std::chrono::milliseconds(a.gapMs);
    SendSession session(*backend, log, {{kReadTimeoutMs, a.device, nullptr}, gap});
    SendPipeline pipeline(session, loop);
    warnIfNoTransmitterMatches(*backend, a.device, err);
    session.start();
    std::optional<phone::PhoneService> phones;
    if (listen) {
        phone::PhoneService::Options phoneOptions;
        phoneOptions.address = listen->address;
        phoneOptions.port = listen->port;
        phoneOptions.tokenFile = a.tokenFile;
        if (!a.system.empty()) {
            phoneOptions.system = resolveSystemToken(a.system);
        }
        phoneOptions.gap = gap;
        phoneOptions.gapAfter = gap;
        phones.emplace(phoneOptions);
        if (!startPhones(*phones, session, pipeline, out, err)) {
            session.shutdown();
            return kExitBadInput;
        }
    }
    int code = kExitOk;
    mqtt::MqttBridge bridge(options, pipeline, loop, *journal.value(), log);
    mqtt::TransmitterWatch watch(session, pipeline, loop, bridge);
    const Result<void> started = bridge.start([&](const std::string& why) {
        err << kName << why << std::endl;
        code = kExitBadInput;
        loop.quit();
    });
    if (!started) {
        err << kName << started.error() << '\n';
        code = kExitBadInput;
    } else {
        watch.start();
        err << kName << "room " << a.room << " on " << a.broker << "; Ctrl+C stops" << std::endl;
        loop.run();
    }
    if (phones) {
        phones->stop(session);
    }
    // Each waiting command gets its result before the bridge says goodbye.
    pipeline.close();
    bridge.stop();
    session.shutdown();
    return code;
}

}  // namespace tavik::cli
