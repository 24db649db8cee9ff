// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <chrono>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "access_rules.hpp"
#include "phone_server.hpp"

namespace tavik::phone {

// The listening socket, the server's threads and its places. The acceptor and stop share one
// strand; the rest it shares with connections is under its mutex.
class Listener {
  public:
    Listener(PhoneSends& sends, ServerOptions options);
    ~Listener();
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    Result<void> start();
    void stop();
    int port() const { return m_port; }
    void fixSystem(std::optional<SystemSelection> system, std::optional<SystemSelection> host);

    // What a connection needs of the server; all of it thread-safe.
    std::optional<SystemSelection> fixedSystem();
    std::string catalogue();
    const ServerOptions& options() const { return m_options; }
    PhoneSends& sends() { return m_sends; }
    WrongTokenThrottle& throttle() { return m_throttle; }

    // A connection has ended: the next one waiting takes its place.
    void connectionEnded();
    // A connection handed a command over, and later wrote its answer (or gave up): a stop waits
    // for these answers beyond its grace, within the I/O time-out.
    void answerPending() { ++m_answering; }
    void answerWritten() { --m_answering; }

  private:
    using tcp = boost::asio::ip::tcp;

    void accept();
    void admit(tcp::socket socket);
    void awaitAnswers(std::chrono::steady_clock::time_point until);

    PhoneSends& m_sends;
    ServerOptions m_options;  // its system under m_mutex
    WrongTokenThrottle m_throttle;
    std::mutex m_mutex;
    std::string m_catalogue;
    std::size_t m_active = 0;
    std::atomic<int> m_answering{0};
    bool m_stopping = false;
    bool m_closed = false;
    int m_port = 0;
    std::vector<std::thread> m_threads;
    // Declared after what connections use, so that the handlers it still holds when it is
    // destroyed find all of that alive.
    boost::asio::io_context m_io;
    boost::asio::strand<boost::asio::io_context::executor_type> m_strand;
    tcp::acceptor m_acceptor;               // on m_strand
    boost::asio::steady_timer m_stopTimer;  // on m_strand
    std::deque<tcp::socket> m_waiting;      // accepted, not yet served; under m_mutex
};

}  // namespace tavik::phone
