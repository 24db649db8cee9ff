// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <iosfwd>
#include <string>

#include "send_session.hpp"

namespace CLI {
class App;
}

namespace tavik {
class HidBackend;
}

namespace tavik::cli {

struct ServeOptions {
    std::string listen;     // "ADDR:PORT"; empty: every IPv4 address on the default port
    std::string device;     // as for send
    std::string tokenFile;  // empty: a new token on every start
    std::string system;     // "T3" or "T" as send takes it: the only system phones may use
    int gapMs = static_cast<int>(kStreamGap.count());
};

// Adds `serve` to the program where this build has the web remote; nullptr where it has not.
CLI::App* addServeCommand(CLI::App& app, ServeOptions& options);

// `tavik-cli serve`: the web remote for phones until SIGINT or SIGTERM. The URLs, a QR code and
// each send's log lines on `out`. 0 after a stop by signal, 2 when it cannot start.
int serveRemote(HidBackend& backend, const ServeOptions& options, std::ostream& out,
                std::ostream& err);

}  // namespace tavik::cli
