// SPDX-License-Identifier: MIT
#pragma once

#include "mqtt_bridge.hpp"
#include "result.hpp"

namespace tavik::mqtt {

// Publishes the empty retained discovery config that makes Home Assistant remove the room's
// device; returns once the broker has taken it, or why it could not (within 10 s).
Result<void> removeDiscovery(const BridgeOptions& options);

}  // namespace tavik::mqtt
