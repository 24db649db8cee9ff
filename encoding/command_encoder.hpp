// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string_view>

#include "code_packet.hpp"
#include "encoder.hpp"
#include "system_id.hpp"

namespace tavik {

enum class EncodeStatus {
    kEncoded,
    kUnknownSystem,  // no system selected, or the letter names none
    kUnknownNumber,  // the number is not one of the system's
    kNotEncoded,     // the command does not encode for the system
};

struct Encoding {
    EncodeStatus status = EncodeStatus::kNotEncoded;
    std::int32_t count = -1;  // the packet's element count once encoded, else -1
};

// Commands into the one packet, with the encoder's lasting state; what a send session and
// `tavik-cli encode` share. Used by one thread at a time.
class CommandEncoder {
  public:
    // A command text is taken whole: a control byte in it (a NUL included) is a character no
    // system has a key for. A system of -1 means that none is selected.
    Encoding encode(SystemId system, std::int32_t number, std::string_view text);
    // The same for a system token ("T3": letter, then an optional number written as listed).
    Encoding encode(std::string_view systemToken, std::string_view text);

    const CodePacket& packet() const { return m_packet; }

  private:
    CodePacket m_packet;
    Encoder m_encoder;
};

// The log line that tells why a command was refused; empty for one that encoded.
std::string_view refusalMessage(EncodeStatus status);

}  // namespace tavik
