// SPDX-License-Identifier: MIT
#pragma once

#include <iosfwd>

namespace tavik::cli {

// `tavik-cli list`: letter, name and number range of each system, aligned, in catalogue order.
int listSystems(std::ostream& out);

}  // namespace tavik::cli
