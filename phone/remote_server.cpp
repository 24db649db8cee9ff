// SPDX-License-Identifier: MIT
#include "remote_server.hpp"

#include <httplib.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <nlohmann/json.hpp>
#include <system_error>
#include <thread>
#include <vector>

#include "access_token.hpp"
#include "catalogue.hpp"
#include "page_resources.hpp"
#include "remote_messages.hpp"

namespace tavik::remote {
namespace {

using Clock = std::chrono::steady_clock;
using nlohmann::json;

constexpr std::size_t kMaxBody = 1024;

// Set while the accept thread runs a connection that found no place: it is answered 503 at once.
thread_local bool t_noPlace = false;

// A fixed number of workers and a bounded line of connections waiting for one.
class BoundedPool : public httplib::TaskQueue {
  public:
    BoundedPool(std::size_t workers, std::size_t waiting) : m_waitingLimit(waiting) {
        for (std::size_t i = 0; i < workers; ++i) {
            m_threads.emplace_back([this] { work(); });
        }
    }

    void enqueue(std::function<void()> fn) override {
        {
            std::lock_guard lock(m_mutex);
            if (m_jobs.size() < m_waitingLimit + m_idle) {
                m_jobs.push_back(std::move(fn));
                m_changed.notify_one();
                return;
            }
        }
        t_noPlace = true;
        fn();
        t_noPlace = false;
    }

    void shutdown() override {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_changed.notify_all();
        for (std::thread& thread : m_threads) {
            thread.join();
        }
    }

  private:
    void work() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            ++m_idle;
            m_changed.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            --m_idle;
            if (m_jobs.empty()) {
                return;
            }
            std::function<void()> job = std::move(m_jobs.front());
            m_jobs.pop_front();
            lock.unlock();
            job();
            lock.lock();
        }
    }

    const std::size_t m_waitingLimit;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::function<void()>> m_jobs;
    std::size_t m_idle = 0;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};

// A connection whose every read and write waits at most `ioTimeout`, and which ends at its
// deadline however slowly the peer trickles bytes, or once it has sent more than any request of
// ours needs (the library limits each header line, not their number).
class BoundedStream : public httplib::Stream {
  public:
    BoundedStream(int sock, std::chrono::milliseconds ioTimeout, Clock::time_point deadline)
        : m_sock(sock), m_ioTimeout(ioTimeout), m_deadline(deadline) {}

    bool is_readable() const override { return wait(POLLIN); }
    bool is_writable() const override { return wait(POLLOUT); }

    ssize_t read(char* ptr, std::size_t size) override {
        if (m_begin == m_end) {
            if (m_received >= kMaxRequest || !wait(POLLIN)) {
                return -1;
            }
            const ssize_t got = recv(m_sock, m_buffer.data(), m_buffer.size(), 0);
            if (got <= 0) {
                return got;
            }
            m_begin = 0;
            m_end = static_cast<std::size_t>(got);
            m_received += m_end;
        }
        const std::size_t n = std::min(size, m_end - m_begin);
        std::copy_n(m_buffer.data() + m_begin, n, ptr);
        m_begin += n;
        return static_cast<ssize_t>(n);
    }

    ssize_t write(const char* ptr, std::size_t size) override {
        if (!wait(POLLOUT)) {
            return -1;
        }
        return send(m_sock, ptr, size, MSG_NOSIGNAL);
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        address(getpeername, ip, port);
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        address(getsockname, ip, port);
    }
    socket_t socket() const override { return m_sock; }

  private:
    bool wait(short events) const {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline - Clock::now());
        const auto timeout = std::min(left, m_ioTimeout);
        if (timeout.count() <= 0) {
            return false;
        }
        pollfd entry{m_sock, events, 0};
        int ready = 0;
        do {
            ready = poll(&entry, 1, static_cast<int>(timeout.count()));
        } while (ready < 0 && errno == EINTR);
        return ready > 0;
    }

    template <typename Query>
    void address(Query query, std::string& ip, int& port) const {
        sockaddr_storage storage{};
        socklen_t length = sizeof storage;
        if (query(m_sock, reinterpret_cast<sockaddr*>(&storage), &length) != 0) {
            return;
        }
        std::array<char, NI_MAXHOST> host{};
        std::array<char, NI_MAXSERV> service{};
        if (getnameinfo(reinterpret_cast<sockaddr*>(&storage), length, host.data(), host.size(),
                        service.data(), service.size(), NI_NUMERICHOST | NI_NUMERICSERV) == 0) {
            ip = host.data();
            port = std::atoi(service.data());
        }
    }

    static constexpr std::size_t kMaxRequest = std::size_t{16} * 1024;

    int m_sock;
    std::chrono::milliseconds m_ioTimeout;
    Clock::time_point m_deadline;
    std::array<char, 4096> m_buffer{};
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
    std::size_t m_received = 0;
};

