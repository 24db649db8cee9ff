// SPDX-License-Identifier: MIT
#include "phone_service.hpp"

#include "access_token.hpp"
#include "catalogue.hpp"
#include "local_network.hpp"

namespace tavik::phone {
namespace {

std::unique_ptr<PhoneServer> serverFor(PhoneSends& sends, const PhoneService::Options& options,
                                       const std::string& token, int port) {
    ServerOptions serverOptions;
    serverOptions.address = options.address;
    serverOptions.port = port;
    serverOptions.token = token;
    serverOptions.system = options.system;
    return std::make_unique<PhoneServer>(sends, std::move(serverOptions));
}

}  // namespace

PhoneService::PhoneService(Options options) : m_options(std::move(options)) {}

PhoneService::~PhoneService() {
    if (m_sends) {
        m_sends->close();
    }
    if (m_server) {
        m_server->stop();
    }
}

Result<void> PhoneService::start(SendSession& session, SendPipeline& pipeline) {
    const Result<std::string> token =
        m_options.tokenFile.empty() ? newAccessToken() : loadOrCreateTokenFile(m_options.tokenFile);
    if (!token) {
        return Failure{token.error()};
    }
    auto sends = std::make_unique<PipelineSends>(pipeline);
    auto server = serverFor(*sends, m_options, token.value(), m_options.port);
    Result<void> started = server->start();
    if (!started && m_options.anyPortWhenTaken && m_options.port != 0) {
        server = serverFor(*sends, m_options, token.value(), 0);
        started = server->start();
    }
    if (!started) {
        return started;
    }
    m_sends = std::move(sends);
    m_server = std::move(server);
    const std::vector<std::string> addresses = m_options.address == "0.0.0.0"
                                                   ? localAddresses(false)
                                                   : std::vector<std::string>{m_options.address};
    for (const std::string& address : addresses) {
        m_urls.push_back("http://" + address + ":" + std::to_string(m_server->port()) +
                         "/#k=" + token.value());
    }
    session.setGap(m_options.gap);
    return {};
}

void PhoneService::stop(SendSession& session) {
    if (m_sends) {
        m_sends->close();
    }
    if (m_server) {
        m_server->stop();
        m_server.reset();
        session.setGap(m_options.gapAfter);
    }
    m_sends.reset();
    m_urls.clear();
}

void PhoneService::fixSystem(std::optional<SystemSelection> system,
                             std::optional<SystemSelection> host) {
    m_options.system = system;
    if (m_server) {
        m_server->fixSystem(system, host);
    }
}

std::string PhoneService::followWindow(SystemId system, std::int32_t number, bool everySystem) {
    if (system < 0) {
        fixSystem(std::nullopt);
        return {};
    }
    if (everySystem) {
        fixSystem(std::nullopt, SystemSelection{SelectionError::kNone, system, number});
        return {};
    }
    fixSystem(SystemSelection{SelectionError::kNone, system, number});
    std::string name(catalogueEntry(system).displayName);
    if (number >= 0) {
        name += " " + std::to_string(number);
    }
    return name;
}

}  // namespace tavik::phone
