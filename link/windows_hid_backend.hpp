// SPDX-License-Identifier: MIT
#pragma once

#include "hid_backend.hpp"

namespace tavik {

// HID devices through SetupAPI and the HID library of Windows. Handles are opened for
// overlapped I/O, so that a read waits at most its time-out and a write at most one second.
class WindowsHidBackend : public HidBackend {
  public:
    std::vector<HidDeviceInfo> enumerate() override;
    std::unique_ptr<HidDevice> open(const std::string& path, std::string& error) override;
};

}  // namespace tavik
