// SPDX-License-Identifier: MIT
#include "http_client.hpp"

#include <algorithm>
#include <array>
#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/string_body.hpp>
#include <cctype>
#include <thread>

namespace tavik::test {
namespace {

bool sameName(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
        return std::tolower(x) == std::tolower(y);
    });
}

}  // namespace

std::string HttpReply::header(const std::string& name) const {
    for (const auto& [key, value] : headers) {
        if (sameName(key, name)) {
            return value;
        }
    }
    return {};
}

bool HttpReply::has(const std::string& name) const {
    return std::any_of(headers.begin(), headers.end(),
                       [&](const auto& entry) { return sameName(entry.first, name); });
}

HttpReply httpRequest(int port, const std::string& method, const std::string& target,
                      const HttpHeaders& headers, const std::string& body) {
    namespace asio = boost::asio;
    namespace http = boost::beast::http;
    std::string text = method + " " + target + " HTTP/1.1\r\n";
    bool host = false;
    bool framed = false;
    for (const auto& [name, value] : headers) {
        text.append(name).append(": ").append(value).append("\r\n");
        host = host || sameName(name, "Host");
        framed = framed || sameName(name, "Transfer-Encoding");
    }
    if (!host) {
        text += "Host: 127.0.0.1:" + std::to_string(port) + "\r\n";
    }
    if (!body.empty() && !framed) {
        text += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    }
    text += "\r\n" + body;

    HttpReply reply;
    asio::io_context io;
    asio::ip::tcp::socket socket(io);
    boost::system::error_code error;
    socket.connect({asio::ip::address_v4::loopback(), static_cast<std::uint16_t>(port)}, error);
    if (error) {
        return reply;
    }
    // A server may answer before it has read everything and close: read the answer anyway.
    asio::write(socket, asio::buffer(text), error);
    boost::beast::flat_buffer buffer;
    http::response_parser<http::string_body> parser;
    parser.body_limit(boost::none);
    http::read(socket, buffer, parser, error);
    if (!parser.is_header_done()) {
        return reply;
    }
    const http::response<http::string_body>& response = parser.get();
    reply.status = static_cast<int>(response.result_int());
    for (const auto& field : response) {
        reply.headers.emplace_back(std::string(field.name_string()), std::string(field.value()));
    }
    reply.body = response.body();
    return reply;
}

std::chrono::milliseconds closedAfter(int port, const std::string& bytes,
                                      std::chrono::milliseconds pause) {
    namespace asio = boost::asio;
    asio::io_context io;
    asio::ip::tcp::socket socket(io);
    const auto begin = std::chrono::steady_clock::now();
    boost::system::error_code error;
    socket.connect({asio::ip::address_v4::loopback(), static_cast<std::uint16_t>(port)}, error);
    if (error) {
        return std::chrono::milliseconds(0);
    }
    for (const char c : bytes) {
        if (asio::write(socket, asio::buffer(&c, 1), error) != 1) {
            break;
        }
        std::this_thread::sleep_for(pause);
    }
    std::array<char, 512> buffer{};
    while (!error) {
        socket.read_some(asio::buffer(buffer), error);
    }
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 begin);
}

HttpReply postSend(int port, const std::string& token, const std::string& body) {
    return httpRequest(port, "POST", "/api/send",
                       {{"Authorization", "Bearer " + token}, {"Content-Type", "application/json"}},
                       body);
}

}  // namespace tavik::test
