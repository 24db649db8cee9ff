// SPDX-License-Identifier: MIT
#include "access_token.hpp"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <system_error>

namespace tavik::phone {
namespace {

std::string failure(const std::string& path, const char* what,
                    const std::string& kind = "token file") {
    return "cannot " + std::string(what) + " " + kind + " " + path + ": " +
           std::generic_category().message(errno);
}

// What a path that is no regular file is, in words a user recognises.
std::string notAFile(const std::string& path, mode_t mode) {
    const char* what = S_ISFIFO(mode)                   ? "a named pipe (FIFO)"
                       : S_ISDIR(mode)                  ? "a directory"
                       : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
                       : S_ISSOCK(mode)                 ? "a socket"
                                                        : "not a regular file";
    return "token file " + path + " is " + what + ", not a file; give the path of a file";
}

}  // namespace

Result<void> fillRandom(unsigned char* bytes, std::size_t size) {
    std::size_t filled = 0;
    while (filled < size) {
        const ssize_t got = getrandom(bytes + filled, size - filled, 0);
        if (got < 0 && errno != EINTR) {
            return Failure{std::generic_category().message(errno)};
        }
        filled += got > 0 ? static_cast<std::size_t>(got) : 0;
    }
    return {};
}

Result<std::string> loadOrCreateTokenFile(const std::string& path) {
    // Without blocking: opening a FIFO would wait for a writer, before serving and signals.
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0 && errno == ENOENT) {
        Result<std::string> created = newAccessToken();
        if (!created) {
            return created;
        }
        const int out = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (out < 0) {
            return Failure{failure(path, "create")};
        }
        const std::string line = created.value() + '\n';
        const bool written =
            write(out, line.data(), line.size()) == static_cast<ssize_t>(line.size());
        if (close(out) != 0 || !written) {
            Failure failed{failure(path, "write")};
            unlink(path.c_str());
            return failed;
        }
        return created;
    }
    if (fd >= 0) {
        close(fd);
    } else {
        return Failure{failure(path, "open")};
    }
    Result<std::string> text = readPrivateFile(path, "token file", 128, Privacy::kOwnerAlone);
    if (!text) {
        return text;
    }
    return tokenFromFileText(text.value(), path);
}

Result<std::string> readPrivateFile(const std::string& path, const std::string& kind,
                                    std::size_t maxSize, Privacy privacy) {
    // Without blocking: opening a FIFO would wait for a writer, before serving and signals.
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return Failure{failure(path, "open", kind)};
    }
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        Failure failed{failure(path, "examine", kind)};
        close(fd);
        return failed;
    }
    if (!S_ISREG(info.st_mode)) {
        close(fd);
        return Failure{notAFile(path, info.st_mode)};
    }
    // Another user's file may hold their secret, and changing its mode is theirs to decide.
    if (privacy == Privacy::kOwnerAlone && info.st_uid != geteuid()) {
        close(fd);
        return Failure{kind + " " + path + " belongs to another user; give a " + kind +
                       " of your own"};
    }
    // Anyone who can read the file has the secret; anyone who can write it can choose it.
    const mode_t others = privacy == Privacy::kOwnerAlone ? (S_IRWXG | S_IRWXO) : S_IRWXO;
    if ((info.st_mode & others) != 0) {
        close(fd);
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
        return Failure{kind + " " + path + " is open to other users (mode " + mode +
                       "); make it yours alone: chmod 600 " + path};
    }
    std::string buffer(maxSize, '\0');
    const ssize_t got = read(fd, buffer.data(), buffer.size());
    close(fd);
    if (got < 0) {
        return Failure{failure(path, "read", kind)};
    }
    buffer.resize(static_cast<std::size_t>(got));
    return buffer;
}

}  // namespace tavik::phone
