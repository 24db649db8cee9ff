// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "command_line.hpp"
#include "phone_server.hpp"
#include "send_queue.hpp"
#include "send_session.hpp"

namespace tavik::phone {

// Serving phones as every front end hosts it: the token, the server, the queue its sends wait
// in, the links guests open, and the gap kept while phones send. The host calls the methods
// marked "owner" on the thread that owns its session; the rest are thread-safe.
class PhoneService {
  public:
    struct Options {
        std::string address = "0.0.0.0";
        int port = kDefaultPort;
        std::string tokenFile;  // empty: a new token on every start
        // When the port is taken, take any free one instead of failing (the window: the link
        // shows the port; tavik-cli keeps to the port asked for, for the firewall's sake).
        bool anyPortWhenTaken = false;
        std::optional<SystemSelection> system;  // the one system phones may send to
        // The least time between packets while serving, and once serving has stopped.
        std::chrono::milliseconds gap = kStreamGap;
        std::chrono::milliseconds gapAfter{0};
    };

    explicit PhoneService(Options options);
    ~PhoneService();
    PhoneService(const PhoneService&) = delete;
    PhoneService& operator=(const PhoneService&) = delete;

    // Owner: makes or reads the token, listens, and sets the session's gap; false with `error`
    // ("cannot listen on ...", or why the token failed) when it cannot.
    bool start(SendSession& session, std::string& error);
    // Owner: answers the sends still waiting, stops listening and restores the gap.
    void stop(SendSession& session);

    // Owner, where the host has an event loop: runs the sends waiting now; `onQueued` (called on
    // a server thread) is where the host posts that call to its thread.
    void setOnQueued(std::function<void()> onQueued) { m_queue.setOnQueued(std::move(onQueued)); }
    void runPending(SendSession& session);
    // Owner, where the host has none: waits for a send, a lost connection or a stop; false once
    // stopped.
    bool waitAndRun(SendSession& session) { return m_queue.waitAndRun(session); }
    // Any thread: ends waitAndRun and refuses further sends.
    void requestStop() { m_queue.close(); }
    // Any thread (the reader's, from DeviceLink::Options::onLost): the owner's next
    // waitAndRun or runPending closes what remains of the lost connection.
    void connectionLost() { m_queue.connectionLost(); }

    // Owner: the one system phones may send to, or nullopt for every system.
    void fixSystem(std::optional<SystemSelection> system);
    // Owner, for a window: phones send to the window's selection (a system of -1: none), or to
    // every system. The selection's name for the box ("TOEI システム 3"), empty for every system.
    std::string followWindow(SystemId system, std::int32_t number, bool everySystem);

    bool serving() const { return m_server != nullptr; }
    // "http://ADDR:PORT/#k=TOKEN", one for each address that reaches it, loopback last.
    const std::vector<std::string>& urls() const { return m_urls; }
    int port() const { return m_server ? m_server->port() : 0; }

  private:
    Options m_options;
    SendQueue m_queue;
    std::unique_ptr<PhoneServer> m_server;
    std::vector<std::string> m_urls;
};

}  // namespace tavik::phone
