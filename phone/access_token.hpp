// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "result.hpp"

namespace tavik::phone {

// The secret that lets a phone send: 128 bits from the operating system, as 32 lower-case hex
// digits. It travels only in the URL's fragment and in the Authorization header. A failure says
// why, for a "tavik-cli: " line.
Result<std::string> newAccessToken();

// Exactly 32 lower-case hex digits.
bool isAccessToken(std::string_view text);

// The token that a token file's `text` holds (its line end and trailing blanks left out), or why
// it holds none.
Result<std::string> tokenFromFileText(std::string_view text, const std::string& path);

// The token kept in `path`: read when the file exists and only its owner may read or write it,
// created for its owner alone (mode 0600; on Windows an ACL of the user only) and with a new
// token when it is missing.
Result<std::string> loadOrCreateTokenFile(const std::string& path);

enum class Privacy {
    kOwnerAlone,  // ours, and no one else may read or write it
    kNotOthers,   // group access allowed (a service's credential, a root:group file)
};

// A secret's file, at most `maxSize` bytes of it, refused when it is open to others as
// `privacy` says (on Windows: an ACL of the user only). `kind` names it in the failure.
Result<std::string> readPrivateFile(const std::string& path, const std::string& kind,
                                    std::size_t maxSize, Privacy privacy);

// Compares in time that depends only on the lengths, so that a wrong guess tells nothing about how
// much of it was right.
bool tokensEqual(std::string_view a, std::string_view b);

// The platform's cryptographic randomness, or why there is none.
Result<void> fillRandom(unsigned char* bytes, std::size_t size);

}  // namespace tavik::phone
