// SPDX-License-Identifier: MIT
#pragma once

#include <iosfwd>
#include <string>

namespace tavik {
class HidBackend;
}

namespace tavik::cli {

// When transmitters are present and `device` (a --device) names none of them, says so on `err`
// with what was found, so that a mistyped name is not taken for an unplugged transmitter:
// "tavik-cli: no transmitter matches --device nosuch; found: /dev/hidraw0 (serial TV0001)".
// Nothing for an empty `device`, or when no transmitter is present (the log says that).
void warnIfNoTransmitterMatches(HidBackend& backend, const std::string& device, std::ostream& err);

}  // namespace tavik::cli
