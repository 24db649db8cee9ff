// SPDX-License-Identifier: MIT
#include "devices_command.hpp"

#include <array>
#include <filesystem>
#include <ostream>
#include <string_view>

#include "hex_text.hpp"
#include "hid_backend.hpp"
#include "link_messages.hpp"

namespace tavik::cli {
namespace {

bool isPermissionProblem(const std::string& reason) {
    return reason.find("ermission") != std::string::npos;
}

// Where a package (/lib, /usr/lib), `cmake --install` (/usr/lib) or the administrator (/etc)
// puts the rule.
constexpr std::array<std::string_view, 3> kRuleFiles = {"lib/udev/rules.d/70-tavik.rules",
                                                        "usr/lib/udev/rules.d/70-tavik.rules",
                                                        "etc/udev/rules.d/70-tavik.rules"};

constexpr std::string_view kAwayFromTheSeat =
    "; away from the seat (a service, an SSH session), add the user to the group plugdev and "
    "log in again\n";

// The rule is there but has not reached this transmitter, or the user is not at the seat.
void hintInstalledRule(const std::filesystem::path& rule, std::ostream& err) {
    err << "tavik-cli: the udev rule " << rule.string()
        << " is installed: replug the transmitter, or run 'sudo udevadm trigger --action=add "
           "--subsystem-match=hidraw'"
        << kAwayFromTheSeat;
}

// Run from a build tree: the rule is only in the sources.
void hintMissingRule(std::ostream& err) {
    err << "tavik-cli: install the udev rule of the source tree (packaging/70-tavik.rules) into "
           "/etc/udev/rules.d, then run 'udevadm control --reload' and 'udevadm trigger "
           "--action=add --subsystem-match=hidraw', or replug the transmitter"
        << kAwayFromTheSeat;
}

void hintAccess(const std::filesystem::path& systemRoot, std::ostream& err) {
    for (std::string_view file : kRuleFiles) {
        std::error_code error;
        const std::filesystem::path rule = systemRoot / file;
        if (std::filesystem::exists(rule, error)) {
            hintInstalledRule(rule, err);
            return;
        }
    }
    hintMissingRule(err);
}

}  // namespace

int listDevices(HidBackend& backend, std::ostream& out, std::ostream& err,
                const std::filesystem::path& systemRoot) {
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
        hintAccess(systemRoot, err);
    }
    return usable > 0 ? 0 : 1;
}

}  // namespace tavik::cli
