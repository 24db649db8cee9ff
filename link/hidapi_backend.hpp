// SPDX-License-Identifier: MIT
#pragma once

#include "hid_backend.hpp"

namespace tavik {

// The HID library's view of the devices. One instance per program: it initialises the library.
class HidapiBackend : public HidBackend {
  public:
    HidapiBackend();
    ~HidapiBackend() override;
    HidapiBackend(const HidapiBackend&) = delete;
    HidapiBackend& operator=(const HidapiBackend&) = delete;

    std::vector<HidDeviceInfo> enumerate() override;
    std::unique_ptr<HidDevice> open(const std::string& path, std::string& error) override;
    std::string resolvePath(const std::string& name) override;
};

}  // namespace tavik
