// SPDX-License-Identifier: MIT
#include "output_report.hpp"

#include <algorithm>

namespace tavik {

ReportSplit splitIntoReports(const CodePacket& packet, std::int32_t w) {
    ReportSplit split;
    OutputReport buffer{};
    int fill = 1;
    const int last = std::min<std::int32_t>(w, kPacketCapacity) - 1;
    for (int i = 1; i <= last; ++i) {
        buffer[static_cast<std::size_t>(fill++)] =
            static_cast<std::uint8_t>(packet.elements[static_cast<std::size_t>(i)] & 0xFF);
        if (i == kReportPayload || i == last) {
            split.reports[static_cast<std::size_t>(split.count)] = buffer;
            split.payloadLength[static_cast<std::size_t>(split.count)] = fill - 1;
            ++split.count;
            buffer[0] = 0;
            fill = 1;
        }
    }
    return split;
}

}  // namespace tavik
