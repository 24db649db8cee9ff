// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "result.hpp"

namespace tavik::mqtt {

// Waits until the broker's socket can be read or written, the time is up, or another thread
// wakes it: the MQTT thread's one place of waiting, so that a result to publish never waits for
// the socket's next packet.
//
// Threads: wake() from any thread; the rest from the one waiting thread.
class SocketWait {
  public:
    struct Ready {
        bool read = false;
        bool write = false;
    };

    static Result<std::unique_ptr<SocketWait>> create();
    virtual ~SocketWait() = default;

    // `socket` is the broker's (as libmosquitto gives it), or negative for none: then only a wake
    // or the time ends the wait.
    virtual Ready wait(int socket, bool wantWrite, std::chrono::milliseconds timeout) = 0;
    virtual void wake() = 0;
};

// The system's words for an error of the broker's socket, as libmosquitto leaves it in errno
// (on Windows, a Winsock code).
std::string socketErrorText(int code);

}  // namespace tavik::mqtt
