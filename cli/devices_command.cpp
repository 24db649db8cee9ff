// SPDX-License-Identifier: MIT
#include "devices_command.hpp"

#include <ostream>

#include "hex_text.hpp"
#include "hid_backend.hpp"
#include "link_messages.hpp"

namespace tavik::cli {
namespace {

bool isPermissionProblem(const std::string& reason) {
    return reason.find("ermission") != std::string::npos;
}

}  // namespace

int listDevices(HidBackend& backend, std::ostream& out, std::ostream& err) {
    int present = 0;
    int usable = 0;
    bool permissionHint = false;
    for (const HidDeviceInfo& info : backend.enumerate()) {
        if (info.vendorId != kTransmitterVendorId || info.productId != kTransmitterProductId) {
            continue;
        }
        ++present;
        out << info.path << "  " << revisionText(info.versionNumber);
        // Two identical transmitters differ only here.
        if (!info.serialNumber.empty()) {
            out << "  serial " << info.serialNumber;
        }
        if (!info.location.empty()) {
            out << "  " << info.location;
        }
        std::string reason;
        if (backend.open(info.path, reason)) {
            ++usable;
            for (const std::string* name : {&info.manufacturer, &info.product}) {
                if (!name->empty()) {
                    out << "  " << *name;
                }
            }
        } else {
            out << "  cannot open: " << reason;
            permissionHint = permissionHint || isPermissionProblem(reason);
        }
        out << '\n';
    }
    if (present == 0) {
        out << messages::kDeviceNotFound << '\n';
    }
    if (permissionHint) {
        err << "tavik-cli: install the udev rule (packaging/70-tavik.rules) into "
               "/etc/udev/rules.d, "
               "then run 'udevadm control --reload' and 'udevadm trigger --action=add "
               "--subsystem-match=hidraw', or replug the transmitter; away from the seat (a "
               "service, an "
               "SSH session), add the user to the group plugdev and log in again\n";
    }
    return usable > 0 ? 0 : 1;
}

}  // namespace tavik::cli
