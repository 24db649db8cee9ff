// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace tavik::test {

using HttpHeaders = std::vector<std::pair<std::string, std::string>>;

// One answer as a phone would read it; status -1 when there was none (refused, reset, closed).
struct HttpReply {
    int status = -1;
    HttpHeaders headers;
    std::string body;

    // The first value of `name` (any case), or empty.
    std::string header(const std::string& name) const;
    bool has(const std::string& name) const;
};

// One request on a new loopback connection to `port`, written exactly as given: the headers in
// order, repeats included. A Host header is added unless one is given, Content-Length for a
// body unless a Transfer-Encoding is given.
HttpReply httpRequest(int port, const std::string& method, const std::string& target,
                      const HttpHeaders& headers = {}, const std::string& body = {});

// A raw connection that sends `bytes`, one every `pause`, and tells when the server closed it.
std::chrono::milliseconds closedAfter(int port, const std::string& bytes,
                                      std::chrono::milliseconds pause);

// A send to the phones' API with `token`.
HttpReply postSend(int port, const std::string& token, const std::string& body);

}  // namespace tavik::test
