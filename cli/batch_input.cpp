// SPDX-License-Identifier: MIT
#include "batch_input.hpp"

#include <cerrno>
#include <limits>
#include <system_error>

#include "command_line.hpp"

namespace tavik::cli {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

}  // namespace

std::optional<std::string> BatchReader::readLine(bool& tooLong) {
    std::string line;
    tooLong = false;
    bool any = false;
    for (;;) {
        errno = 0;
        const auto c = m_in.get();
        if (c == std::char_traits<char>::eof()) {
            break;
        }
        any = true;
        if (c == '\n') {
            break;
        }
        // One byte past the limit tells a long line; a CR that ends the line does not count.
        if (line.size() > kMaxBatchLine) {
            tooLong = true;
            m_in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
            break;
        }
        line += static_cast<char>(c);
    }
    if (m_in.bad()) {
        const int reason = errno;
        m_readError = reason != 0 ? std::generic_category().message(reason) : "read error";
        return std::nullopt;
    }
    if (!any) {
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    tooLong = tooLong || line.size() > kMaxBatchLine;
    return line;
}

std::optional<BatchLine> BatchReader::next() {
    bool tooLong = false;
    while (auto line = readLine(tooLong)) {
        ++m_lineNumber;
        if (!m_started) {
            m_started = true;
            if (std::string_view(*line).substr(0, kByteOrderMark.size()) == kByteOrderMark) {
                line->erase(0, kByteOrderMark.size());
            }
        }
        if (tooLong) {
            return BatchLine{{}, {}, true};
        }
        const auto tokens = splitTokens(*line);
        // A comment is a whole line; a '#' after a command is a further token, ignored as any.
        if (tokens.empty() || tokens.front().front() == '#') {
            continue;
        }
        BatchLine result{std::string(tokens[0]), {}};
        if (tokens.size() > 1) {
            result.command = std::string(tokens[1]);
        }
        return result;
    }
    return std::nullopt;
}

}  // namespace tavik::cli
