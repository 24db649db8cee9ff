// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace tavik {

// Where the HID device at `path` is plugged in, e.g. "usb 1-1.2" (bus 1, port 1.2), so that two
// identical transmitters can be told apart; empty where the platform does not say.
std::string deviceLocation(const std::string& path);

// The device node that a user's name for a transmitter stands for: a node or a link to one
// ("/dev/hidraw3"), or a node's name ("hidraw3"); empty where it names none.
std::string deviceNode(const std::string& name);

}  // namespace tavik
