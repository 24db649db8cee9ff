// SPDX-License-Identifier: MIT
#include "request_policy.hpp"

#include <algorithm>
#include <cctype>

#include "access_token.hpp"
#include "page_resources.hpp"
#include "phone_messages.hpp"

namespace tavik::phone {
namespace {

namespace http = boost::beast::http;

std::string_view fieldText(const http::request_header<>& request, http::field field) {
    const auto value = request[field];
    return {value.data(), value.size()};
}

// The media type of a Content-Type header, lower case, without parameters.
std::string mediaType(std::string_view header) {
    std::string type(header.substr(0, header.find(';')));
    type.erase(std::remove(type.begin(), type.end(), ' '), type.end());
    std::transform(type.begin(), type.end(), type.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return type;
}

Verdict refused(Verdict verdict, http::status status, std::string_view message,
                std::vector<std::pair<http::field, std::string>> headers = {}) {
    verdict.refusal = Refusal{status, std::string(message), std::move(headers)};
    return verdict;
}

}  // namespace

Verdict judgeRequest(const http::request_header<>& request, const PolicyContext& context) {
    Verdict verdict;
    verdict.head = request.method() == http::verb::head;
    const std::string_view target(request.target().data(), request.target().size());
    verdict.path = std::string(target.substr(0, target.find('?')));
    const std::string& path = verdict.path;
    // Where one field must be one value, repeats are a smuggling attempt or a broken client.
    for (const http::field field : {http::field::host, http::field::origin,
                                    http::field::content_length, http::field::authorization}) {
        if (request.count(field) > 1) {
            return refused(std::move(verdict), http::status::bad_request, messages::kBadRequest);
        }
    }
    const std::string_view host = fieldText(request, http::field::host);
    if (!context.hosts.allows(host, context.port) ||
        (request.find(http::field::origin) != request.end() &&
         !originAllowed(fieldText(request, http::field::origin), host))) {
        return refused(std::move(verdict), http::status::forbidden, messages::kForbidden);
    }
    const bool api = path.rfind("/api/", 0) == 0;
    const bool send = path == "/api/send";
    verdict.route = send ? Route::kSend : api ? Route::kSystems : Route::kPage;
    if (!send && !(api ? path == "/api/systems" : pageResource(path) != nullptr)) {
        return refused(std::move(verdict), http::status::not_found, messages::kNotFound);
    }
    const bool get = request.method() == http::verb::get || verdict.head;
    if (send ? request.method() != http::verb::post : !get) {
        return refused(std::move(verdict), http::status::method_not_allowed, messages::kBadRequest,
                       {{http::field::allow, send ? "POST" : "GET, HEAD"}});
    }
    if (!api) {
        return verdict;
    }
    if (context.throttled) {
        return refused(std::move(verdict), http::status::too_many_requests,
                       messages::kTooManyWrongTokens, {{http::field::retry_after, "60"}});
    }
    const std::string_view authorization = fieldText(request, http::field::authorization);
    constexpr std::string_view kScheme = "Bearer ";
    if (authorization.substr(0, kScheme.size()) != kScheme ||
        !tokensEqual(authorization.substr(kScheme.size()), context.token)) {
        verdict.wrongToken = true;
        return refused(std::move(verdict), http::status::unauthorized, messages::kWrongToken,
                       {{http::field::www_authenticate, "Bearer"}});
    }
    if (send && mediaType(fieldText(request, http::field::content_type)) != "application/json") {
        return refused(std::move(verdict), http::status::unsupported_media_type,
                       messages::kBadRequest);
    }
    if (send && context.contentLength && *context.contentLength > kMaxBody) {
        return refused(std::move(verdict), http::status::payload_too_large, messages::kBadRequest);
    }
    return verdict;
}

}  // namespace tavik::phone
