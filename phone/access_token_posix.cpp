// SPDX-License-Identifier: MIT
#include "access_token.hpp"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <system_error>

namespace tavik::phone {
namespace {

constexpr std::size_t kTokenBytes = 16;
constexpr std::size_t kTokenDigits = 2 * kTokenBytes;

bool isToken(std::string_view text) {
    return text.size() == kTokenDigits && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

std::string failure(const std::string& path, const char* what) {
    return "cannot " + std::string(what) + " token file " + path + ": " +
           std::generic_category().message(errno);
}

}  // namespace

TokenResult newAccessToken() {
    std::array<std::uint8_t, kTokenBytes> bytes{};
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got = getrandom(bytes.data() + filled, bytes.size() - filled, 0);
        if (got < 0 && errno != EINTR) {
            return {
                {},
                std::string("cannot get random bytes: ") + std::generic_category().message(errno)};
        }
        filled += got > 0 ? static_cast<std::size_t>(got) : 0;
    }
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string token;
    for (const std::uint8_t b : bytes) {
        token += kDigits[b >> 4];
        token += kDigits[b & 0x0F];
    }
    return {token, {}};
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
    std::string_view text(buffer.data(), static_cast<std::size_t>(got));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.remove_suffix(1);
    }
    if (!isToken(text)) {
        return {{}, "token file " + path + " does not hold a token (32 hex digits)"};
    }
    return {std::string(text), {}};
}

bool tokensEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    unsigned char differ = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        differ |= static_cast<unsigned char>(a[i] ^ b[i]);
    }
    return differ == 0;
}

}  // namespace tavik::phone
