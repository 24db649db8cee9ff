// SPDX-License-Identifier: MIT
#include "phone_server.hpp"

#include "phone_listener.hpp"

namespace tavik::phone {

class PhoneServer::Impl : public Listener {
  public:
    using Listener::Listener;
};

PhoneServer::PhoneServer(PhoneSends& sends, ServerOptions options)
    : m_impl(std::make_unique<Impl>(sends, std::move(options))) {}

PhoneServer::~PhoneServer() = default;

Result<void> PhoneServer::start() {
    return m_impl->start();
}

int PhoneServer::port() const {
    return m_impl->port();
}

void PhoneServer::stop() {
    m_impl->stop();
}

void PhoneServer::fixSystem(std::optional<SystemSelection> system,
                            std::optional<SystemSelection> host) {
    m_impl->fixSystem(system, host);
}

}  // namespace tavik::phone
