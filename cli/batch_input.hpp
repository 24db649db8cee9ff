// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <istream>
#include <optional>
#include <string>

namespace tavik::cli {

// One line of a batch: the first two tokens; a missing command is the empty text.
struct BatchLine {
    std::string system;
    std::string command;
    bool tooLong = false;  // longer than kMaxBatchLine: refused whatever its tokens
};

// The longest batch line taken, without its line end. The rest of a longer line is skipped
// unread into memory.
inline constexpr std::size_t kMaxBatchLine = 4096;

// Reads the lines of a batch: a UTF-8 byte-order mark at the very start is skipped, the line end
// is LF or CR LF, lines without a token and comment lines (the first token starts with '#') are
// skipped, tokens after the second are ignored.
class BatchReader {
  public:
    explicit BatchReader(std::istream& in) : m_in(in) {}

    // The next line that holds a command; nullopt at the end of the input or on a read error.
    std::optional<BatchLine> next();

    // The reason reading stopped early ("Is a directory"), or empty when the input just ended.
    const std::string& readError() const { return m_readError; }

    // The input line (from 1, blank lines counted) that next() returned last, so that
    // `tail -n +N` starts at it.
    std::size_t lineNumber() const { return m_lineNumber; }

  private:
    // The next line without its line end, at most kMaxBatchLine + 1 bytes of it; nullopt at the
    // end of the input.
    std::optional<std::string> readLine(bool& tooLong);

    std::istream& m_in;
    bool m_started = false;
    std::size_t m_lineNumber = 0;
    std::string m_readError;
};

}  // namespace tavik::cli
