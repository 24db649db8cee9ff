// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "remote_server.hpp"
#include "send_queue.hpp"

namespace tavik::remote {

// The remote as a front end hosts it: the queue its sends wait in, the server, and the links
// that guests open. The host runs the queue's sends on the thread that owns its session.
class PhoneRemote {
  public:
    struct Options {
        std::string address = "0.0.0.0";
        int port = kDefaultPort;
        std::string token;
        // When the port is taken, take any free one instead of failing (the window: the link
        // shows the port; tavik-cli keeps to the port asked for, for the firewall's sake).
        bool anyPortWhenTaken = false;
    };

    explicit PhoneRemote(Options options);
    ~PhoneRemote();

    // Listens; false with `error` when it cannot.
    bool start(std::string& error);
    // Answers the sends still waiting, then stops listening and waits for the server's threads.
    void stop();

    SendQueue& queue() { return m_queue; }
    // "http://ADDR:PORT/#k=TOKEN", one for each address that reaches it, loopback last.
    const std::vector<std::string>& urls() const { return m_urls; }

  private:
    Options m_options;
    SendQueue m_queue;
    std::unique_ptr<RemoteServer> m_server;
    std::vector<std::string> m_urls;
};

}  // namespace tavik::remote
