// SPDX-License-Identifier: MIT
#include "device_choice.hpp"

#include <ostream>

#include "device_link.hpp"
#include "hid_backend.hpp"

namespace tavik::cli {

void warnIfNoTransmitterMatches(HidBackend& backend, const std::string& device, std::ostream& err) {
    if (device.empty()) {
        return;
    }
    const std::string resolved = backend.resolvePath(device);
    std::string found;
    for (const HidDeviceInfo& info : backend.enumerate()) {
        if (info.vendorId != kTransmitterVendorId || info.productId != kTransmitterProductId) {
            continue;
        }
        if (namesTransmitter(device, resolved, info)) {
            return;
        }
        found += (found.empty() ? "" : ", ") + info.path;
        if (!info.serialNumber.empty()) {
            found += " (serial " + info.serialNumber + ")";
        }
    }
    if (!found.empty()) {
        err << "tavik-cli: no transmitter matches --device " << device << "; found: " << found
            << '\n';
    }
}

}  // namespace tavik::cli
