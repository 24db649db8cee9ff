// SPDX-License-Identifier: MIT
#pragma once

#include <iosfwd>

namespace tavik {
class HidBackend;
}

namespace tavik::cli {

// `tavik-cli devices`: each transmitter present with its version, serial number, place and names,
// or the reason it cannot be opened. 0 when at least one usable transmitter is present, else 1.
int listDevices(HidBackend& backend, std::ostream& out, std::ostream& err);

}  // namespace tavik::cli
