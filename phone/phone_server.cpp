// SPDX-License-Identifier: MIT
#include "phone_server.hpp"

#include <algorithm>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/http/write.hpp>
#include <cctype>
#include <deque>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>
#include <vector>

#include "access_token.hpp"
#include "catalogue.hpp"
#include "listen_socket.hpp"
#include "page_resources.hpp"
#include "phone_messages.hpp"

namespace tavik::phone {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;
using nlohmann::json;
using namespace std::chrono_literals;

constexpr std::size_t kMaxBody = 1024;
// Request line and headers together: far more than the page's requests need.
constexpr std::size_t kMaxHeader = std::size_t{16} * 1024;
// How long a closing connection waits for the rest of a request it did not read, so that
// closing does not reset the answer away before the phone has read it.
constexpr auto kLinger = 200ms;
// How long a stop waits for the requests in progress before it ends them.
constexpr auto kStopGrace = 500ms;

using Request = http::request<http::string_body>;
using Response = http::response<http::string_body>;

std::string errorBody(std::string_view message) {
    return json{{"error", message}}.dump();
}

json systemJson(const MakerEntry& row, std::int32_t onlyNumber) {
    json numbers = json::array();
    for (std::int32_t n = row.numberMin; row.hasNumbers() && n <= row.numberMax; ++n) {
        if (onlyNumber < 0 || n == onlyNumber) {
            numbers.push_back(n);
        }
    }
    return {
        {"letter", std::string(1, row.letter)}, {"name", row.displayName}, {"numbers", numbers}};
}

std::string catalogueJson(const std::optional<SystemSelection>& fixed) {
    json systems = json::array();
    if (fixed) {
        systems.push_back(systemJson(catalogueEntry(fixed->systemId), fixed->number));
        return systems.dump();
    }
    for (const MakerEntry& row : kCatalogue) {
        if (row.systemId < 0) {
            break;
        }
        systems.push_back(systemJson(row, -1));
    }
    return systems.dump();
}

std::string onlySystemMessage(const SystemSelection& fixed) {
    std::string name(catalogueEntry(fixed.systemId).displayName);
    if (fixed.number >= 0) {
        name += " " + std::to_string(fixed.number);
    }
    return std::string(messages::kOnlySystem) + name + " だけです。";
}

// The media type of a Content-Type header, lower case, without parameters.
std::string mediaType(std::string_view header) {
    std::string type(header.substr(0, header.find(';')));
    type.erase(std::remove(type.begin(), type.end(), ' '), type.end());
    std::transform(type.begin(), type.end(), type.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return type;
}

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

// Everything but the requests: the listening socket, the threads, and the places.
class Listener {
  public:
    Listener(SendQueue& queue, ServerOptions options)
        : m_queue(queue),
          m_options(std::move(options)),
          m_catalogue(catalogueJson(m_options.system)),
          m_acceptor(m_io),
          m_stopTimer(m_io) {}

    ~Listener() {
        stop();
        std::lock_guard lock(m_mutex);
        m_waiting.clear();  // before the context they belong to
        m_closed = true;    // the timer goes before the context whose handlers end connections
    }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    bool start(std::string& error) {
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
            error = listenError(m_options, failure);
            m_acceptor.close(failure);
            return false;
        }
        m_port = m_acceptor.local_endpoint().port();
        accept();
        // One thread a place, and one more so that accepting and time-outs never wait for a
        // request that waits for its send.
        for (std::size_t i = 0; i <= m_options.workers; ++i) {
            m_threads.emplace_back([this] { m_io.run(); });
        }
        return true;
    }

    void stop() {
        if (m_threads.empty()) {
            return;
        }
        asio::post(m_io, [this] {
            boost::system::error_code ignored;
            m_acceptor.close(ignored);
            std::lock_guard lock(m_mutex);
            m_stopping = true;
            m_waiting.clear();
            if (m_active > 0) {
                m_stopTimer.expires_after(kStopGrace);
                m_stopTimer.async_wait([this](const boost::system::error_code&) { m_io.stop(); });
            }
        });
        for (std::thread& thread : m_threads) {
            thread.join();
        }
        m_threads.clear();
    }

    int port() const { return m_port; }

    void fixSystem(std::optional<SystemSelection> system) {
        std::string catalogue = catalogueJson(system);
        std::lock_guard lock(m_mutex);
        m_options.system = system;
        m_catalogue = std::move(catalogue);
    }

    // What a connection needs of the server; all of it thread-safe.
    std::optional<SystemSelection> fixedSystem() {
        std::lock_guard lock(m_mutex);
        return m_options.system;
    }
    std::string catalogue() {
        std::lock_guard lock(m_mutex);
        return m_catalogue;
    }
    const ServerOptions& options() const { return m_options; }
    SendQueue& queue() { return m_queue; }
    WrongTokenThrottle& throttle() { return m_throttle; }

    // A connection has ended: the next one waiting takes its place.
    void connectionEnded();

  private:
    void accept();
    void admit(tcp::socket socket);

    SendQueue& m_queue;
    ServerOptions m_options;  // its system under m_mutex
    WrongTokenThrottle m_throttle;
    std::mutex m_mutex;
    std::string m_catalogue;
    std::size_t m_active = 0;
    bool m_stopping = false;
    bool m_closed = false;
    int m_port = 0;
    std::vector<std::thread> m_threads;
    // Declared after what connections use, so that the handlers it still holds when it is
    // destroyed find all of that alive.
    asio::io_context m_io;
    tcp::acceptor m_acceptor;
    asio::steady_timer m_stopTimer;
    std::deque<tcp::socket> m_waiting;  // accepted, not yet served; under m_mutex
};

// One connection: one request read within its limits, one answer, then a closing that lets
// the phone read the answer.
class Connection : public std::enable_shared_from_this<Connection> {
  public:
    Connection(Listener& server, tcp::socket socket)
        : m_server(server),
          m_stream(std::move(socket)),
          m_deadline(Clock::now() + server.options().connectionDeadline) {}

