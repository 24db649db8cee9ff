// SPDX-License-Identifier: MIT
#include <unistd.h>

#include "id_journal.hpp"

namespace tavik::mqtt {

bool syncFile(std::FILE* file) {
    return fdatasync(fileno(file)) == 0;
}

}  // namespace tavik::mqtt
