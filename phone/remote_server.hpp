// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

#include "access_rules.hpp"
#include "send_queue.hpp"

namespace tavik::remote {

// The port the remote listens on unless told otherwise; the manual page names it.
inline constexpr int kDefaultPort = 8462;

struct ServerOptions {
    std::string address = "0.0.0.0";  // IPv4 address to listen on
    int port = kDefaultPort;          // 0: any free port (see RemoteServer::port)
    std::string token;
    HostCheck hosts = HostCheck::forThisMachine();
    // Connections served at once, and accepted ones waiting for a place; beyond both, a
    // connection is answered 503 at once. More workers than sends may wait (SendLimits), so
    // that the page and refusals are still served while sends wait their turn.
    std::size_t workers = 16;
    std::size_t waitingConnections = 16;
    // No read or write may stall longer, and no connection may last longer, than these.
    std::chrono::milliseconds ioTimeout{5000};
    std::chrono::milliseconds connectionDeadline{10000};
};

// The web remote: the phone's page and its API. Requests are handled on the server's own
// threads; every send goes through `queue` to the thread that owns the session.
class RemoteServer {
  public:
    RemoteServer(SendQueue& queue, ServerOptions options);
    ~RemoteServer();
    RemoteServer(const RemoteServer&) = delete;
    RemoteServer& operator=(const RemoteServer&) = delete;

    // Binds and starts serving on a thread of its own; false with `error` when the address
    // cannot be used.
    bool start(std::string& error);
    // The port bound, once started.
    int port() const;
    // Stops accepting and waits for the server's threads. Close the queue first, so that
    // requests waiting for a send are answered.
    void stop();

  private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace tavik::remote