    ~Connection() {
        if (m_counted) {
            m_server.connectionEnded();
        }
    }

    // Serves the request; `counted`: the connection holds one of the server's places.
    void serve() {
        m_counted = true;
        m_parser.header_limit(static_cast<std::uint32_t>(kMaxHeader));
        // The body's limit applies once the headers have passed, so that a stranger is told 401
        // before 413; a Content-Length over it is refused by checkHeader.
        m_parser.body_limit(boost::none);
        if (!expire()) {
            return;
        }
        http::async_read_header(m_stream, m_buffer, m_parser,
                                [self = shared_from_this()](beast::error_code error, std::size_t) {
                                    self->onHeader(error);
                                });
    }

    // Beyond every place: 503 at once, nothing read, with the headers and words of any refusal.
    void refuseBusy() {
        m_response.set(http::field::retry_after, "1");
        refuse(http::status::service_unavailable, messages::kTooManySends);
    }

  private:
    // The time-out of the next read or write: the I/O time-out, cut short by the deadline.
    bool expire() {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline - Clock::now());
        const auto timeout = std::min(left, m_server.options().ioTimeout);
        if (timeout <= 0ms) {
            close();
            return false;
        }
        m_stream.expires_after(timeout);
        return true;
    }

    void onHeader(beast::error_code error) {
        if (error == http::error::header_limit || error == http::error::buffer_overflow) {
            refuse(http::status::bad_request, messages::kBadRequest);
            return;
        }
        if (error) {
            // Time-out, the peer gone, or bytes that are no HTTP: nothing to answer to.
            if (error != beast::error::timeout && error != http::error::end_of_stream &&
                error != asio::error::eof && error != asio::error::connection_reset) {
                refuse(http::status::bad_request, messages::kBadRequest);
            } else {
                close();
            }
            return;
        }
        const Request& request = m_parser.get();
        m_head = request.method() == http::verb::head;
        const std::string_view target(request.target().data(), request.target().size());
        m_path = std::string(target.substr(0, target.find('?')));
        if (!checkHeader(request)) {
            return;
        }
        if (m_path != "/api/send") {
            respond(http::status::ok);
            return;
        }
        if (!expire()) {
            return;
        }
        m_parser.body_limit(kMaxBody);  // however the body is framed
        http::async_read(m_stream, m_buffer, m_parser,
                         [self = shared_from_this()](beast::error_code failure, std::size_t) {
                             self->onBody(failure);
                         });
    }

