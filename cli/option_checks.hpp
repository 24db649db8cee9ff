// SPDX-License-Identifier: MIT
#pragma once

#include <CLI/CLI.hpp>

namespace tavik::cli {

// Goes before a range check of a whole-number option, which would call "1.5" or "abc" out of
// range: "--wait: 1.5 is not a whole number".
CLI::Validator wholeNumber();

}  // namespace tavik::cli
