// SPDX-License-Identifier: MIT
#include "list_command.hpp"

#include <algorithm>
#include <ostream>
#include <string>

#include "catalogue.hpp"
#include "text_width.hpp"

namespace tavik::cli {

int listSystems(std::ostream& out) {
    int nameWidth = 0;
    for (const MakerEntry& row : catalogueRows()) {
        nameWidth = std::max(nameWidth, displayWidth(row.displayName));
    }
    for (const MakerEntry& row : catalogueRows()) {
        const int padding = nameWidth - displayWidth(row.displayName) + 2;
        const std::string range =
            row.hasNumbers() ? std::to_string(row.numberMin) + ".." + std::to_string(row.numberMax)
                             : "none";
        out << row.letter << "  " << row.displayName << std::string(padding, ' ') << range << '\n';
    }
    return 0;
}

}  // namespace tavik::cli
