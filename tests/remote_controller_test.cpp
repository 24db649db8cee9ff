// SPDX-License-Identifier: MIT
// The main dialog's logic without a window: presets, selectors and sends over the fake
// transmitter, seen through a view that only keeps what it is told.
#include "remote_controller.hpp"
#include "thread_loop.hpp"

#include <gtest/gtest.h>

#include "hex_text.hpp"
#include "support/fake_hid_backend.hpp"
#include "support/fake_view.hpp"
#include "support/recording_log.hpp"

namespace tavik {
namespace {

using test::FakeHidBackend;
using test::FakeView;
using test::RecordingLog;

const char* const kNotFound = "デバイスが見付かりません。";
const char* const kFound = "デバイスが見付かりました(Rev.0100)。";
const char* const kSystemMessage = "システム指定が間違っています。";
const char* const kNumberMessage = "メーカー選択が間違っています。";
const char* const kEncodeMessage = "曲番号が間違っているか、非対応の機能キーです。";

class ControllerTest : public ::testing::Test {
  protected:
    FakeHidBackend backend;
    RecordingLog log;
    FakeView view;
    SendSession session{backend, log, {{5, ""}}};
    ThreadLoop loop;  // this thread's: a send with nothing before it goes at once
    SendPipeline pipeline{session, loop};
    RemoteController controller{view, session, pipeline};

