// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <iosfwd>
#include <string>
#include <string_view>

#include "send_session.hpp"
#include "stream_errors.hpp"

namespace tavik {
class HidBackend;
}

namespace tavik::cli {

struct SendOptions {
    std::string device;  // empty: the first transmitter found; else a node, its name or a serial
    bool trace = false;  // "OUT[ .. ] / IN[ .. ]" per report on the error stream
    int readTimeoutMs = kReadTimeoutMs;
    std::chrono::milliseconds gap =
        kStreamGap;  // between one packet's last write and the next packet
    // How long a line waits for a missing or lost transmitter; 0: one search, then on.
    std::chrono::seconds wait{0};
};

// The --wait of `send` without the option: a batch rides out a replug, a single send does not.
inline constexpr std::chrono::seconds kBatchWait{10};

// `tavik-cli send SYSTEM COMMAND`: the window's log lines on `out`. 0 when the packet was written
// whole, 1 when the transmitter was not found or a write failed, 2 for bad input (nothing sent).
int sendSingle(HidBackend& backend, const SendOptions& options, std::string_view system,
               std::string_view command, std::ostream& out, std::ostream& err);

// `tavik-cli send --batch`: one send per input line over one connection, `options.gap` between
// packets. A line that finds no transmitter waits for one up to `options.wait`; when that runs
// out, or on SIGINT, the batch stops and names the line to resume at. 2 when any line had bad
// input or a stream failed, else 1 when any packet did not reach the transmitter or the wait ran
// out, 130 when interrupted, else 0. `source` names `in` in a read error.
int sendBatch(HidBackend& backend, const SendOptions& options, std::istream& in, std::ostream& out,
              std::ostream& err, std::string_view source = kStandardInput);

}  // namespace tavik::cli
