// SPDX-License-Identifier: MIT
#include "stream_errors.hpp"

#include <cerrno>
#include <ostream>
#include <system_error>

namespace tavik::cli {

bool outputWritten(std::ostream& out, std::ostream& err) {
    if (out.good()) {
        errno = 0;
        out.flush();
    }
    if (out.good()) {
        return true;
    }
    const int reason = errno;
    err << "tavik-cli: cannot write standard output: "
        << (reason != 0 ? std::generic_category().message(reason) : "write error") << '\n';
    return false;
}

void reportReadError(std::ostream& err, std::string_view source, const std::string& reason) {
    err << "tavik-cli: cannot read " << source << ": " << reason << '\n';
}

}  // namespace tavik::cli
