// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <iosfwd>

namespace tavik {
class HidBackend;
}

namespace tavik::cli {

// `tavik-cli devices`: each transmitter present with its version, serial number, place and names,
// or the reason it cannot be opened. 0 when at least one usable transmitter is present, else 1.
// A transmitter refused for want of permission gets a hint that fits where the udev rule is
// installed under `systemRoot`.
int listDevices(HidBackend& backend, std::ostream& out, std::ostream& err,
                const std::filesystem::path& systemRoot = "/");

}  // namespace tavik::cli
