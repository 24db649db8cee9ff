// SPDX-License-Identifier: MIT
#include "phone_connection.hpp"

#include <algorithm>
#include <boost/asio/post.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/write.hpp>

#include "page_resources.hpp"
#include "phone_api.hpp"
#include "phone_listener.hpp"
#include "phone_messages.hpp"

namespace tavik::phone {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using namespace std::chrono_literals;

// Request line and headers together: far more than the page's requests need.
constexpr std::size_t kMaxHeader = std::size_t{16} * 1024;
// How long a closing connection waits for the rest of a request it did not read, so that
// closing does not reset the answer away before the phone has read it.
constexpr auto kLinger = 200ms;

constexpr std::string_view kJson = "application/json; charset=utf-8";

}  // namespace

Connection::Connection(Listener& server, tcp::socket socket)
    : m_server(server),
      m_stream(std::move(socket)),
      m_deadline(Clock::now() + server.options().connectionDeadline),
      m_buffer(kMaxHeader + kMaxBody) {}

Connection::~Connection() {
    answerOut();
    if (m_counted) {
        m_server.connectionEnded();
    }
}

void Connection::serve() {
    m_counted = true;
    m_parser.header_limit(static_cast<std::uint32_t>(kMaxHeader));
    // The body's limit applies once the headers have passed, so that a stranger is told 401
    // before 413; a Content-Length over it is refused by the policy.
    m_parser.body_limit(boost::none);
    if (!expire()) {
        return;
    }
    http::async_read_header(m_stream, m_buffer, m_parser,
                            [self = shared_from_this()](beast::error_code error, std::size_t) {
                                self->onHeader(error);
                            });
}

void Connection::refuseBusy() {
    m_response.set(http::field::retry_after, "1");
    refuse(http::status::service_unavailable, messages::kTooManySends);
}

// The time-out of the next read or write: the I/O time-out, cut short by the deadline.
bool Connection::expire() {
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

void Connection::onHeader(beast::error_code error) {
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
    boost::system::error_code ignored;
    const std::string peer = m_stream.socket().remote_endpoint(ignored).address().to_string();
    const auto now = Clock::now();
    const auto& options = m_server.options();
    const Verdict verdict = judgeRequest(
        m_parser.get().base(),
        {options.token, options.hosts, m_server.port(), m_server.throttle().refused(peer, now),
         m_parser.content_length() ? std::optional<std::uint64_t>(*m_parser.content_length())
                                   : std::nullopt});
    m_head = verdict.head;
    m_path = verdict.path;
    m_route = verdict.route;
    if (verdict.wrongToken) {
        m_server.throttle().recordFailure(peer, now);
    }
    if (verdict.refusal) {
        refuse(*verdict.refusal);
        return;
    }
    if (m_route != Route::kSend) {
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

void Connection::onBody(beast::error_code error) {
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

void Connection::handleSend(const std::string& body) {
    const SendRequest request = parseSendRequest(body, m_server.fixedSystem());
    if (!request.refusal.empty()) {
        refuse(http::status::bad_request, request.refusal);
        return;
    }
    // Waiting for its turn is no stalled I/O: no time-out runs meanwhile, and the deadline
    // starts again from where reading left it once the send is done.
    m_stream.expires_never();
    m_waitBegan = Clock::now();
    // Counted before it is handed over: a stop that looks meanwhile waits for its answer.
    m_server.answerPending();
    m_answerPending = true;
    // The answer comes back on the thread that owns the session: onto this connection's strand
    // (the stream's executor is set once, when the socket is made).
    const PhoneSends::Admission admission = m_server.sends().submit(
        request.system, request.command,
        [self = shared_from_this()](std::optional<SendResult> result) {
            asio::post(self->m_stream.get_executor(),
                       [self, result = std::move(result)] { self->answerSend(result); });
        });
    if (admission != PhoneSends::Admission::kAccepted) {
        answerOut();
    }
    if (admission == PhoneSends::Admission::kTooMany) {
        m_response.set(http::field::retry_after, "1");
        refuse(http::status::too_many_requests, messages::kTooManySends);
    } else if (admission == PhoneSends::Admission::kStopped) {
        refuse(http::status::service_unavailable, messages::kStopped);
    }
}

void Connection::answerSend(const std::optional<SendResult>& result) {
    m_deadline += Clock::now() - m_waitBegan;
    m_handedOver = true;
    if (!result) {
        refuse(http::status::service_unavailable, messages::kStopped);
        return;
    }
    const SendAnswer answer = answerOf(*result);
    if (!answer.refusal.empty()) {
        refuse(http::status::bad_request, answer.refusal);
        return;
    }
    m_response.body() = answer.json;
    respond(http::status::ok, kJson);
}

void Connection::refuse(const Refusal& refusal) {
    for (const auto& [field, value] : refusal.headers) {
        m_response.set(field, value);
    }
    refuse(refusal.status, refusal.message);
}

void Connection::refuse(http::status status, std::string_view message) {
    m_response.body() = errorBody(message);
    respond(status, kJson);
}

// Answers with m_response's body, or the page resource at m_path when it has none.
void Connection::respond(http::status status, std::string_view contentType) {
    if (status == http::status::ok && contentType.empty()) {
        if (m_route == Route::kSystems) {
            m_response.body() = m_server.catalogue();
            contentType = kJson;
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
    // The answer to a command that was handed over is written even past the deadline: the
    // phone is told what became of it.
    if (m_handedOver) {
        m_stream.expires_after(m_server.options().ioTimeout);
    } else if (!expire()) {
        return;
    }
    auto done = [self = shared_from_this()](beast::error_code, std::size_t) {
        self->answerOut();
        self->closeGently();
    };
    if (m_head) {
        m_serializer.emplace(m_response);
        http::async_write_header(m_stream, *m_serializer, std::move(done));
    } else {
        http::async_write(m_stream, m_response, std::move(done));
    }
}

void Connection::answerOut() {
    if (m_answerPending) {
        m_answerPending = false;
        m_server.answerWritten();
    }
}

// Ends the sending side, then reads what the phone still sends, briefly, before closing.
void Connection::closeGently() {
    boost::system::error_code ignored;
    m_stream.socket().shutdown(tcp::socket::shutdown_send, ignored);
    m_stream.expires_after(kLinger);
    drain();
}

void Connection::drain() {
    m_stream.async_read_some(asio::buffer(m_discard),
                             [self = shared_from_this()](beast::error_code error, std::size_t) {
                                 if (error) {
                                     self->close();
                                 } else {
                                     self->drain();
                                 }
                             });
}

void Connection::close() {
    boost::system::error_code ignored;
    m_stream.socket().shutdown(tcp::socket::shutdown_both, ignored);
    m_stream.close();
}

}  // namespace tavik::phone
