// SPDX-License-Identifier: MIT
#include <winsock2.h>
#include <ws2tcpip.h>

#include <string>
#include <system_error>

#include "socket_wait.hpp"

namespace tavik::mqtt {
namespace {

// Windows polls sockets only: a UDP socket on the loopback that sends itself a byte.
class LoopbackWait : public SocketWait {
  public:
    explicit LoopbackWait(SOCKET self) : m_self(self) {}
    ~LoopbackWait() override {
        closesocket(m_self);
        WSACleanup();
    }
    LoopbackWait(const LoopbackWait&) = delete;
    LoopbackWait& operator=(const LoopbackWait&) = delete;

    Ready wait(int socket, bool wantWrite, std::chrono::milliseconds timeout) override {
        WSAPOLLFD fds[2] = {};
        fds[0].fd = m_self;
        fds[0].events = POLLRDNORM;
        fds[1].fd = static_cast<SOCKET>(socket);
        fds[1].events = static_cast<SHORT>(POLLRDNORM | (wantWrite ? POLLWRNORM : 0));
        const ULONG count = socket >= 0 ? 2 : 1;
        Ready ready;
        if (WSAPoll(fds, count, static_cast<INT>(timeout.count())) <= 0) {
            return ready;
        }
        if ((fds[0].revents & POLLRDNORM) != 0) {
            char drained[64];
            while (recv(m_self, drained, sizeof drained, 0) > 0) {
            }
        }
        ready.read = count == 2 && (fds[1].revents & (POLLRDNORM | POLLERR | POLLHUP)) != 0;
        ready.write = count == 2 && (fds[1].revents & POLLWRNORM) != 0;
        return ready;
    }

    void wake() override {
        const char byte = 1;
        send(m_self, &byte, 1, 0);
    }

  private:
    SOCKET m_self;
};

}  // namespace

Result<std::unique_ptr<SocketWait>> SocketWait::create() {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        return Failure{"cannot start Windows sockets"};
    }
    const SOCKET self = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    u_long nonBlocking = 1;
    if (self == INVALID_SOCKET ||
        bind(self, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(self, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        connect(self, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ioctlsocket(self, FIONBIO, &nonBlocking) != 0) {
        const std::string why =
            "cannot make a loopback socket (" + std::to_string(WSAGetLastError()) + ")";
        if (self != INVALID_SOCKET) {
            closesocket(self);
        }
        WSACleanup();
        return Failure{why};
    }
    return std::unique_ptr<SocketWait>(std::make_unique<LoopbackWait>(self));
}

// Winsock's codes are the system's, not the C library's (which has no words for them).
std::string socketErrorText(int code) {
    return std::system_category().message(code);
}

}  // namespace tavik::mqtt
