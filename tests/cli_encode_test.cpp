// SPDX-License-Identifier: MIT
// tavik-cli list and encode, run as a process the way scripts use it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "support/process.hpp"

namespace tavik {
namespace {

using test::runProcess;

const std::string kCli = TAVIK_CLI_PATH;

TEST(CliList, EighteenAlignedRowsInCatalogueOrder) {
    const auto r = runProcess(kCli, {"list"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("X  X2000 ", 0), 0U) << r.out;
    EXPECT_NE(r.out.find("\nC  Σシステム "), std::string::npos);
    EXPECT_NE(r.out.find("\nI  カラオケの鉄人  0..9\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nU  U-kara          1..2\n"), std::string::npos) << r.out;
    int lines = 0;
    for (char c : r.out) {
        lines += c == '\n';
    }
    EXPECT_EQ(lines, 18);
}

TEST(CliEncode, SingleCommand) {
    const struct {
        std::vector<std::string> args;
        int exitCode;
        const char* out;
        const char* err;
    } cases[] = {
        {{"encode", "T3", "12"},
         0,
         "packet 80 36 00 FF 0C 0F 4F 41\nreport 00 36 00 FF 0C 0F 4F 41 00\n",
         ""},
        {{"encode", "Ｔ３", "１２"},
         0,
         "packet 80 36 00 FF 0C 0F 4F 41\nreport 00 36 00 FF 0C 0F 4F 41 00\n",
         ""},
        {{"encode", "x", "12345"},
         0,
         "packet 80 39 2E D1 10 14 18 17 11 15 17\n"
         "report 00 39 2E D1 10 14 18 17 11\nreport 00 15 17 D1 10 14 18 17 11\n",
         ""},
        {{"encode", "u", "ku"},
         0,
         "packet 80 33 98 67 13\nreport 00 33 98 67 13 00 00 00 00\n",
         ""},
        {{"encode", "Q", "12"},
         2,
         "",
         "error システム指定が間違っています。\n"
         "tavik-cli: no system has the letter Q (see 'tavik-cli list')\n"},
        {{"encode", "T03", "12"},
         2,
         "",
         "error メーカー選択が間違っています。\ntavik-cli: T takes 1 to 8\n"},
        {{"encode", "X1", "12"},
         2,
         "",
         "error メーカー選択が間違っています。\ntavik-cli: X takes no number\n"},
        {{"encode", "M2", "12"},
         2,
         "",
         "error メーカー選択が間違っています。\ntavik-cli: M takes 1 only\n"},
        {{"encode", "G", "SE"},
         2,
         "",
         "error 曲番号が間違っているか、非対応の機能キーです。\n"
         "tavik-cli: G has no SE; it has KU KD SP ST\n"},
        {{"encode", "J"}, 2, "", "tavik-cli: COMMAND is required (see 'tavik-cli --help')\n"},
    };
    for (const auto& c : cases) {
        const auto r = runProcess(kCli, c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args[1];
        EXPECT_EQ(r.out, c.out) << c.args[1];
        EXPECT_EQ(r.err, c.err) << c.args[1];
    }
}

// "A" alone selects the first number, 0, as the window does: the confirm code goes back to 0x12.
// Each refused line is named on standard error by its number, blank and comment lines counted.
TEST(CliEncode, BatchKeepsOrderAndSkipsBlankLines) {
    const std::string input =
        "# tonight's songs\n"
        "T3 12\r\n"
        "\n"
        "  \t \n"
        "A3\t12 # ignored tokens\n"
        " \t# T3 12 (an indented comment)\n"
        "A 12\n"
        "Q 1\n"
        "J\n"
        "j se";
    const auto r = runProcess(kCli, {"encode", "--batch"}, input);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out,
              "packet 80 36 00 FF 0C 0F 4F 41\nreport 00 36 00 FF 0C 0F 4F 41 00\n"
              "packet 80 35 87 56 04 05 15\nreport 00 35 87 56 04 05 15 00 00\n"
              "packet 80 35 87 56 04 05 12\nreport 00 35 87 56 04 05 12 00 00\n"
              "error システム指定が間違っています。\n"
              "error 曲番号が間違っているか、非対応の機能キーです。\n"
              "packet 80 43 81 16 1F\nreport 00 43 81 16 1F 00 00 00 00\n");
    EXPECT_EQ(r.err,
              "tavik-cli: line 8: no system has the letter Q (see 'tavik-cli list')\n"
              "tavik-cli: line 9: the command is missing: a song number or a function name\n");
}

// The lines come from standard input, "-" or a file named after --batch.
TEST(CliEncode, BatchOfGoodLinesExitsZero) {
    const std::string lines = "D 123456\nK KU\n";
    const auto file = std::filesystem::path(::testing::TempDir()) / "tavik-batch-lines.txt";
    std::ofstream(file) << lines;
    for (const std::vector<std::string>& args : {std::vector<std::string>{"encode", "--batch"},
                                                 {"encode", "--batch", "-"},
                                                 {"encode", "--batch", file.string()}}) {
        const auto r = runProcess(kCli, args, args.back() == file.string() ? "J 1\n" : lines);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out,
                  "packet 80 1B D1 2D 08 31 32 33 34 3C 35 36 09\n"
                  "report 00 1B D1 2D 08 31 32 33 34\nreport 00 3C 35 36 09 31 32 33 34\n"
                  "packet 80 15 2E D1 F0 35 F7\nreport 00 15 2E D1 F0 35 F7 00 00\n")
            << args.back();
    }
    std::filesystem::remove(file);
}

// Bytes that must never turn into another command: each such line is refused on its own.
TEST(CliEncode, BatchRefusesControlBytesAndLongLines) {
    using namespace std::string_literals;
    const std::string long_line = "T3 12" + std::string(5000, ' ');
    const std::string full_line = "J se" + std::string(4092, ' ');
    const std::string input =
        "\xEF\xBB\xBFT3 12\n"s  // byte-order mark
        "J 1\0\x32\n"s          // NUL inside the command
        "J\0 12\n"s             // NUL inside the system token
        "\0J 12\n"s
        "J se\x01\n"s
        "J\x7F se\n"s
        "J se \0\x01junk\n"s  // third token: ignored
        + long_line + "\n" + full_line + "\r\nJ KU";
    const auto r = runProcess(kCli, {"encode", "--batch"}, input);
    const std::string j_se = "packet 80 43 81 16 1F\nreport 00 43 81 16 1F 00 00 00 00\n";
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out,
              "packet 80 36 00 FF 0C 0F 4F 41\nreport 00 36 00 FF 0C 0F 4F 41 00\n"
              "error 曲番号が間違っているか、非対応の機能キーです。\n"
              "error メーカー選択が間違っています。\n"
              "error システム指定が間違っています。\n"
              "error 曲番号が間違っているか、非対応の機能キーです。\n"
              "error メーカー選択が間違っています。\n" +
                  j_se + "error 曲番号が間違っているか、非対応の機能キーです。\n" + j_se +
                  "packet 80 43 81 16 54\nreport 00 43 81 16 54 00 00 00 00\n");
}

// A failed stream ends the program with one line that says which and why.
TEST(CliStreams, ReadAndWriteErrorsAreReported) {
    const struct {
        const char* shell;
        const char* err;
    } cases[] = {
        {"\"$0\" list >/dev/full",
         "tavik-cli: cannot write standard output: No space left on device\n"},
        {"\"$0\" encode --batch </", "tavik-cli: cannot read standard input: Is a directory\n"},
        {"\"$0\" send --batch /", "tavik-cli: cannot read /: Is a directory\n"},
        {"\"$0\" encode --batch /nonexistent",
         "tavik-cli: cannot read /nonexistent: No such file or directory\n"},
        {"set -o pipefail; { sleep 0.3; \"$0\" list; } | true",
         "tavik-cli: cannot write standard output: Broken pipe\n"},
    };
    for (const auto& c : cases) {
        const auto r = runProcess("/bin/bash", {"-c", c.shell, kCli});
        EXPECT_EQ(r.exitCode, 2) << c.shell;
        EXPECT_EQ(r.err, c.err) << c.shell;
    }
}

TEST(CliUsage, HelpVersionAndMistakes) {
    EXPECT_EQ(runProcess(kCli, {"--help"}).exitCode, 0);
    EXPECT_EQ(runProcess(kCli, {"encode", "--help"}).exitCode, 0);
    const auto version = runProcess(kCli, {"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("tavik-cli ", 0), 0U) << version.out;
    const struct {
        std::vector<std::string> args;
        const char* named;  // what the message must name
    } mistakes[] = {
        {{}, "subcommand"},
        {{"bogus"}, "bogus"},
        {{"send", "--frobnicate"}, "--frobnicate"},
        {{"send", "T3"}, "COMMAND"},
        {{"send", "--gap", "-1"}, "--gap"},
        {{"encode"}, "SYSTEM"},
        {{"encode", "--batch", "T3", "12"}, "--batch"},
        {{"send", "--wait", "1.5", "J", "1"}, "1.5 is not a whole number"},
        {{"send", "--gap", "abc", "J", "1"}, "abc is not a whole number"},
    };
    for (const auto& m : mistakes) {
        const auto r = runProcess(kCli, m.args);
        EXPECT_EQ(r.exitCode, 2) << m.named;
        EXPECT_EQ(r.err.rfind("tavik-cli: ", 0), 0U) << r.err;
        EXPECT_NE(r.err.find(m.named), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(r.out, "");
    }
}

}  // namespace
}  // namespace tavik
