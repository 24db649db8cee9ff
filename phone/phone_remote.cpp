// SPDX-License-Identifier: MIT
#include "phone_remote.hpp"

#include "local_network.hpp"

namespace tavik::remote {
namespace {

std::unique_ptr<RemoteServer> serverFor(SendQueue& queue, const PhoneRemote::Options& options,
                                        int port) {
    ServerOptions serverOptions;
    serverOptions.address = options.address;
    serverOptions.port = port;
    serverOptions.token = options.token;
    return std::make_unique<RemoteServer>(queue, std::move(serverOptions));
}

}  // namespace

PhoneRemote::PhoneRemote(Options options) : m_options(std::move(options)) {}

PhoneRemote::~PhoneRemote() {
    stop();
}

bool PhoneRemote::start(std::string& error) {
    m_server = serverFor(m_queue, m_options, m_options.port);
    bool started = m_server->start(error);
    if (!started && m_options.anyPortWhenTaken && m_options.port != 0) {
        m_server = serverFor(m_queue, m_options, 0);
        started = m_server->start(error);
    }
    if (!started) {
        m_server.reset();
        return false;
    }
    const std::vector<std::string> addresses = m_options.address == "0.0.0.0"
                                                   ? localAddresses(false)
                                                   : std::vector<std::string>{m_options.address};
    for (const std::string& address : addresses) {
        m_urls.push_back("http://" + address + ":" + std::to_string(m_server->port()) +
                         "/#k=" + m_options.token);
    }
    return true;
}

void PhoneRemote::stop() {
    m_queue.close();
    if (m_server) {
        m_server->stop();
    }
}

}  // namespace tavik::remote