std::string errorBody(std::string_view message) {
    return json{{"error", message}}.dump();
}

void reply(httplib::Response& res, int status, const std::string& body) {
    res.status = status;
    res.set_content(body, "application/json; charset=utf-8");
}

void refuse(httplib::Response& res, int status, std::string_view message) {
    reply(res, status, errorBody(message));
}

std::string catalogueJson() {
    json systems = json::array();
    for (const MakerEntry& row : kCatalogue) {
        if (row.systemId < 0) {
            break;
        }
        json numbers = json::array();
        for (std::int32_t n = row.numberMin; row.hasNumbers() && n <= row.numberMax; ++n) {
            numbers.push_back(n);
        }
        systems.push_back({{"letter", std::string(1, row.letter)},
                           {"name", row.displayName},
                           {"numbers", numbers}});
    }
    return systems.dump();
}

// The media type of a Content-Type header, lower case, without parameters.
std::string mediaType(const std::string& header) {
    std::string type = header.substr(0, header.find(';'));
    type.erase(std::remove(type.begin(), type.end(), ' '), type.end());
    std::transform(type.begin(), type.end(), type.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return type;
}

}  // namespace

class RemoteServer::Impl : public httplib::Server {
  public:
    Impl(SendQueue& queue, ServerOptions options)
        : m_queue(queue), m_options(std::move(options)), m_catalogue(catalogueJson()) {
        new_task_queue = [this] {
            return new BoundedPool(m_options.workers, m_options.waitingConnections);
        };
        set_payload_max_length(kMaxBody);
        set_default_headers({
            {"Cache-Control", "no-store"},
            {"X-Content-Type-Options", "nosniff"},
            {"Content-Security-Policy",
             "default-src 'none'; script-src 'self'; style-src 'self'; connect-src 'self'; "
             "img-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'"},
            {"Referrer-Policy", "no-referrer"},
            {"X-Frame-Options", "DENY"},
        });
        set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
            return guard(req, res);
        });
        Get("/api/systems", [this](const httplib::Request&, httplib::Response& res) {
            reply(res, 200, m_catalogue);
        });
        Get("/[a-z.]*", [](const httplib::Request& req, httplib::Response& res) {
            const PageResource* resource = pageResource(req.path);
            res.set_content(std::string(resource->body), std::string(resource->contentType));
        });
        Post("/api/send",
             [this](const httplib::Request& req, httplib::Response& res) { handleSend(req, res); });
        // What the library answers by itself (a malformed request, a body over the limit) gets a
        // message the page can show.
        set_error_handler([](const httplib::Request&, httplib::Response& res) {
            if (res.body.empty()) {
                refuse(res, res.status,
                       res.status == 404 ? messages::kNotFound : messages::kBadRequest);
            }
        });
    }

    bool startServing(std::string& error) {
        const std::string& address = m_options.address;
        errno = 0;
        boundPort = m_options.port == 0
                        ? bind_to_any_port(address)
                        : (bind_to_port(address, m_options.port) ? m_options.port : -1);
        if (boundPort <= 0) {
            error = "cannot listen on " + address + ":" + std::to_string(m_options.port) +
                    (errno != 0 ? ": " + std::generic_category().message(errno) : std::string());
            boundPort = 0;
            return false;
        }
        thread = std::thread([this] {
            listen_after_bind();
            m_listenEnded = true;
        });
        // stop() takes effect only once the listening has begun.
        while (!is_running() && !m_listenEnded) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    std::thread thread;
    int boundPort = 0;

  private:
    // Every request passes here before its handler; anything refused ends here.
    httplib::Server::HandlerResponse guard(const httplib::Request& req, httplib::Response& res) {
        using Handled = httplib::Server::HandlerResponse;
        const std::string host = req.get_header_value("Host");
        if (!m_options.hosts.allows(host) ||
            (req.has_header("Origin") && !originAllowed(req.get_header_value("Origin"), host))) {
            refuse(res, 403, messages::kForbidden);
            return Handled::Handled;
        }
        const bool api = req.path.rfind("/api/", 0) == 0;
        const bool send = req.path == "/api/send";
        if (!send && !(api ? req.path == "/api/systems" : pageResource(req.path) != nullptr)) {
            refuse(res, 404, messages::kNotFound);
            return Handled::Handled;
        }
        const bool get = req.method == "GET" || req.method == "HEAD";
        if (send ? req.method != "POST" : !get) {
            res.set_header("Allow", send ? "POST" : "GET, HEAD");
            refuse(res, 405, messages::kBadRequest);
            return Handled::Handled;
        }
        if (!api) {
            return Handled::Unhandled;
        }
        const auto now = Clock::now();
        if (m_throttle.refused(req.remote_addr, now)) {
            res.set_header("Retry-After", "60");
            refuse(res, 429, messages::kTooManyWrongTokens);
            return Handled::Handled;
        }
        const std::string authorization = req.get_header_value("Authorization");
        constexpr std::string_view kScheme = "Bearer ";
        const bool bearer = authorization.rfind(kScheme, 0) == 0;
        if (!bearer ||
            !tokensEqual(std::string_view(authorization).substr(kScheme.size()), m_options.token)) {
            m_throttle.recordFailure(req.remote_addr, now);
            res.set_header("WWW-Authenticate", "Bearer");
            refuse(res, 401, messages::kWrongToken);
            return Handled::Handled;
        }
        if (send && mediaType(req.get_header_value("Content-Type")) != "application/json") {
            refuse(res, 415, messages::kBadRequest);
            return Handled::Handled;
        }
        if (send &&
            std::strtoull(req.get_header_value("Content-Length").c_str(), nullptr, 10) > kMaxBody) {
            refuse(res, 413, messages::kBadRequest);
            return Handled::Handled;
        }
        return Handled::Unhandled;
    }

    void handleSend(const httplib::Request& req, httplib::Response& res) {
        const json body = json::parse(req.body, nullptr, false);
        const auto isText = [&](const char* key) {
            return body.contains(key) && body[key].is_string();
        };
        if (!body.is_object() || body.size() != 2 || !isText("system") || !isText("command")) {
            refuse(res, 400, messages::kBadRequest);
            return;
        }
        SendQueue::Ticket ticket =
            m_queue.submit(body["system"].get<std::string>(), body["command"].get<std::string>());
        if (ticket.refusal == SendQueue::Refusal::kTooMany) {
            res.set_header("Retry-After", "1");
            refuse(res, 429, messages::kTooManySends);
            return;
        }
        const std::optional<SendResult> result =
            ticket.refusal == SendQueue::Refusal::kNone ? ticket.result.get() : std::nullopt;
        if (!result) {
            refuse(res, 503, messages::kStopped);
            return;
        }
        if (result->badInput()) {
            refuse(res, 400, refusalMessage(result->status));
            return;
        }
        const json answer = {{"lines", result->lines}, {"delivered", result->delivered()}};
        reply(res, 200, answer.dump(-1, ' ', false, json::error_handler_t::replace));
    }

    bool process_and_close_socket(socket_t sock) override {
        bool ok = false;
        if (t_noPlace) {
            static constexpr std::string_view kBusy =
                "HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\nConnection: "
                "close\r\n\r\n";
            (void)send(sock, kBusy.data(), kBusy.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
            // A moment for the request to arrive, so that closing does not reset the answer away.
            ::shutdown(sock, SHUT_WR);
            pollfd entry{sock, POLLIN, 0};
            std::array<char, 1024> discard{};
            if (poll(&entry, 1, 50) > 0) {
                (void)recv(sock, discard.data(), discard.size(), MSG_DONTWAIT);
            }
        } else {
            // One request a connection: a slow or idle client holds a worker no longer than that.
            BoundedStream stream(sock, m_options.ioTimeout,
                                 Clock::now() + m_options.connectionDeadline);
            bool closed = false;
            ok = process_request(stream, true, closed, nullptr);
        }
        ::shutdown(sock, SHUT_RDWR);
        ::close(sock);
        return ok;
    }

    SendQueue& m_queue;
    const ServerOptions m_options;
    const std::string m_catalogue;
    WrongTokenThrottle m_throttle;
    std::atomic<bool> m_listenEnded{false};
};

RemoteServer::RemoteServer(SendQueue& queue, ServerOptions options)
    : m_impl(std::make_unique<Impl>(queue, std::move(options))) {}

RemoteServer::~RemoteServer() {
    stop();
}

bool RemoteServer::start(std::string& error) {
    return m_impl->startServing(error);
}

int RemoteServer::port() const {
    return m_impl->boundPort;
}

void RemoteServer::stop() {
    if (m_impl->thread.joinable()) {
        m_impl->stop();
        m_impl->thread.join();
    }
}

}  // namespace tavik::remote
