// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

namespace tavik::test {

struct ProcessResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs `program` with `args`, feeding `input` on standard input; waits for it to end.
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& input = {},
                         const std::vector<std::string>& environment = {});

}  // namespace tavik::test
