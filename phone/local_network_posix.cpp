// SPDX-License-Identifier: MIT
#include "local_network.hpp"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <unistd.h>

#include <algorithm>
#include <array>

namespace tavik::phone {

std::vector<std::string> localAddresses(bool withIpv6) {
    std::vector<std::string> others;
    std::vector<std::string> loopback;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        return {};
    }
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || (entry->ifa_flags & IFF_UP) == 0) {
            continue;
        }
        std::array<char, INET6_ADDRSTRLEN> text{};
        const int family = entry->ifa_addr->sa_family;
        const void* address = nullptr;
        if (family == AF_INET) {
            address = &reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr;
        } else if (family == AF_INET6 && withIpv6) {
            address = &reinterpret_cast<const sockaddr_in6*>(entry->ifa_addr)->sin6_addr;
        }
        if (address == nullptr || inet_ntop(family, address, text.data(), text.size()) == nullptr) {
            continue;
        }
        auto& into = (entry->ifa_flags & IFF_LOOPBACK) != 0 ? loopback : others;
        if (std::find(into.begin(), into.end(), text.data()) == into.end()) {
            into.emplace_back(text.data());
        }
    }
    freeifaddrs(list);
    others.insert(others.end(), loopback.begin(), loopback.end());
    return others;
}

std::string localHostName() {
    std::array<char, 256> name{};
    if (gethostname(name.data(), name.size() - 1) != 0) {
        return {};
    }
    return name.data();
}

}  // namespace tavik::phone
