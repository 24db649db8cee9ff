// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/serializer.hpp>
#include <boost/beast/http/string_body.hpp>
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "request_policy.hpp"
#include "send_session.hpp"

namespace tavik::phone {

class Listener;

// One connection on its own strand: one request read within its limits, one answer, then a
// closing that lets the phone read the answer. A send's wait for its turn holds no thread and
// no time-out; the answer of a send that began is always written.
class Connection : public std::enable_shared_from_this<Connection> {
  public:
    Connection(Listener& server, boost::asio::ip::tcp::socket socket);
    ~Connection();

    // Serves the request; the connection holds one of the server's places.
    void serve();
    // Beyond every place: 503 at once, nothing read, with the headers and words of any refusal.
    void refuseBusy();

  private:
    using Clock = std::chrono::steady_clock;
    using Response = boost::beast::http::response<boost::beast::http::string_body>;

    bool expire();
    void onHeader(boost::beast::error_code error);
    void onBody(boost::beast::error_code error);
    void handleSend(const std::string& body);
    void answerSend(const std::optional<SendResult>& result);
    void refuse(const Refusal& refusal);
    void refuse(boost::beast::http::status status, std::string_view message);
    void respond(boost::beast::http::status status, std::string_view contentType = {});
    void answerOut();
    void closeGently();
    void drain();
    void close();

    Listener& m_server;
    boost::beast::tcp_stream m_stream;
    Clock::time_point m_deadline;
    Clock::time_point m_waitBegan;
    boost::beast::flat_buffer m_buffer;
    boost::beast::http::request_parser<boost::beast::http::string_body> m_parser;
    Response m_response;
    std::optional<boost::beast::http::response_serializer<boost::beast::http::string_body>>
        m_serializer;
    std::array<char, 1024> m_discard{};
    std::string m_path;
    Route m_route = Route::kPage;
    bool m_head = false;
    bool m_counted = false;
    bool m_handedOver = false;     // its command came back from the sends
    bool m_answerPending = false;  // counted in the server's answers to write
};

}  // namespace tavik::phone
