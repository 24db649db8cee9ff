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

std::string failure(const std::string& path, const char* what) {
    return "cannot " + std::string(what) + " token file " + path + ": " +
           std::generic_category().message(errno);
}

}  // namespace

bool fillRandom(unsigned char* bytes, std::size_t size, std::string& error) {
    std::size_t filled = 0;
    while (filled < size) {
        const ssize_t got = getrandom(bytes + filled, size - filled, 0);
        if (got < 0 && errno != EINTR) {
            error = std::generic_category().message(errno);
            return false;
        }
        filled += got > 0 ? static_cast<std::size_t>(got) : 0;
    }
    return true;
}

TokenResult loadOrCreateTokenFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        TokenResult created = newAccessToken();
        if (created.token.empty()) {
            return created;
        }
        const int out = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (out < 0) {
            return {{}, failure(path, "create")};
        }
        const std::string line = created.token + '\n';
        const bool written =
            write(out, line.data(), line.size()) == static_cast<ssize_t>(line.size());
        if (close(out) != 0 || !written) {
            TokenResult failed{{}, failure(path, "write")};
            unlink(path.c_str());
            return failed;
        }
        return created;
    }
    if (fd < 0) {
        return {{}, failure(path, "open")};
    }
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        TokenResult failed{{}, failure(path, "examine")};
        close(fd);
        return failed;
    }
    // Anyone who can read the file can send; anyone who can write it can choose the token.
    if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0 || info.st_uid != geteuid()) {
        close(fd);
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
        return {{},
                "token file " + path + " is open to other users (mode " + mode +
                    "); make it yours alone: chmod 600 " + path};
    }
    std::array<char, 128> buffer{};
    const ssize_t got = read(fd, buffer.data(), buffer.size());
    close(fd);
    if (got < 0) {
        return {{}, failure(path, "read")};
    }
    return tokenFromFileText(std::string_view(buffer.data(), static_cast<std::size_t>(got)), path);
}

}  // namespace tavik::phone
