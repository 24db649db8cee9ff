// SPDX-License-Identifier: MIT
// Arbitrary systems, numbers and texts for the encoder; the same bytes as batch input for the
// batch parser. Any out-of-bounds access or undefined behaviour is a finding.
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>

#include "encode_command.hpp"
#include "encoder.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) {
        return 0;
    }
    std::int32_t system = static_cast<std::int8_t>(data[0]);
    std::int32_t number = 0;
    std::memcpy(&number, data + 1, sizeof number);
    const std::string text(reinterpret_cast<const char*>(data + 5), size - 5);

    tavik::CodePacket packet;
    const std::int32_t w = tavik::Encoder{}.encodeCommand(packet, system, number, text.c_str());
    if (w > 0 && (w < 5 || w > tavik::kPacketCapacity || (packet.elements[1] & 0x0F) != w - 2)) {
        __builtin_trap();
    }
    if (w <= 0 && w != tavik::kBadSongNumber && w != tavik::kBadFunction) {
        __builtin_trap();
    }

    std::istringstream in(text);
    std::ostringstream out;
    tavik::cli::encodeBatch(in, out, out);
    return 0;
}
