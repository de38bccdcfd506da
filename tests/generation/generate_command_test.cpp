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
    {}

    EventLog log;
    ScriptedRandom random;
    RecordingRuntime services;
    RecordingView view;
};

// A request that was refused must leave everything as it was before it.
struct RefusalRow
{
    const char* name;
    std::u16string text;
    std::u16string_view message;

    friend void PrintTo(const RefusalRow& row, std::ostream* os) { *os << row.name; }
};

class RefusedGenerateTest : public ::testing::TestWithParam<RefusalRow>
{};

TEST_P(RefusedGenerateTest, ShowsOneMessageThenMakesTheFieldEditableAndChangesNothingElse)
{
    const RefusalRow& row = GetParam();
    Fakes f(row.text, {});
    f.services.clipboard = "previous";
    f.view.label = "LastGood";

    RunGenerate(f.view, GenerationSettings{}, f.services);

    EXPECT_EQ(f.services.messages, std::vector<std::u16string>{std::u16string(row.message)});
    EXPECT_EQ(f.log, (EventLog{"ro", "read(ro)", "msgbox", "rw"}));
    EXPECT_EQ(f.view.label, "LastGood");
    EXPECT_EQ(f.view.text, row.text);
    EXPECT_FALSE(f.view.readOnly);
    EXPECT_EQ(f.services.clipboard, "previous");
}

INSTANTIATE_TEST_SUITE_P(
    Messages, RefusedGenerateTest,
    ::testing::Values(RefusalRow{"EmptyField", u"", kLengthMissingMessage},
                      RefusalRow{"SingleSpace", u" ", kLengthNotNumberMessage},
                      RefusalRow{"Letters", u"ab", kLengthNotNumberMessage},
                      RefusalRow{"Zero", u"0", kLengthOutOfRangeMessage},
                      RefusalRow{"Negative", u"-1", kLengthOutOfRangeMessage},
                      RefusalRow{"HalfRoundsToZero", u".5", kLengthOutOfRangeMessage},
                      RefusalRow{"AboveMaximum", u"33", kLengthOutOfRangeMessage},
                      RefusalRow{"FarAboveMaximum", u"99", kLengthOutOfRangeMessage}),
    [](const ::testing::TestParamInfo<RefusalRow>& row) { return row.param.name; });

TEST(RunGenerate, TheInitialEightGivesEightDigitsShownThenReplacingTheClipboardInOneStep)
{
    Fakes f(u"8", Draws(8));

    RunGenerate(f.view, GenerationSettings{}, f.services);

    const std::string expected(8, '7');
    EXPECT_EQ(f.view.label, expected);
    EXPECT_EQ(f.services.clipboard, expected);
    EXPECT_TRUE(f.services.messages.empty());
    EXPECT_FALSE(f.view.readOnly);

    EventLog wanted{"ro", "read(ro)", "reseed"};
    wanted.insert(wanted.end(), 8, "next");
    wanted.insert(wanted.end(),
                  {std::string("show:").append(expected), std::string("set:").append(expected)});
    wanted.push_back("rw");
    EXPECT_EQ(f.log, wanted);
}

TEST(RunGenerate, BoundsAreInclusiveAndValuesAreRounded)
{
    struct Case
    {
        std::u16string text;
        std::size_t length;
    };
    for (const Case& c : {Case{u"1", 1}, Case{u"32", 32}, Case{u".6", 1}, Case{u"1.", 1},
                          Case{u"+5", 5}, Case{u"３２", 32}, Case{u" 9", 9}}) {
        Fakes f(c.text, Draws(c.length));
        RunGenerate(f.view, GenerationSettings{}, f.services);
        EXPECT_EQ(f.view.label.size(), c.length);
        EXPECT_EQ(f.services.clipboard, f.view.label);
        EXPECT_EQ(f.random.Remaining(), 0u);
    }
}

TEST(RunGenerate, ASecondGenerateReplacesBothLabelAndClipboard)
{
    std::vector<float> draws = Draws(4, 0.15f);
    const std::vector<float> more = Draws(6, 0.95f);
    draws.insert(draws.end(), more.begin(), more.end());
    Fakes f(u"4", draws);

    RunGenerate(f.view, GenerationSettings{}, f.services);
    ASSERT_EQ(f.view.label, "1111");
    f.view.text =
        std::u16string{u'6'}; // move-assigned: GCC 12 misreads a literal assign (-Wrestrict)
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
    f.services.clipboard = "previous";
    f.services.refuseClipboard = true;

    RunGenerate(f.view, GenerationSettings{}, f.services);

    const std::string expected(8, '7');
    EXPECT_EQ(f.view.label, expected);
    EXPECT_EQ(f.services.messages,
              std::vector<std::u16string>{std::u16string(kClipboardFailedMessage)});
    EXPECT_EQ(f.services.clipboard, "previous");
    EXPECT_FALSE(f.view.readOnly);
    // The message comes while the field is still read-only, as with any other message.
    const EventLog tail{std::string("show:").append(expected), std::string("set:").append(expected),
                        "msgbox", "rw"};
    ASSERT_GE(f.log.size(), tail.size());
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(),
                           f.log.end() - static_cast<std::ptrdiff_t>(tail.size())));
}

TEST(RunGenerate, GeneratesWithTheSettingsItIsGiven)
{
    GenerationSettings settings{};
    settings.MainType = CharClass::Letters;
    settings.MainOpt = CaseOpt::UpperOnly;
    settings.SwitchMode = PositionMode::First;
    settings.SpecialType = CharClass::Digits;

    Fakes f(u"3", Draws(3, 0.0f));
    RunGenerate(f.view, settings, f.services);

    EXPECT_EQ(f.view.label, "0AA");
}

} // namespace
} // namespace cipherloom
