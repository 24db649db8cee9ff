#include "batch_input.hpp"

#include "command_line.hpp"

namespace tavik::cli {

std::optional<BatchLine> readBatchLine(std::istream& in) {
    std::string line;
    while (std::getline(in, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) {
            line.pop_back();
        }
        const auto tokens = splitTokens(line);
        if (tokens.empty()) {
            continue;
        }
        BatchLine result{std::string(tokens[0]), {}};
        if (tokens.size() > 1) {
            result.command = std::string(tokens[1]);
        }
        return result;
    }
    return std::nullopt;
}

}  // namespace tavik::cli
