// SPDX-License-Identifier: MIT
#include <io.h>

#include "id_journal.hpp"

namespace tavik::mqtt {

bool syncFile(std::FILE* file) {
    return _commit(_fileno(file)) == 0;
}

}  // namespace tavik::mqtt
