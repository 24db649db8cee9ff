// SPDX-License-Identifier: MIT
#include "access_rules.hpp"

#include <algorithm>
#include <cctype>
#include <iterator>

#include "local_network.hpp"

namespace tavik::phone {
namespace {

std::string lowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

struct HostParts {
    std::string_view name;  // without the brackets of IPv6; empty when malformed
    std::string_view port;  // the digits after the colon; empty when there is none
    bool hasPort = false;
};

HostParts hostParts(std::string_view host) {
    std::string_view rest;
    HostParts parts;
    if (!host.empty() && host.front() == '[') {
        const auto close = host.find(']');
        if (close == std::string_view::npos) {
            return {};
        }
        parts.name = host.substr(1, close - 1);
        rest = host.substr(close + 1);
    } else {
        const auto colon = host.find(':');
        parts.name = host.substr(0, colon);
        rest = colon == std::string_view::npos ? std::string_view() : host.substr(colon);
    }
    if (!rest.empty()) {
        if (rest.front() != ':') {
            return {};
        }
        parts.hasPort = true;
        parts.port = rest.substr(1);
    }
    return parts;
}

}  // namespace

HostCheck::HostCheck(std::vector<std::string> names) {
    names.emplace_back("localhost");
    for (const std::string& name : names) {
        if (!name.empty()) {
            m_names.push_back(lowered(name));
        }
    }
}

HostCheck HostCheck::forThisMachine() {
    std::vector<std::string> names = localAddresses(true);
    const std::string host = localHostName();
    if (!host.empty()) {
        names.push_back(host);
        names.push_back(host + ".local");
    }
    return HostCheck(std::move(names));
}

bool HostCheck::allows(std::string_view host, int port) const {
    const HostParts parts = hostParts(host);
    const std::string name = lowered(parts.name);
    const bool portMatches = parts.hasPort ? parts.port == std::to_string(port) : port == 80;
    return portMatches && !name.empty() &&
           std::find(m_names.begin(), m_names.end(), name) != m_names.end();
}

bool originAllowed(std::string_view origin, std::string_view host) {
    return lowered(origin) == "http://" + lowered(host);
}

bool WrongTokenThrottle::refused(const std::string& address, Clock::time_point now) {
    std::lock_guard lock(m_mutex);
    const auto found = m_failures.find(address);
    if (found == m_failures.end()) {
        return false;
    }
    if (now - found->second.since >= kWindow) {
        m_failures.erase(found);
        return false;
    }
    return found->second.count >= kMaxFailures;
}

void WrongTokenThrottle::recordFailure(const std::string& address, Clock::time_point now) {
    std::lock_guard lock(m_mutex);
    if (m_failures.size() >= kMaxAddresses) {
        std::erase_if(m_failures,
                      [now](const auto& entry) { return now - entry.second.since >= kWindow; });
        if (m_failures.size() >= kMaxAddresses) {
            return;  // many addresses at once: each still counts once it has a place
        }
    }
    Failures& failures = m_failures[address];
    if (failures.count == 0 || now - failures.since >= kWindow) {
        failures = {0, now};
    }
    ++failures.count;
}

}  // namespace tavik::phone