    bool initialiseWith(const char* letter, const char* number, const char* command) {
        return controller.initialise({letter, number, command});
    }
};

struct PresetCase {
    const char* name;
    const char* letter;
    const char* number;
    const char* command;
    bool staysOpen;
    int system;  // selected row, -1 for none
    int numberIndex;
    std::vector<std::string> lines;
};

void PrintTo(const PresetCase& c, std::ostream* os) {
    *os << "'" << c.letter << "' '" << c.number << "' '" << c.command << "'";
}

class PresetTest : public ControllerTest, public ::testing::WithParamInterface<PresetCase> {};

TEST_P(PresetTest, AppliesPresets) {
    const PresetCase& c = GetParam();
    EXPECT_EQ(initialiseWith(c.letter, c.number, c.command), c.staysOpen);
    EXPECT_EQ(view.ended, c.staysOpen ? -1 : 1);
    EXPECT_EQ(view.systems.items.size(), 18U);
    EXPECT_EQ(view.systems.selected, c.system);
    EXPECT_EQ(view.numbers.selected, c.numberIndex);
    EXPECT_EQ(log.lines(), c.lines);
    EXPECT_EQ(view.field, c.command) << "the preset command stays in the field";
}

INSTANTIATE_TEST_SUITE_P(
    Start, PresetTest,
    ::testing::Values(
        PresetCase{"no_presets", "", "", "", true, 0, -1, {}},
        PresetCase{"lower_case_letter", "t", "3", "", true, 15, 2, {}},
        PresetCase{"leading_zero", "T", "03", "", true, 15, -1, {kNumberMessage}},
        PresetCase{"number_without_numbers", "X", "1", "", true, 0, -1, {kNumberMessage}},
        PresetCase{"empty_number_first", "C", "", "", true, 16, 0, {}},
        PresetCase{"unknown_letter", "Q", "", "", true, -1, -1, {kSystemMessage}},
        PresetCase{"digit_letter", "3", "", "", true, -1, -1, {kSystemMessage}},
        PresetCase{"high_byte_letter", "\xD4", "", "", true, -1, -1, {kSystemMessage}},
        // A refused letter or number: the command is not sent, the window stays open.
        PresetCase{"unknown_letter_command_kept_open",
                   "Q",
                   "1",
                   "12",
                   true,
                   -1,
                   -1,
                   {kSystemMessage, kNumberMessage}},
        PresetCase{"unknown_letter_only_kept_open", "Y", "", "KU", true, -1, -1, {kSystemMessage}},
        PresetCase{"unknown_number_kept_open", "T", "99", "1", true, 15, -1, {kNumberMessage}},
        PresetCase{"letter_as_number_kept_open", "Z", "Z", "1", true, 14, -1, {kNumberMessage}},
        PresetCase{"number_for_a_system_without", "J", "1", "KU", true, 3, -1, {kNumberMessage}},
        PresetCase{"failing_command_kept_open", "G", "", "SE", true, 2, -1, {kEncodeMessage}},
        PresetCase{"command_sent_without_transmitter",
                   "T",
                   "3",
                   "12",
                   false,
                   15,
                   2,
                   {kNotFound, "tavik T3 12"}},
        PresetCase{"long_command_whole",
                   "J",
                   "",
                   "1-2-3-4-5-6-7-8-9",
                   false,
                   3,
                   -1,
                   {kNotFound, "tavik J 1-2-3-4-5-6-7-8-9"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ControllerTest, PresetSendTellsWhetherItArrived) {
    EXPECT_FALSE(initialiseWith("T", "", "12"));
    EXPECT_TRUE(controller.presetNotDelivered());

    FakeHidBackend present;
    present.plug({.path = "t"});
    SendSession delivering(present, log, {{5, ""}});
    SendPipeline deliveringPipeline(delivering, loop);
    FakeView other;
    RemoteController sent(other, delivering, deliveringPipeline);
    EXPECT_FALSE(sent.initialise({"T", "3", "12"}));
    EXPECT_EQ(other.ended, 1);
    EXPECT_FALSE(sent.presetNotDelivered());
    ASSERT_EQ(present.writes("t").size(), 1U);
    EXPECT_EQ(hexJoined(present.writes("t")[0]), "00 36 00 FF 0C 0F 4F 41 00");
}

TEST_F(ControllerTest, NumberSelectorFollowsTheSystem) {
    ASSERT_TRUE(initialiseWith("M", "", ""));
    EXPECT_EQ(view.numbers.texts(), (std::vector<std::string>{"1"}));
    EXPECT_EQ(view.numbers.selected, 0);

    view.systems.select(16);  // Σシステム, 0..15
    controller.fillNumberSelector();
    std::vector<std::string> expected;
    for (int n = 0; n <= 15; ++n) {
        expected.push_back(std::to_string(n));
    }
    EXPECT_EQ(view.numbers.texts(), expected) << "numeric order";
    view.numbers.select(12);
    controller.sendFunction(FunctionKey::kKeyUp);
    EXPECT_EQ(log.lines().back(), "tavik C12 KU");

    view.systems.select(3);  // JOYSOUND: no numbers
    controller.fillNumberSelector();
    EXPECT_FALSE(view.numbers.enabled);
    EXPECT_EQ(view.numbers.selected, -1);
    controller.sendFunction(FunctionKey::kKeyUp);
    EXPECT_EQ(log.lines().back(), "tavik J KU");

    view.systems.select(16);
    controller.fillNumberSelector();
    EXPECT_TRUE(view.numbers.enabled);
    EXPECT_EQ(view.numbers.selected, 0) << "rebuilt, first number selected";
    EXPECT_EQ(view.numbers.items.size(), 16U);
}

TEST_F(ControllerTest, ButtonsSendTheirFunctionsAndSendTheField) {
    backend.plug({.path = "t"});
    ASSERT_TRUE(initialiseWith("G", "", ""));
    controller.sendFunction(FunctionKey::kClear);  // GIGA has no CL
    EXPECT_EQ(log.lines(), (std::vector<std::string>{kEncodeMessage}));
    EXPECT_EQ(backend.opens("t"), 0) << "nothing searched or sent";
    const std::pair<FunctionKey, const char*> buttons[] = {{FunctionKey::kKeyUp, "tavik G KU"},
                                                           {FunctionKey::kKeyDown, "tavik G KD"},
                                                           {FunctionKey::kStart, "tavik G ST"},
                                                           {FunctionKey::kStop, "tavik G SP"}};
    for (const auto& [key, line] : buttons) {
        controller.sendFunction(key);
        EXPECT_EQ(log.lines().back(), line);
    }
    view.field = "ｋｕ";  // as an input method types it
    controller.sendField();
    EXPECT_EQ(log.lines().back(), "tavik G ku");
    view.field = "1-2-3-4-5-6-7-8-9";
    controller.sendField();
    EXPECT_EQ(log.lines().back(), "tavik G 1-2-3-4-5-6-7-8") << "the field's first 15";
    view.field.clear();
    controller.sendField();
    EXPECT_EQ(log.lines().back(), kEncodeMessage) << "an empty field";
    EXPECT_EQ(log.lines()[1], kFound);
    EXPECT_EQ(backend.writes("t").size(), 7U) << "five functions, then two reports";
}

// A refused preset number leaves a system with numbers without one: every send is refused
// until a number is chosen, so that no log line reads as a command line for another packet.
TEST_F(ControllerTest, NoNumberSelectedRefusesEverySend) {
    backend.plug({.path = "t"});
    ASSERT_TRUE(initialiseWith("Z", "Z", "1"));
    controller.sendFunction(FunctionKey::kKeyUp);
    view.field = "12";
    controller.sendField();
    controller.sendCommand("12");
    EXPECT_EQ(log.lines(), std::vector<std::string>(4, kNumberMessage));
    EXPECT_EQ(backend.opens("t"), 0) << "nothing searched or sent";
    view.numbers.select(0);
    controller.sendField();
    EXPECT_EQ(log.lines().back(), "tavik Z1 12");
}

// The result of a send carries the lines it logged, and only those.
TEST_F(ControllerTest, SessionResultsCarryTheirLines) {
    session.start();
    SendResult r = session.send("T3", "12");
    EXPECT_EQ(r.status, SendStatus::kNotFound);
    EXPECT_EQ(r.lines, (std::vector<std::string>{kNotFound, "tavik T3 12"}));
    backend.plug({.path = "t"});
    r = session.send("J", "KU");
    EXPECT_TRUE(r.delivered());
    EXPECT_EQ(r.lines, (std::vector<std::string>{kFound, "tavik J KU"}));
    r = session.send("T9", "12");
    EXPECT_EQ(r.status, SendStatus::kUnknownNumber);
    EXPECT_EQ(r.lines, (std::vector<std::string>{kNumberMessage}));
    r = session.send(std::string_view("J\0", 2), std::string_view("KU\0X", 4));
    EXPECT_EQ(r.status, SendStatus::kUnknownNumber) << "a NUL never matches a number";
    r = session.send("J", std::string_view("KU\0X", 4));
    EXPECT_EQ(r.status, SendStatus::kNotEncoded) << "a NUL never ends the command";
    EXPECT_EQ(backend.writes("t").size(), 1U);
}

TEST(PresetsFromArguments, SplitsLikeTheCommandLine) {
    const struct {
        std::vector<std::string> args;
        const char* letter;
        const char* number;
        const char* command;
    } cases[] = {
        {{}, "", "", ""},
        {{"T"}, "T", "", ""},
        {{"T3", "12"}, "T", "3", "12"},
        {{" \tT3 ", "\t12\t", "more", "tokens"}, "T", "3", "12"},
        {{"T3 12 extra"}, "T", "3", "12"},
        {{"", "C15", "ku"}, "C", "15", "ku"},
    };
    for (const auto& c : cases) {
        const Presets p = presetsFromArguments(c.args);
        EXPECT_EQ(p.presetLetter, c.letter);
        EXPECT_EQ(p.presetNumber, c.number);
        EXPECT_EQ(p.presetCommand, c.command);
    }
}

}  // namespace
}  // namespace tavik
