// SPDX-License-Identifier: MIT
#include "serve_command.hpp"

#include <CLI/CLI.hpp>
#include <iostream>
#include <optional>
#include <ostream>

#include "cli_app.hpp"
#include "command_line.hpp"
#include "device_choice.hpp"
#include "option_checks.hpp"
#include "phone_service.hpp"
#include "qr_code.hpp"
#include "send_pipeline.hpp"
#include "send_session.hpp"
#include "stop_signals.hpp"
#include "stream_log.hpp"
#include "terminal.hpp"
#include "thread_loop.hpp"

namespace tavik::cli {
namespace {

// Decimal digits only, 1 to `maxDigits` of them, without a leading zero; the value or -1.
int decimal(std::string_view text, std::size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits || (text.size() > 1 && text.front() == '0') ||
        text.find_first_not_of("0123456789") != std::string_view::npos) {
        return -1;
    }
    return std::stoi(std::string(text));
}

// Four decimal numbers 0-255 separated by dots.
bool isIpv4(std::string_view text) {
    for (int part = 0; part < 4; ++part) {
        const auto dot = text.find('.');
        if ((part < 3) == (dot == std::string_view::npos)) {
            return false;
        }
        const int value = decimal(text.substr(0, dot), 3);
        if (value < 0 || value > 255) {
            return false;
        }
        text = part < 3 ? text.substr(dot + 1) : std::string_view();
    }
    return true;
}

}  // namespace

std::optional<ListenAddress> parseListen(const std::string& text) {
    if (text.empty()) {
        return ListenAddress{"0.0.0.0", phone::kDefaultPort};
    }
    const auto colon = text.rfind(':');
    if (colon == std::string::npos) {
        return std::nullopt;
    }
    ListenAddress listen{text.substr(0, colon)};
    listen.port = decimal(std::string_view(text).substr(colon + 1), 5);
    if (!isIpv4(listen.address) || listen.port < 0 || listen.port > 65535) {
        return std::nullopt;
    }
    return listen;
}

bool startPhones(phone::PhoneService& phones, SendSession& session, SendPipeline& pipeline,
                 std::ostream& out, std::ostream& err) {
    if (const Result<void> started = phones.start(session, pipeline); !started) {
        err << "tavik-cli: " << started.error() << '\n';
        if (started.error().find("Address already in use") != std::string::npos) {
            err << "tavik-cli: another program serves on that port; choose another with "
                   "--listen 0.0.0.0:PORT (and let it through the firewall)\n";
        }
        return false;
    }
    for (const std::string& url : phones.urls()) {
        out << url << '\n';
    }
    const bool terminal = &out == &std::cout && standardOutputIsTerminal();
    if (!phones.urls().empty()) {
        out << phone::qrHalfBlocks(phone::qrMatrix(phones.urls().front()), terminal);
    }
    // The links first, whole, then the program's own word on its stream.
    out << std::flush;
    return true;
}

CLI::App* addServeCommand(CLI::App& app, ServeOptions& options) {
    auto* serve = app.add_subcommand(
        "serve", "Serve the remote for phones on the network until Ctrl+C or SIGTERM");
    serve->add_option("--listen", options.listen,
                      "IPv4 address and port to listen on (default: every address, port " +
                          std::to_string(phone::kDefaultPort) + ")");
    serve->add_option("--device", options.device,
                      "Use this transmitter (node, node name or serial number; see 'devices')");
    serve->add_option("--gap", options.gapMs, "Milliseconds between packets (default 300)")
        ->check(wholeNumber())
        ->check(CLI::Range(0, 60000));
    serve->add_option("--token-file", options.tokenFile,
                      "Keep the access token in this file (created with mode 0600)");
    serve->add_option("--system", options.system,
                      "Let phones send to this system only, as send takes it (T3; T: its first "
                      "number)");
    return serve;
}

int serveRemote(HidBackend& backend, const ServeOptions& options, std::ostream& out,
                std::ostream& err) {
    const std::optional<ListenAddress> listen = parseListen(options.listen);
    if (!listen) {
        err << "tavik-cli: --listen takes ADDR:PORT, an IPv4 address and a port (0.0.0.0:"
            << phone::kDefaultPort << "), not '" << options.listen << "'\n";
        return kExitBadInput;
    }
    std::optional<SystemSelection> system;
    if (!options.system.empty()) {
        system = resolveSystemToken(options.system);
        if (system->error != SelectionError::kNone) {
            err << "tavik-cli: --system takes a system as send does (T or T3; see 'list'), not '"
                << options.system << "'\n";
            return kExitBadInput;
        }
    }

    phone::PhoneService::Options phoneOptions;
    phoneOptions.address = listen->address;
    phoneOptions.port = listen->port;
    phoneOptions.tokenFile = options.tokenFile;
    phoneOptions.system = system;
    phoneOptions.gap = std::chrono::milliseconds(options.gapMs);
    phone::PhoneService phones(phoneOptions);
    // This thread owns the session; the phones' sends reach it through its loop.
    ThreadLoop loop;
    // From here on a signal stops cleanly, even one that comes before serving has begun.
    StopSignals stop([&loop] { loop.quit(); });
    StreamLog log(out);
    SendSession session(
        backend, log,
        {{kReadTimeoutMs, options.device, nullptr}, std::chrono::milliseconds(options.gapMs)});
    SendPipeline pipeline(session, loop);
    warnIfNoTransmitterMatches(backend, options.device, err);
    session.start();
    if (!startPhones(phones, session, pipeline, out, err)) {
        session.shutdown();
        return kExitBadInput;
    }
    err << "tavik-cli: serving; Ctrl+C stops" << std::endl;

    loop.run();
    phones.stop(session);
    pipeline.close();
    session.shutdown();
    return kExitOk;
}

}  // namespace tavik::cli