    // Every rule a request's line and headers must pass; false when it was refused.
    bool checkHeader(const Request& request) {
        // Where one field must be one value, repeats are a smuggling attempt or a broken client.
        for (const http::field field : {http::field::host, http::field::origin,
                                        http::field::content_length, http::field::authorization}) {
            if (request.count(field) > 1) {
                return refuse(http::status::bad_request, messages::kBadRequest);
            }
        }
        const ServerOptions& options = m_server.options();
        const std::string_view host = fieldText(request, http::field::host);
        const auto origin = request.find(http::field::origin);
        if (!options.hosts.allows(host, m_server.port()) ||
            (origin != request.end() &&
             !originAllowed(fieldText(request, http::field::origin), host))) {
            return refuse(http::status::forbidden, messages::kForbidden);
        }
        const bool api = m_path.rfind("/api/", 0) == 0;
        const bool send = m_path == "/api/send";
        if (!send && !(api ? m_path == "/api/systems" : pageResource(m_path) != nullptr)) {
            return refuse(http::status::not_found, messages::kNotFound);
        }
        const bool get = request.method() == http::verb::get || m_head;
        if (send ? request.method() != http::verb::post : !get) {
            m_response.set(http::field::allow, send ? "POST" : "GET, HEAD");
            return refuse(http::status::method_not_allowed, messages::kBadRequest);
        }
        if (!api) {
            return true;
        }
        boost::system::error_code ignored;
        m_peer = m_stream.socket().remote_endpoint(ignored).address().to_string();
        const auto now = Clock::now();
        if (m_server.throttle().refused(m_peer, now)) {
            m_response.set(http::field::retry_after, "60");
            return refuse(http::status::too_many_requests, messages::kTooManyWrongTokens);
        }
        const std::string_view authorization = fieldText(request, http::field::authorization);
        constexpr std::string_view kScheme = "Bearer ";
        if (authorization.substr(0, kScheme.size()) != kScheme ||
            !tokensEqual(authorization.substr(kScheme.size()), options.token)) {
            m_server.throttle().recordFailure(m_peer, now);
            m_response.set(http::field::www_authenticate, "Bearer");
            return refuse(http::status::unauthorized, messages::kWrongToken);
        }
        if (send &&
            mediaType(fieldText(request, http::field::content_type)) != "application/json") {
            return refuse(http::status::unsupported_media_type, messages::kBadRequest);
        }
        if (send && m_parser.content_length() && *m_parser.content_length() > kMaxBody) {
            return refuse(http::status::payload_too_large, messages::kBadRequest);
        }
        return true;
    }

    void onBody(beast::error_code error) {
        if (error == http::error::body_limit || error == http::error::buffer_overflow) {
            refuse(http::status::payload_too_large, messages::kBadRequest);
            return;
        }
        if (error) {
            close();
            return;
        }
        handleSend(m_parser.get().body());
    }

    // Waits for the send on this thread: one of the places, never the acceptor's.
    void handleSend(const std::string& text) {
        const json body = json::parse(text, nullptr, false);
        const auto isText = [&](const char* key) {
            return body.contains(key) && body[key].is_string();
        };
        if (!body.is_object() || body.size() != 2 || !isText("system") || !isText("command")) {
            refuse(http::status::bad_request, messages::kBadRequest);
            return;
        }
        const std::string system = body["system"].get<std::string>();
        if (const std::optional<SystemSelection> fixed = m_server.fixedSystem()) {
            const SystemSelection asked = resolveSystemToken(system);
            // A token that names no system is refused below, by the session, in its own words.
            if (asked.error == SelectionError::kNone &&
                (asked.systemId != fixed->systemId || asked.number != fixed->number)) {
                refuse(http::status::bad_request, onlySystemMessage(*fixed));
                return;
            }
        }
        SendQueue::Ticket ticket =
            m_server.queue().submit(system, body["command"].get<std::string>());
        if (ticket.refusal == SendQueue::Refusal::kTooMany) {
            m_response.set(http::field::retry_after, "1");
            refuse(http::status::too_many_requests, messages::kTooManySends);
            return;
        }
        const std::optional<SendResult> result =
            ticket.refusal == SendQueue::Refusal::kNone ? ticket.result.get() : std::nullopt;
        if (!result) {
            refuse(http::status::service_unavailable, messages::kStopped);
            return;
        }
        if (result->badInput()) {
            refuse(http::status::bad_request, refusalMessage(result->status));
            return;
        }
        const json answer = {{"lines", result->lines}, {"delivered", result->delivered()}};
        m_response.body() = answer.dump(-1, ' ', false, json::error_handler_t::replace);
        respond(http::status::ok, "application/json; charset=utf-8");
    }

