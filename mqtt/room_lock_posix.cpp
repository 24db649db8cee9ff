// SPDX-License-Identifier: MIT
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "room_lock.hpp"

namespace tavik::mqtt {

Result<std::unique_ptr<RoomLock>> RoomLock::take(const std::filesystem::path& file) {
    const int fd = open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        return Failure{"cannot open " + file.string() + ": " +
                       std::generic_category().message(errno)};
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        close(fd);
        if (error == EWOULDBLOCK) {
            return std::unique_ptr<RoomLock>();
        }
        return Failure{"cannot lock " + file.string() + ": " +
                       std::generic_category().message(error)};
    }
    return std::unique_ptr<RoomLock>(new RoomLock(fd));
}

RoomLock::~RoomLock() {
    close(static_cast<int>(m_handle));
}

}  // namespace tavik::mqtt
