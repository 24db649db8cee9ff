// SPDX-License-Identifier: MIT
#include "phone_listener.hpp"

#include <boost/asio/post.hpp>
#include <memory>

#include "listen_socket.hpp"
#include "phone_api.hpp"
#include "phone_connection.hpp"

namespace tavik::phone {
namespace {

namespace asio = boost::asio;
using namespace std::chrono_literals;

// How long a stop waits for the connections in progress to write their answers.
constexpr auto kStopGrace = 500ms;
// No thread waits for a send, so a couple serve every connection.
constexpr std::size_t kThreads = 2;

std::string listenError(const ServerOptions& options, const boost::system::error_code& error) {
    // The same words on every platform for the failures a user can act on.
    std::string why = error.message();
    if (error == asio::error::address_in_use) {
        why = "Address already in use";
    } else if (error == asio::error::access_denied) {
        why = "Permission denied";
    } else if (error == boost::system::errc::address_not_available) {
        why = "Cannot assign requested address";
    }
    return "cannot listen on " + options.address + ":" + std::to_string(options.port) + ": " + why;
}

}  // namespace

Listener::Listener(PhoneSends& sends, ServerOptions options)
    : m_sends(sends),
      m_options(std::move(options)),
      m_catalogue(catalogueJson(m_options.system)),
      m_strand(asio::make_strand(m_io)),
      m_acceptor(m_strand),
      m_stopTimer(m_strand) {}

Listener::~Listener() {
    stop();
    std::lock_guard lock(m_mutex);
    m_waiting.clear();  // before the context they belong to
    m_closed = true;    // the timer goes before the context whose handlers end connections
}

Result<void> Listener::start() {
    boost::system::error_code failure;
    const auto address = asio::ip::make_address_v4(m_options.address, failure);
    if (!failure) {
        const tcp::endpoint endpoint(address, static_cast<std::uint16_t>(m_options.port));
        m_acceptor.open(endpoint.protocol(), failure);
    }
    if (!failure) {
        prepareListeningSocket(m_acceptor, failure);
    }
    if (!failure) {
        m_acceptor.bind({address, static_cast<std::uint16_t>(m_options.port)}, failure);
    }
    if (!failure) {
        m_acceptor.listen(asio::socket_base::max_listen_connections, failure);
    }
    if (failure) {
        Failure refused{listenError(m_options, failure)};
        m_acceptor.close(failure);
        return refused;
    }
    m_port = m_acceptor.local_endpoint().port();
    asio::post(m_strand, [this] { accept(); });
    for (std::size_t i = 0; i < kThreads; ++i) {
        m_threads.emplace_back([this] { m_io.run(); });
    }
    return {};
}

void Listener::stop() {
    if (m_threads.empty()) {
        return;
    }
    // On the acceptor's strand, so that no accept handler sees the acceptor half closed.
    asio::post(m_strand, [this] {
        boost::system::error_code ignored;
        m_acceptor.close(ignored);
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_waiting.clear();
        if (m_active == 0) {
            m_io.stop();
            return;
        }
        const auto began = std::chrono::steady_clock::now();
        m_stopTimer.expires_after(kStopGrace);
        m_stopTimer.async_wait([this, began](const boost::system::error_code& error) {
            if (error == asio::error::operation_aborted) {
                m_io.stop();  // every connection has ended
                return;
            }
            awaitAnswers(began + m_options.ioTimeout);
        });
    });
    for (std::thread& thread : m_threads) {
        thread.join();
    }
    m_threads.clear();
}

// Past the grace, only the answers of sends that were made hold the stop, each within its write's
// time-out: a phone is told what became of its command.
void Listener::awaitAnswers(std::chrono::steady_clock::time_point until) {
    if (m_answering.load() <= 0 || std::chrono::steady_clock::now() >= until) {
        m_io.stop();
        return;
    }
    m_stopTimer.expires_after(10ms);
    m_stopTimer.async_wait([this, until](const boost::system::error_code& error) {
        if (error == asio::error::operation_aborted) {
            m_io.stop();
            return;
        }
        awaitAnswers(until);
    });
}

void Listener::fixSystem(std::optional<SystemSelection> system,
                         std::optional<SystemSelection> host) {
    std::string catalogue = catalogueJson(system, host);
    std::lock_guard lock(m_mutex);
    m_options.system = system;
    m_catalogue = std::move(catalogue);
}

std::optional<SystemSelection> Listener::fixedSystem() {
    std::lock_guard lock(m_mutex);
    return m_options.system;
}

std::string Listener::catalogue() {
    std::lock_guard lock(m_mutex);
    return m_catalogue;
}

void Listener::accept() {
    m_acceptor.async_accept(
        asio::make_strand(m_io),
        asio::bind_executor(
            m_strand, [this](const boost::system::error_code& error, tcp::socket socket) {
                if (error == asio::error::operation_aborted || !m_acceptor.is_open()) {
                    return;
                }
                if (!error) {
                    admit(std::move(socket));
                }
                accept();
            }));
}

void Listener::admit(tcp::socket socket) {
    std::unique_lock lock(m_mutex);
    if (m_stopping) {
        return;
    }
    if (m_active < m_options.places) {
        ++m_active;
        lock.unlock();
        std::make_shared<Connection>(*this, std::move(socket))->serve();
    } else if (m_waiting.size() < m_options.waitingConnections) {
        m_waiting.push_back(std::move(socket));
    } else {
        lock.unlock();
        std::make_shared<Connection>(*this, std::move(socket))->refuseBusy();
    }
}

void Listener::connectionEnded() {
    std::unique_lock lock(m_mutex);
    if (m_stopping || m_waiting.empty()) {
        --m_active;
        if (m_stopping && m_active == 0 && !m_closed) {
            // The last answer is out: no need to wait out the grace.
            asio::post(m_strand, [this] { m_stopTimer.cancel(); });
        }
        return;
    }
    tcp::socket next = std::move(m_waiting.front());
    m_waiting.pop_front();
    lock.unlock();
    // On the next connection's own strand, not inside the destructor that ends this one.
    const auto executor = next.get_executor();
    asio::post(executor, [this, socket = std::make_shared<tcp::socket>(std::move(next))]() mutable {
        std::make_shared<Connection>(*this, std::move(*socket))->serve();
    });
}

}  // namespace tavik::phone
