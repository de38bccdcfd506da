#include "generation/generate_command.h"

#include "tests/support/fakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

namespace cipherloom {
namespace {

using testing::EventLog;
using testing::RecordingRuntime;
using testing::RecordingView;
using testing::ScriptedRandom;

constexpr float kDigitSeven = 0.75f; // floor(0.75 * 10) + '0'
const std::string kPrevious = "previous";

std::vector<float> Draws(std::size_t count, float r = kDigitSeven)
{
    return std::vector<float>(count, r);
}

// The view, the services and their random source, all logging into one list.
struct Fakes
{
    Fakes(std::u16string lengthText, std::vector<float> draws)
        : random(std::move(draws), ScriptedRandom::AtEnd::Fail, &log), services(random, &log),
          view(std::move(lengthText), &log)
    {
        services.clipboard = kPrevious;
        view.label = kPrevious;
    }

    EventLog log;
    ScriptedRandom random;
    RecordingRuntime services;
    RecordingView view;
};

// Read while read-only, one reseed, a draw per character, then shown before it is copied.
EventLog AcceptedLog(const std::string& password)
{
    EventLog log{"ro", "read(ro)", "reseed"};
    log.insert(log.end(), password.size(), "next");
    log.insert(log.end(), {"show:" + password, "set:" + password, "rw"});
    return log;
}

struct LengthRow
{
    const char* name;
    std::u16string text;
    std::u16string_view message; // empty: accepted, giving length characters
    std::size_t length = 0;

    friend void PrintTo(const LengthRow& row, std::ostream* os) { *os << row.name; }
};

class LengthTextTest : public ::testing::TestWithParam<LengthRow>
{};

// A refused request leaves everything as it was before it, but for its one message.
TEST_P(LengthTextTest, ShowsOneMessageAndChangesNothingOrShowsThePasswordThenCopiesIt)
{
    const LengthRow& row = GetParam();
    Fakes f(row.text, Draws(row.length));
    RunGenerate(f.view, GenerationSettings{}, f.services);

    const bool refused = !row.message.empty();
    const std::string shown = refused ? kPrevious : std::string(row.length, '7');
    std::vector<std::u16string> messages;
    EventLog log = AcceptedLog(shown); // every scripted draw used, the clipboard never cleared
    if (refused) {
        messages.emplace_back(row.message);
        log = {"ro", "read(ro)", "msgbox", "rw"};
    }
    EXPECT_EQ(f.view.label, shown);
    EXPECT_EQ(f.services.clipboard, shown);
    EXPECT_EQ(f.services.messages, messages);
    EXPECT_EQ(f.log, log);
    EXPECT_EQ(f.view.text, row.text);
    EXPECT_FALSE(f.view.readOnly);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LengthTextTest,
    ::testing::Values(LengthRow{"EmptyFieldIsRefused", u"", kLengthMissingMessage},
                      LengthRow{"SingleSpaceIsRefused", u" ", kLengthNotNumberMessage},
                      LengthRow{"LettersAreRefused", u"ab", kLengthNotNumberMessage},
                      LengthRow{"ZeroIsRefused", u"0", kLengthOutOfRangeMessage},
                      LengthRow{"NegativeIsRefused", u"-1", kLengthOutOfRangeMessage},
                      LengthRow{"HalfRoundsToZeroAndIsRefused", u".5", kLengthOutOfRangeMessage},
                      LengthRow{"AboveMaximumIsRefused", u"33", kLengthOutOfRangeMessage},
                      LengthRow{"FarAboveMaximumIsRefused", u"99", kLengthOutOfRangeMessage},
                      LengthRow{"TheInitialEight", u"8", {}, 8},
                      LengthRow{"LowestBound", u"1", {}, 1},
                      LengthRow{"HighestBound", u"32", {}, 32},
                      LengthRow{"PointSixRoundsToOne", u".6", {}, 1},
                      LengthRow{"TrailingPoint", u"1.", {}, 1}, LengthRow{"PlusSign", u"+5", {}, 5},
                      LengthRow{"FullWidthHighestBound", u"３２", {}, 32},
                      LengthRow{"LeadingSpace", u" 9", {}, 9}),
    [](const ::testing::TestParamInfo<LengthRow>& row) { return row.param.name; });

TEST(RunGenerate, ASecondGenerateReplacesBothLabelAndClipboard)
{
    std::vector<float> draws = Draws(4, 0.15f);
    draws.resize(4 + 6, 0.95f);
    Fakes f(u"4", draws);

    RunGenerate(f.view, GenerationSettings{}, f.services);
    ASSERT_EQ(f.view.label, "1111");
    // Move-assigned: GCC 12 misreads a literal assign (-Wrestrict).
    f.view.text = std::u16string{u'6'};
    RunGenerate(f.view, GenerationSettings{}, f.services);

    EXPECT_EQ(f.view.label, "999999");
    EXPECT_EQ(f.services.clipboard, "999999");
    EXPECT_EQ(std::count(f.log.begin(), f.log.end(), "clear"), 0);
    EXPECT_EQ(f.random.reseedCalls, 2);
}

// Another program can keep the clipboard; that must never pass for a copied password.
TEST(RunGenerate, AClipboardThatCannotBeSetIsReportedAndThePasswordStaysShown)
{
    Fakes f(u"8", Draws(8));
    f.services.refuseClipboard = true;
    RunGenerate(f.view, GenerationSettings{}, f.services);

    const std::string expected(8, '7');
    EXPECT_EQ(f.view.label, expected);
    EXPECT_EQ(f.services.messages,
              std::vector<std::u16string>{std::u16string(kClipboardFailedMessage)});
    EXPECT_EQ(f.services.clipboard, kPrevious);
    EXPECT_FALSE(f.view.readOnly);
    // The message comes while the field is still read-only, as with any other message.
    EventLog wanted = AcceptedLog(expected);
    wanted.insert(wanted.end() - 1, "msgbox");
    EXPECT_EQ(f.log, wanted);
}

TEST(RunGenerate, GeneratesWithTheSettingsItIsGiven)
{
    const GenerationSettings settings{.MainType = CharClass::Letters,
                                      .MainOpt = CaseOpt::UpperOnly,
                                      .SwitchMode = PositionMode::First,
                                      .SpecialType = CharClass::Digits};
    Fakes f(u"3", Draws(3, 0.0f));
    RunGenerate(f.view, settings, f.services);

    EXPECT_EQ(f.view.label, "0AA");
}

} // namespace
} // namespace cipherloom
