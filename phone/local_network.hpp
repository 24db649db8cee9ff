// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

namespace tavik::phone {

// This machine's addresses on interfaces that are up, as text: IPv4 only, or IPv4 and IPv6
// (without zone). Loopback addresses come last.
std::vector<std::string> localAddresses(bool withIpv6);

// The machine's host name, or empty.
std::string localHostName();

}  // namespace tavik::phone