    static std::string_view fieldText(const Request& request, http::field field) {
        const auto value = request[field];
        return {value.data(), value.size()};
    }

    bool refuse(http::status status, std::string_view message) {
        m_response.body() = errorBody(message);
        respond(status, "application/json; charset=utf-8");
        return false;
    }

    // Answers with m_response's body, or the page resource at m_path when it has none.
    void respond(http::status status, std::string_view contentType = {}) {
        if (status == http::status::ok && contentType.empty()) {
            if (m_path == "/api/systems") {
                m_response.body() = m_server.catalogue();
                contentType = "application/json; charset=utf-8";
            } else {
                const PageResource* resource = pageResource(m_path);
                m_response.body() = std::string(resource->body);
                contentType = resource->contentType;
            }
        }
        m_response.result(status);
        m_response.version(11);
        m_response.keep_alive(false);
        m_response.set(http::field::content_type, std::string(contentType));
        m_response.set(http::field::cache_control, "no-store");
        m_response.set("X-Content-Type-Options", "nosniff");
        m_response.set("Content-Security-Policy",
                       "default-src 'none'; script-src 'self'; style-src 'self'; "
                       "connect-src 'self'; img-src 'self'; base-uri 'none'; "
                       "form-action 'none'; frame-ancestors 'none'");
        m_response.set("Referrer-Policy", "no-referrer");
        m_response.set("X-Frame-Options", "DENY");
        m_response.prepare_payload();
        if (!expire()) {
            return;
        }
        auto done = [self = shared_from_this()](beast::error_code, std::size_t) {
            self->closeGently();
        };
        if (m_head) {
            m_serializer.emplace(m_response);
            http::async_write_header(m_stream, *m_serializer, std::move(done));
        } else {
            http::async_write(m_stream, m_response, std::move(done));
        }
    }

    // Ends the sending side, then reads what the phone still sends, briefly, before closing.
    void closeGently() {
        boost::system::error_code ignored;
        m_stream.socket().shutdown(tcp::socket::shutdown_send, ignored);
        m_stream.expires_after(kLinger);
        drain();
    }

    void drain() {
        m_stream.async_read_some(asio::buffer(m_discard),
                                 [self = shared_from_this()](beast::error_code error, std::size_t) {
                                     if (error) {
                                         self->close();
                                     } else {
                                         self->drain();
                                     }
                                 });
    }

    void close() {
        boost::system::error_code ignored;
        m_stream.socket().shutdown(tcp::socket::shutdown_both, ignored);
        m_stream.close();
    }

    Listener& m_server;
    beast::tcp_stream m_stream;
    Clock::time_point m_deadline;
    beast::flat_buffer m_buffer{kMaxHeader + kMaxBody};
    http::request_parser<http::string_body> m_parser;
    Response m_response;
    std::optional<http::response_serializer<http::string_body>> m_serializer;
    std::array<char, 1024> m_discard{};
    std::string m_path;
    std::string m_peer;
    bool m_head = false;
    bool m_counted = false;
};

void Listener::accept() {
    m_acceptor.async_accept(asio::make_strand(m_io), [this](const boost::system::error_code& error,
                                                            tcp::socket socket) {
        if (error == asio::error::operation_aborted || !m_acceptor.is_open()) {
            return;
        }
        if (!error) {
            admit(std::move(socket));
        }
        accept();
    });
}

void Listener::admit(tcp::socket socket) {
    std::unique_lock lock(m_mutex);
    if (m_stopping) {
        return;
    }
    if (m_active < m_options.workers) {
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
            m_stopTimer.cancel();
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

}  // namespace

class PhoneServer::Impl : public Listener {
  public:
    using Listener::Listener;
};

PhoneServer::PhoneServer(SendQueue& queue, ServerOptions options)
    : m_impl(std::make_unique<Impl>(queue, std::move(options))) {}

PhoneServer::~PhoneServer() = default;

bool PhoneServer::start(std::string& error) {
    return m_impl->start(error);
}

int PhoneServer::port() const {
    return m_impl->port();
}

void PhoneServer::stop() {
    m_impl->stop();
}

void PhoneServer::fixSystem(std::optional<SystemSelection> system) {
    m_impl->fixSystem(system);
}

}  // namespace tavik::phone
