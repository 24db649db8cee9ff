// SPDX-License-Identifier: MIT
#pragma once

#include <memory>

#include "hid_backend.hpp"

namespace tavik {

// The platform's HID access for the programs: hidapi on Linux and macOS, SetupAPI and HID on
// Windows. One per program.
std::unique_ptr<HidBackend> createPlatformHidBackend();

}  // namespace tavik
