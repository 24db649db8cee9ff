// SPDX-License-Identifier: MIT
#include "serve_command.hpp"

#include <arpa/inet.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <iostream>
#include <optional>
#include <ostream>

#include "access_token.hpp"
#include "cli_app.hpp"
#include "phone_remote.hpp"
#include "qr_code.hpp"
#include "send_session.hpp"
#include "stop_signals.hpp"
#include "stream_log.hpp"

namespace tavik::cli {
namespace {

struct ListenAddress {
    std::string address;
    int port = remote::kDefaultPort;
};

// "ADDR:PORT" with an IPv4 address; nullopt when it is not that.
std::optional<ListenAddress> parseListen(const std::string& text) {
    if (text.empty()) {
        return ListenAddress{"0.0.0.0"};
    }
    const auto colon = text.rfind(':');
    if (colon == std::string::npos) {
        return std::nullopt;
    }
    ListenAddress listen{text.substr(0, colon)};
    in_addr parsed{};
    const std::string port = text.substr(colon + 1);
    if (inet_pton(AF_INET, listen.address.c_str(), &parsed) != 1 || port.empty() ||
        port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    listen.port = std::stoi(port);
    if (listen.port > 65535) {
        return std::nullopt;
    }
    return listen;
}

}  // namespace

CLI::App* addServeCommand(CLI::App& app, ServeOptions& options) {
    auto* serve = app.add_subcommand(
        "serve", "Serve the remote for phones on the network until Ctrl+C or SIGTERM");
    serve->add_option("--listen", options.listen,
                      "IPv4 address and port to listen on (default: every address, port " +
                          std::to_string(remote::kDefaultPort) + ")");
    serve->add_option("--device", options.device,
                      "Use this transmitter (node, node name or serial number; see 'devices')");
    serve->add_option("--gap", options.gapMs, "Milliseconds between packets (default 300)")
        ->check(CLI::Range(0, 60000));
    serve->add_option("--token-file", options.tokenFile,
                      "Keep the access token in this file (created with mode 0600)");
    return serve;
}

int serveRemote(HidBackend& backend, const ServeOptions& options, std::ostream& out,
                std::ostream& err) {
    const std::optional<ListenAddress> listen = parseListen(options.listen);
    if (!listen) {
        err << "tavik-cli: --listen takes ADDR:PORT, an IPv4 address and a port (0.0.0.0:"
            << remote::kDefaultPort << "), not '" << options.listen << "'\n";
        return kExitBadInput;
    }
    const remote::TokenResult token = options.tokenFile.empty()
                                          ? remote::newAccessToken()
                                          : remote::loadOrCreateTokenFile(options.tokenFile);
    if (token.token.empty()) {
        err << "tavik-cli: " << token.error << '\n';
        return kExitBadInput;
    }

    remote::PhoneRemote remote({listen->address, listen->port, token.token});
    // From here on a signal stops cleanly, even one that comes before serving has begun.
    StopSignals stop([&remote] { remote.queue().close(); });
    StreamLog log(out);
    SendSession session(backend, log,
                        {{100, options.device, nullptr}, std::chrono::milliseconds(options.gapMs)});
    session.start();
    std::string error;
    if (!remote.start(error)) {
        err << "tavik-cli: " << error << '\n';
        session.shutdown();
        return kExitBadInput;
    }
    for (const std::string& url : remote.urls()) {
        out << url << '\n';
    }
    const bool terminal = &out == &std::cout && isatty(STDOUT_FILENO) == 1;
    if (!remote.urls().empty()) {
        out << remote::qrHalfBlocks(remote::qrMatrix(remote.urls().front()), terminal);
    }
    out << "tavik-cli: serving; Ctrl+C stops" << std::endl;

    while (remote.queue().waitAndRun(session)) {
    }
    remote.stop();
    session.shutdown();
    return kExitOk;
}

}  // namespace tavik::cli
