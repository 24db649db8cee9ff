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
#include "pipeline_sends.hpp"
#include "send_pipeline.hpp"
#include "send_session.hpp"

namespace tavik::phone {

// Serving phones as every front end hosts it: the token, the server, the limits its sends keep
// on their way into the session's pipeline, the links guests open, and the gap kept while phones
// send. The host calls the methods
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

    // Owner: makes or reads the token, listens, and sets the session's gap; phones' sends go
    // into `pipeline`. A failure says why ("cannot listen on ...", or why the token failed).
    Result<void> start(SendSession& session, SendPipeline& pipeline);
    // Owner: answers the phones' sends still waiting (not sent), stops listening once their
    // answers are out, and restores the gap.
    void stop(SendSession& session);

    // Owner: the one system phones may send to, or nullopt for every system (then `host`, the
    // window's selection, is what a page offers first).
    void fixSystem(std::optional<SystemSelection> system,
                   std::optional<SystemSelection> host = std::nullopt);
    // Owner, for a window: phones send to the window's selection (a system of -1: none), or to
    // every system. The selection's name for the box ("TOEI システム 3"), empty for every system.
    std::string followWindow(SystemId system, std::int32_t number, bool everySystem);

    bool serving() const { return m_server != nullptr; }
    // "http://ADDR:PORT/#k=TOKEN", one for each address that reaches it, loopback last.
    const std::vector<std::string>& urls() const { return m_urls; }
    int port() const { return m_server ? m_server->port() : 0; }
    // Whether the port asked for was taken, so that another one serves.
    bool tookAnotherPort() const {
        return serving() && m_options.port != 0 && port() != m_options.port;
    }
    int portAsked() const { return m_options.port; }

  private:
    Options m_options;
    std::unique_ptr<PipelineSends> m_sends;
    std::unique_ptr<PhoneServer> m_server;
    std::vector<std::string> m_urls;
};

}  // namespace tavik::phone
