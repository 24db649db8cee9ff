// SPDX-License-Identifier: MIT
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tavik {
class HidBackend;
}

namespace tavik::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitNotDelivered = 1;   // transmitter not found, or a write failed
inline constexpr int kExitBadInput = 2;       // bad system, number, command or usage
inline constexpr int kExitStreamError = 2;    // standard input or output failed
inline constexpr int kExitInterrupted = 130;  // SIGINT, as a shell reports a process it ended

// Runs tavik-cli with `args` (program name first). Reads batches from `in`, prints results and
// log lines to `out`, diagnostics (each starting with "tavik-cli: ") to `err`. `backend` reaches
// the transmitters; commands that do not need one accept nullptr.
int runCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err, HidBackend* backend);

}  // namespace tavik::cli
