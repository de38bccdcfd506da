#include "generation/generate_command.h"

#include "fakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

namespace cipherloom {
namespace {

using testing::EventLog;
using testing::FakeServices;
using testing::FakeView;

constexpr float kDigitSeven = 0.75f; // floor(0.75 * 10) + '0'

std::vector<float> Draws(std::size_t count, float r = kDigitSeven)
{
    return std::vector<float>(count, r);
}

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
    FakeServices services({});
    services.clipboard = "previous";
    FakeView view(row.text, services.log);
    view.label = "LastGood";

    RunGenerate(view, GenerationSettings{}, services);

    EXPECT_EQ(services.messages, std::vector<std::u16string>{std::u16string(row.message)});
    EXPECT_EQ(services.log, (EventLog{"ro", "read(ro)", "msgbox", "rw"}));
    EXPECT_EQ(view.label, "LastGood");
    EXPECT_EQ(view.text, row.text);
    EXPECT_FALSE(view.readOnly);
    EXPECT_EQ(services.clipboard, "previous");
    EXPECT_EQ(services.random.reseedCalls, 0);
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
    FakeServices services(Draws(8));
    FakeView view(u"8", services.log);

    RunGenerate(view, GenerationSettings{}, services);

    const std::string expected(8, '7');
    EXPECT_EQ(view.label, expected);
    EXPECT_EQ(services.clipboard, expected);
    EXPECT_TRUE(services.messages.empty());
    EXPECT_FALSE(view.readOnly);

    EventLog wanted{"ro", "read(ro)", "reseed"};
    wanted.insert(wanted.end(), 8, "next");
    wanted.insert(wanted.end(),
                  {std::string("show:").append(expected), std::string("set:").append(expected)});
    wanted.push_back("rw");
    EXPECT_EQ(services.log, wanted);
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
        FakeServices services(Draws(c.length));
        FakeView view(c.text, services.log);
        RunGenerate(view, GenerationSettings{}, services);
        EXPECT_EQ(view.label.size(), c.length);
        EXPECT_EQ(services.clipboard, view.label);
        EXPECT_EQ(services.random.Remaining(), 0u);
    }
}

TEST(RunGenerate, ASecondGenerateReplacesBothLabelAndClipboard)
{
    std::vector<float> draws = Draws(4, 0.15f);
    const std::vector<float> more = Draws(6, 0.95f);
    draws.insert(draws.end(), more.begin(), more.end());
    FakeServices services(draws);
    FakeView view(u"4", services.log);

    RunGenerate(view, GenerationSettings{}, services);
    ASSERT_EQ(view.label, "1111");
    view.text =
        std::u16string{u'6'}; // move-assigned: GCC 12 misreads a literal assign (-Wrestrict)
    RunGenerate(view, GenerationSettings{}, services);

    EXPECT_EQ(view.label, "999999");
    EXPECT_EQ(services.clipboard, "999999");
    EXPECT_EQ(std::count(services.log.begin(), services.log.end(), "clear"), 0);
    EXPECT_EQ(services.random.reseedCalls, 2);
}

// Another program can keep the clipboard; that must never pass for a copied password.
TEST(RunGenerate, AClipboardThatCannotBeSetIsReportedAndThePasswordStaysShown)
{
    FakeServices services(Draws(8));
    services.clipboard = "previous";
    services.clipboardWorks = false;
    FakeView view(u"8", services.log);

    RunGenerate(view, GenerationSettings{}, services);

    const std::string expected(8, '7');
    EXPECT_EQ(view.label, expected);
    EXPECT_EQ(services.messages,
              std::vector<std::u16string>{std::u16string(kClipboardFailedMessage)});
    EXPECT_EQ(services.clipboard, "previous");
    EXPECT_FALSE(view.readOnly);
    // The message comes while the field is still read-only, as with any other message.
    const EventLog tail{std::string("show:").append(expected), std::string("set:").append(expected),
                        "msgbox", "rw"};
    ASSERT_GE(services.log.size(), tail.size());
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(),
                           services.log.end() - static_cast<std::ptrdiff_t>(tail.size())));
}

TEST(RunGenerate, GeneratesWithTheSettingsItIsGiven)
{
    GenerationSettings settings{};
    settings.MainType = static_cast<std::uint8_t>(CharClass::Letters);
    settings.MainOpt = static_cast<std::uint8_t>(CaseOpt::UpperOnly);
    settings.SwitchMode = static_cast<std::uint8_t>(PositionMode::First);
    settings.SpecialType = static_cast<std::uint8_t>(CharClass::Digits);

    FakeServices services(Draws(3, 0.0f));
    FakeView view(u"3", services.log);
    RunGenerate(view, settings, services);

    EXPECT_EQ(view.label, "0AA");
}

} // namespace
} // namespace cipherloom
