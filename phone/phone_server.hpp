// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "access_rules.hpp"
#include "command_line.hpp"
#include "result.hpp"
#include "send_session.hpp"

namespace tavik::phone {

// The port phones are served on unless told otherwise; the manual page names it.
inline constexpr int kDefaultPort = 8462;

// Where the server hands a phone's command. Thread-safe: the server calls it on its threads.
class PhoneSends {
  public:
    enum class Admission { kAccepted, kTooMany, kStopped };
    // Called once, on any thread, with the send's result, or nullopt when serving stopped before
    // the command was begun (it was not sent). Not called unless accepted.
    using Done = std::function<void(std::optional<SendResult>)>;

    virtual ~PhoneSends() = default;
    virtual Admission submit(std::string system, std::string command, Done done) = 0;
};

struct ServerOptions {
    std::string address = "0.0.0.0";  // IPv4 address to listen on
    int port = kDefaultPort;          // 0: any free port (see PhoneServer::port)
    std::string token;
    HostCheck hosts = HostCheck::forThisMachine();
    // Connections served at once, and accepted ones waiting for a place; beyond both, a
    // connection is answered 503 at once.
    std::size_t places = 16;
    std::size_t waitingConnections = 16;
    // No read or write may stall longer than ioTimeout; reading the request and writing its
    // answer together may not last longer than connectionDeadline. The time a send waits for
    // its turn is not counted.
    std::chrono::milliseconds ioTimeout{5000};
    std::chrono::milliseconds connectionDeadline{10000};
    // The one system (and number) phones may send to; nullopt: every system.
    std::optional<SystemSelection> system;
};

// The phones' page and its API over HTTP/1.1, one request a connection, on the server's own
// threads. Every send goes to `sends`; a connection waits for its answer without a thread.
class PhoneServer {
  public:
    PhoneServer(PhoneSends& sends, ServerOptions options);
    ~PhoneServer();
    PhoneServer(const PhoneServer&) = delete;
    PhoneServer& operator=(const PhoneServer&) = delete;

    // Binds (no other server may share the port) and starts serving on threads of its own; the
    // failure says "cannot listen on ADDR:PORT: why" when the address cannot be used.
    Result<void> start();
    // The port bound, once started.
    int port() const;
    // Stops accepting, gives the connections in progress a moment to write their answers, and
    // waits for the server's threads. Withdraw the sends that wait first, so that their
    // connections are answered.
    void stop();

    // From any thread: changes the system phones may send to (nullopt: every system), and the
    // host's own selection a page offers first when every system is open.
    void fixSystem(std::optional<SystemSelection> system,
                   std::optional<SystemSelection> host = std::nullopt);

  private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace tavik::phone
