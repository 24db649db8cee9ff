// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <iosfwd>
#include <string>
#include <string_view>

#include "send_session.hpp"

namespace tavik {
class HidBackend;
}

namespace tavik::cli {

struct SendOptions {
    std::string device;  // empty: the first transmitter found; else a node, its name or a serial
    bool trace = false;  // "OUT[ .. ] / IN[ .. ]" per report on the error stream
    int readTimeoutMs = 100;
    std::chrono::milliseconds gap =
        kStreamGap;  // between one packet's last write and the next packet
};

// `tavik-cli send SYSTEM COMMAND`: the window's log lines on `out`. 0 when the packet was written
// whole, 1 when the transmitter was not found or a write failed, 2 for bad input (nothing sent).
int sendSingle(HidBackend& backend, const SendOptions& options, std::string_view system,
               std::string_view command, std::ostream& out, std::ostream& err);

// `tavik-cli send --batch`: one send per input line over one connection, searching again on the
// next line while not connected, `options.gap` between packets. 2 when any line had bad input or
// a stream failed, else 1 when any packet did not reach the transmitter, else 0.
int sendBatch(HidBackend& backend, const SendOptions& options, std::istream& in, std::ostream& out,
              std::ostream& err);

}  // namespace tavik::cli
