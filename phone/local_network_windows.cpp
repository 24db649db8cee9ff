// SPDX-License-Identifier: MIT
// winsock2.h before windows.h, in a block of its own so that sorting keeps it there.
#include <winsock2.h>

#include <iphlpapi.h>
#include <windows.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <array>
#include <vector>

#include "local_network.hpp"

namespace tavik::phone {

std::vector<std::string> localAddresses(bool withIpv6) {
    std::vector<std::string> others;
    std::vector<std::string> loopback;
    ULONG size = 16 * 1024;
    std::vector<unsigned char> buffer;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    const ULONG flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    for (int tries = 0; tries < 3 && result == ERROR_BUFFER_OVERFLOW; ++tries) {
        buffer.resize(size);
        result =
            GetAdaptersAddresses(AF_UNSPEC, flags, nullptr,
                                 reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    if (result != NO_ERROR) {
        return {};
    }
    for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter != nullptr;
         adapter = adapter->Next) {
        if (adapter->OperStatus != IfOperStatusUp) {
            continue;
        }
        const bool isLoopback = adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK;
        for (auto* entry = adapter->FirstUnicastAddress; entry != nullptr; entry = entry->Next) {
            const sockaddr* address = entry->Address.lpSockaddr;
            const int family = address->sa_family;
            const void* bytes = nullptr;
            if (family == AF_INET) {
                bytes = &reinterpret_cast<const sockaddr_in*>(address)->sin_addr;
            } else if (family == AF_INET6 && withIpv6) {
                bytes = &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr;
            }
            std::array<char, INET6_ADDRSTRLEN> text{};
            if (bytes == nullptr || inet_ntop(family, bytes, text.data(), text.size()) == nullptr) {
                continue;
            }
            auto& into = isLoopback ? loopback : others;
            if (std::find(into.begin(), into.end(), text.data()) == into.end()) {
                into.emplace_back(text.data());
            }
        }
    }
    others.insert(others.end(), loopback.begin(), loopback.end());
    return others;
}

std::string localHostName() {
    std::array<char, 256> name{};
    DWORD size = static_cast<DWORD>(name.size());
    if (!GetComputerNameExA(ComputerNameDnsHostname, name.data(), &size)) {
        return {};
    }
    return std::string(name.data(), size);
}

}  // namespace tavik::phone
