// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "access_rules.hpp"
#include "command_line.hpp"
#include "send_queue.hpp"

namespace tavik::phone {

// The port phones are served on unless told otherwise; the manual page names it.
inline constexpr int kDefaultPort = 8462;

struct ServerOptions {
    std::string address = "0.0.0.0";  // IPv4 address to listen on
    int port = kDefaultPort;          // 0: any free port (see PhoneServer::port)
    std::string token;
    HostCheck hosts = HostCheck::forThisMachine();
    // Connections served at once, and accepted ones waiting for a place; beyond both, a
    // connection is answered 503 at once. More places than sends may wait (SendLimits), so
    // that the page and refusals are still served while sends wait their turn.
    std::size_t workers = 16;
    std::size_t waitingConnections = 16;
    // No read or write may stall longer, and no connection may last longer, than these.
    std::chrono::milliseconds ioTimeout{5000};
    std::chrono::milliseconds connectionDeadline{10000};
    // The one system (and number) phones may send to; nullopt: every system.
    std::optional<SystemSelection> system;
};

// The phones' page and its API over HTTP/1.1, one request a connection. Requests are handled on
// the server's own threads; every send goes through `queue` to the thread that owns the session.
class PhoneServer {
  public:
    PhoneServer(SendQueue& queue, ServerOptions options);
    ~PhoneServer();
    PhoneServer(const PhoneServer&) = delete;
    PhoneServer& operator=(const PhoneServer&) = delete;

    // Binds (no other server may share the port) and starts serving on threads of its own;
    // false with `error` ("cannot listen on ADDR:PORT: why") when the address cannot be used.
    bool start(std::string& error);
    // The port bound, once started.
    int port() const;
    // Stops accepting, gives the requests in progress a moment, and waits for the server's
    // threads. Close the queue first, so that requests waiting for a send are answered.
    void stop();

    // From any thread: changes the system phones may send to (nullopt: every system).
    void fixSystem(std::optional<SystemSelection> system);

  private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace tavik::phone
