// SPDX-License-Identifier: MIT
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

#include "code_packet.hpp"
#include "stream_errors.hpp"

namespace tavik::cli {

// "packet ..." then one "report ..." line per output report, each line ending in '\n'.
std::string formatEncoding(const CodePacket& packet);

// `tavik-cli encode SYSTEM COMMAND`: the block on `out` and 0, or the message on `err` and 2.
int encodeSingle(std::string_view system, std::string_view command, std::ostream& out,
                 std::ostream& err);

// `tavik-cli encode --batch`: one block or "error ..." line per input line with a token; 0 when
// every such line encoded, else 2 (also after a read or write error, said on `err`). The ALISA3
// confirm code carries over from line to line.
// `source` names `in` in a read error.
int encodeBatch(std::istream& in, std::ostream& out, std::ostream& err,
                std::string_view source = kStandardInput);

}  // namespace tavik::cli
