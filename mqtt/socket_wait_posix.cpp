// SPDX-License-Identifier: MIT
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>

#include "socket_wait.hpp"

namespace tavik::mqtt {
namespace {

// A pipe whose read end is polled beside the socket; a byte written wakes the poll.
class PipeWait : public SocketWait {
  public:
    PipeWait(int readEnd, int writeEnd) : m_read(readEnd), m_write(writeEnd) {}
    ~PipeWait() override {
        close(m_read);
        close(m_write);
    }
    PipeWait(const PipeWait&) = delete;
    PipeWait& operator=(const PipeWait&) = delete;

    Ready wait(int socket, bool wantWrite, std::chrono::milliseconds timeout) override {
        pollfd fds[2] = {{m_read, POLLIN, 0}, {socket, 0, 0}};
        fds[1].events = static_cast<short>(POLLIN | (wantWrite ? POLLOUT : 0));
        const nfds_t count = socket >= 0 ? 2 : 1;
        Ready ready;
        if (poll(fds, count, static_cast<int>(timeout.count())) <= 0) {
            return ready;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            char drained[64];
            while (read(m_read, drained, sizeof drained) > 0) {
            }
        }
        // An error or a hang-up shows through the read that follows.
        ready.read = count == 2 && (fds[1].revents & (POLLIN | POLLERR | POLLHUP)) != 0;
        ready.write = count == 2 && (fds[1].revents & POLLOUT) != 0;
        return ready;
    }

    void wake() override {
        const char byte = 1;
        // A full pipe already wakes the poll.
        [[maybe_unused]] const ssize_t written = write(m_write, &byte, 1);
    }

  private:
    int m_read;
    int m_write;
};

}  // namespace

Result<std::unique_ptr<SocketWait>> SocketWait::create() {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        return Failure{std::string("cannot make a pipe: ") +
                       std::generic_category().message(errno)};
    }
    return std::unique_ptr<SocketWait>(std::make_unique<PipeWait>(ends[0], ends[1]));
}

std::string socketErrorText(int code) {
    return std::generic_category().message(code);
}

}  // namespace tavik::mqtt
