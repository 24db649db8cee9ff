// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

#include "command_encoder.hpp"
#include "send_session.hpp"

namespace tavik::cli {

// What a refused command lacks, in tavik-cli's own words, for the line on standard error that
// follows its log line: "T takes 1 to 8". Never repeats a byte of the input that is not
// printable ASCII. `status` is a refusal, not kEncoded.
std::string refusalHint(EncodeStatus status, std::string_view systemToken,
                        std::string_view command);

// The same for a send that was refused before anything was sent; empty for any other result.
std::string refusalHint(SendStatus status, std::string_view systemToken, std::string_view command);

// The hint of a batch line that was too long to be read.
std::string tooLongHint();

}  // namespace tavik::cli
