// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tavik::phone {

// The names a request may give in its Host header. Anything else means that a page of another
// site reached us through a name that was made to point here (DNS rebinding).
class HostCheck {
  public:
    // Compared without case; "localhost" is always allowed.
    explicit HostCheck(std::vector<std::string> names);
    // This machine's IP addresses, its host name and that name under .local.
    static HostCheck forThisMachine();

    // `host` as the header gives it: name, IPv4 or [IPv6], with an optional :port, which must
    // be `port` (none means 80).
    bool allows(std::string_view host, int port) const;

  private:
    std::vector<std::string> m_names;
};

// An Origin header, when present, must be the page's own: http:// and the request's host.
bool originAllowed(std::string_view origin, std::string_view host);

// Slows down guessing: an address that gave a wrong token `kMaxFailures` times within
// `kWindow` is refused until that window has passed. Thread-safe, bounded in memory.
class WrongTokenThrottle {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kMaxFailures = 5;
    static constexpr std::chrono::seconds kWindow{60};

    bool refused(const std::string& address, Clock::time_point now);
    void recordFailure(const std::string& address, Clock::time_point now);

  private:
    struct Failures {
        int count = 0;
        Clock::time_point since;
    };
    static constexpr std::size_t kMaxAddresses = 4096;

    std::mutex m_mutex;
    std::map<std::string, Failures> m_failures;
};

}  // namespace tavik::phone
