// SPDX-License-Identifier: MIT
#pragma once

#include <boost/beast/http/fields.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/status.hpp>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "access_rules.hpp"

namespace tavik::phone {

// The rules every request's line and headers must pass, apart from any socket: what the server
// does with a request once its headers are in.
enum class Route { kPage, kSystems, kSend };

struct Refusal {
    boost::beast::http::status status;
    std::string message;
    std::vector<std::pair<boost::beast::http::field, std::string>> headers;
};

struct Verdict {
    Route route = Route::kPage;
    std::string path;  // the target without its query
    bool head = false;
    std::optional<Refusal> refusal;
    bool wrongToken = false;  // refused for its token: the caller counts it against the address
};

struct PolicyContext {
    std::string_view token;
    const HostCheck& hosts;
    int port = 0;
    // The address has given too many wrong tokens of late.
    bool throttled = false;
    // The body's length as the headers declare it, when they do.
    std::optional<std::uint64_t> contentLength;
};

// The largest body a send may have.
inline constexpr std::size_t kMaxBody = 1024;

Verdict judgeRequest(const boost::beast::http::request_header<>& request,
                     const PolicyContext& context);

}  // namespace tavik::phone
