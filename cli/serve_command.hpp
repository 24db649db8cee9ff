// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <iosfwd>
#include <optional>
#include <string>

#include "send_session.hpp"

namespace CLI {
class App;
}

namespace tavik {
class HidBackend;
class SendPipeline;
namespace phone {
class PhoneService;
}
}  // namespace tavik

namespace tavik::cli {

struct ServeOptions {
    std::string listen;     // "ADDR:PORT"; empty: every IPv4 address on the default port
    std::string device;     // as for send
    std::string tokenFile;  // empty: a new token on every start
    std::string system;     // "T3" or "T" as send takes it: the only system phones may use
    int gapMs = static_cast<int>(kStreamGap.count());
};

struct ListenAddress {
    std::string address;
    int port = -1;  // -1: the phone service's default port
};

// "ADDR:PORT" with an IPv4 address (empty: every address, the default port); nullopt when it is
// not that.
std::optional<ListenAddress> parseListen(const std::string& text);

// Starts serving phones and prints their links and a QR code on `out`; false, said on `err`,
// when it cannot.
bool startPhones(phone::PhoneService& phones, SendSession& session, SendPipeline& pipeline,
                 std::ostream& out, std::ostream& err);

// Adds `serve` to the program where this build has the web remote; nullptr where it has not.
CLI::App* addServeCommand(CLI::App& app, ServeOptions& options);

// `tavik-cli serve`: the web remote for phones until SIGINT or SIGTERM. The URLs, a QR code and
// each send's log lines on `out`. 0 after a stop by signal, 2 when it cannot start.
int serveRemote(HidBackend& backend, const ServeOptions& options, std::ostream& out,
                std::ostream& err);

}  // namespace tavik::cli
