// SPDX-License-Identifier: MIT
#include "command_line.hpp"

#include <gtest/gtest.h>

namespace tavik {
namespace {

TEST(SplitTokens, BlanksAndTabsOnlySeparate) {
    const struct {
        const char* text;
        std::vector<std::string_view> tokens;
    } cases[] = {
        {"", {}},
        {" \t \t", {}},
        {"T3 12", {"T3", "12"}},
        {"\t  T3 \t\t 12  extra more \t", {"T3", "12", "extra", "more"}},
        {"\"T3 12\"", {"\"T3", "12\""}},
        {"a\nb", {"a\nb"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(splitTokens(c.text), c.tokens) << "'" << c.text << "'";
    }
}

// What Windows hands over is the whole command line; the program name goes first.
TEST(ArgumentText, SkipsTheProgramName) {
    const struct {
        const char* commandLine;
        const char* tokens;  // what splitting the rest gives, joined by '|'
    } cases[] = {
        {"tavik.exe T3 12", "T3|12"},
        {"\"C:\\Program Files\\tavik\\tavik.exe\" T3\t12 x", "T3|12|x"},
        {"\"tavik.exe\"T3 12", "T3|12"},
        {"tavik", ""},
        {"\"unclosed T3 12", ""},
    };
    for (const auto& c : cases) {
        std::string joined;
        for (std::string_view token : splitTokens(argumentText(c.commandLine))) {
            if (!joined.empty()) {
                joined += '|';
            }
            joined += token;
        }
        EXPECT_EQ(joined, c.tokens) << c.commandLine;
    }
}

TEST(SplitArguments, ArgumentsWithBlanksSplitFurther) {
    EXPECT_EQ(splitArguments({"T3 12", "", "\tX"}), (std::vector<std::string>{"T3", "12", "X"}));
}

TEST(ResolveSystemToken, LetterAndNumber) {
    const struct {
        const char* token;
        SelectionError error;
        SystemId system;
        std::int32_t number;
    } cases[] = {
        {"T3", SelectionError::kNone, 15, 3},
        {"t3", SelectionError::kNone, 15, 3},
        {"T", SelectionError::kNone, 15, 1},
        {"C15", SelectionError::kNone, 16, 15},
        {"C0", SelectionError::kNone, 16, 0},
        {"X", SelectionError::kNone, 0, -1},
        {"x", SelectionError::kNone, 0, -1},
        {"T03", SelectionError::kUnknownNumber, 15, -1},
        {"T+3", SelectionError::kUnknownNumber, 15, -1},
        {"T9", SelectionError::kUnknownNumber, 15, -1},
        {"T-1", SelectionError::kUnknownNumber, 15, -1},
        {"X1", SelectionError::kUnknownNumber, 0, -1},
        {"Z0", SelectionError::kUnknownNumber, 14, -1},
        {"Ｔ３", SelectionError::kNone, 15, 3},
        {"ｃ１５", SelectionError::kNone, 16, 15},
        {"Q", SelectionError::kUnknownSystem, -1, -1},
        {"3", SelectionError::kUnknownSystem, -1, -1},
        {"", SelectionError::kUnknownSystem, -1, -1},
    };
    for (const auto& c : cases) {
        const SystemSelection s = resolveSystemToken(c.token);
        EXPECT_EQ(s.error, c.error) << c.token;
        if (c.error == SelectionError::kNone) {
            EXPECT_EQ(s.systemId, c.system) << c.token;
            EXPECT_EQ(s.number, c.number) << c.token;
        }
    }
}

TEST(SendLogLine, RepeatsTheCommandLine) {
    EXPECT_EQ(sendLogLine(15, 3, "12"), "tavik T3 12");
    EXPECT_EQ(sendLogLine(16, 12, "ku"), "tavik C12 ku");
    EXPECT_EQ(sendLogLine(16, 0, "ku"), "tavik C0 ku") << "number 0 is a number";
    EXPECT_EQ(sendLogLine(0, -1, "123"), "tavik X 123");
}

}  // namespace
}  // namespace tavik
