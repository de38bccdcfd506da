#include "generation/password_generator.h"

#include "tests/quality/draw_rows.h"
#include "tests/support/fakes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <ostream>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace cipherloom {
namespace {

using quality::DrawRow;
using quality::DrawRows;
using testing::EventLog;
using testing::ScriptedRandom;
using testing::SweepingRandom;
using enum PositionMode;

// Values the real source can produce: k / 2^24.
float Unit(std::uint32_t k)
{
    return std::ldexp(static_cast<float>(k), -24);
}

constexpr float kHighestR = 1.0f - 0x1p-24f;

GenerationSettings Settings(CharClass mainType, CaseOpt mainOpt, PositionMode mode = Off,
                            CharClass specialType = CharClass::Digits,
                            CaseOpt specialOpt = CaseOpt::All, std::uint8_t start = 0,
                            std::uint8_t end = 0)
{
    return GenerationSettings{mainType, mainOpt, mode, specialType, specialOpt, start, end};
}

// Digits ordinary, upper-case letters special, so the two codes differ.
GenerationSettings WithMode(PositionMode mode, std::uint8_t start = 0, std::uint8_t end = 0)
{
    return Settings(CharClass::Digits, CaseOpt::All, mode, CharClass::Letters, CaseOpt::UpperOnly,
                    start, end);
}

struct PlanRow
{
    const char* name;
    GenerationSettings settings;
    std::int16_t length;
    std::vector<int> specialIndices; // where the special code must stand

    friend void PrintTo(const PlanRow& row, std::ostream* os) { *os << row.name; }
};

class PositionPlanTest : public ::testing::TestWithParam<PlanRow>
{};

TEST_P(PositionPlanTest, OrdinaryCodeEverywhereThenSpecialCodeWhereTheModeSays)
{
    const PlanRow& row = GetParam();
    const PositionPlan plan = BuildPositionPlan(row.settings, row.length);

    const std::uint8_t ordinary = MakePositionCode(row.settings.MainType, row.settings.MainOpt);
    const std::uint8_t special =
        MakePositionCode(row.settings.SpecialType, row.settings.SpecialOpt);
    const std::set<int> specials(row.specialIndices.begin(), row.specialIndices.end());
    for (int i = 0; i < static_cast<int>(plan.size()); ++i) {
        const std::uint8_t expected =
            specials.count(i) != 0 ? special : (i >= 1 && i <= row.length ? ordinary : 0);
        EXPECT_EQ(plan[i], expected) << "index " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, PositionPlanTest,
    ::testing::Values(
        PlanRow{"OffWritesOnlyOrdinaryCodes", WithMode(Off), 8, {}},
        PlanRow{"OffIgnoresAStoredRange", WithMode(Off, 2, 4), 8, {}},
        PlanRow{"FirstMarksPositionOne", WithMode(First), 8, {1}},
        PlanRow{"FirstWithLengthOneMarksTheOnlyPosition", WithMode(First), 1, {1}},
        PlanRow{"LastMarksTheLastPosition", WithMode(Last), 8, {8}},
        PlanRow{"LastWithLengthOneMarksTheOnlyPosition", WithMode(Last), 1, {1}},
        PlanRow{"LastWithFullLengthMarksPosition32", WithMode(Last), 32, {32}},
        PlanRow{"RangeInsideTheLength", WithMode(Range, 2, 4), 8, {2, 3, 4}},
        PlanRow{"RangeCutAtTheLengthStillWritesBeyondIt", WithMode(Range, 3, 5), 4, {3, 4, 5}},
        PlanRow{"RangeBeyondTheLengthDrawsNoSpecial", WithMode(Range, 10, 12), 8, {10, 11, 12}},
        PlanRow{"RangeZeroToZeroWritesOnlyIndexZero", WithMode(Range, 0, 0), 8, {0}},
        PlanRow{"RangeOfOnePosition", WithMode(Range, 5, 5), 8, {5}},
        PlanRow{"RangeCoveringAllOf32",
                WithMode(Range, 1, 32),
                32,
                {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16,
                 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32}},
        PlanRow{"RangeWithStartAfterEndWritesNothing", WithMode(Range, 7, 6), 8, {}},
        PlanRow{"UnknownModeWritesNothingSpecial", WithMode(static_cast<PositionMode>(4)), 8, {}}),
    [](const ::testing::TestParamInfo<PlanRow>& row) { return row.param.name; });

TEST(PositionPlanRefusal, LengthsOutsideOneTo32AndRangeEndsAbove32AreRefusedLoudly)
{
    const GenerationSettings digits{};
    for (const std::int16_t length : {-1, 0, 33, 100}) {
        EXPECT_THROW(BuildPositionPlan(digits, length), std::out_of_range) << length;
        // Refused before anything is asked of the source.
        ScriptedRandom random({});
        EXPECT_THROW(GeneratePassword(digits, length, random), std::out_of_range) << length;
        EXPECT_EQ(random.reseedCalls, 0) << length;
    }
    EXPECT_THROW(BuildPositionPlan(WithMode(Range, 30, 33), 8), std::out_of_range);
    EXPECT_THROW(BuildPositionPlan(WithMode(Range, 255, 255), 8), std::out_of_range);

    EXPECT_NO_THROW(BuildPositionPlan(digits, 1));
    EXPECT_NO_THROW(BuildPositionPlan(digits, 32));
    // A stored range only matters in range mode.
    EXPECT_NO_THROW(BuildPositionPlan(WithMode(Last, 30, 33), 8));
}

class DrawTableTest : public ::testing::TestWithParam<DrawRow>
{
protected:
    const DrawRow& row = GetParam();

    // The middle of the bucket that yields x.
    float ValueFor(int x) const
    {
        return static_cast<float>((x - row.base + 0.5) / row.multiplier);
    }
    char Top() const { return static_cast<char>(row.base + row.multiplier - 1); }

    // Draws with r first; an accepted r must be the only value consumed.
    std::optional<char> DrawOnce(float r) const
    {
        ScriptedRandom random({r, ValueFor(row.base)}); // the base is always accepted
        const auto c = DrawCharacter(row.Code(), random);
        return random.nextCalls == 1 ? c : std::nullopt;
    }
};

TEST_P(DrawTableTest, SpanEndsAndAValueFloatWouldRoundUpGiveTheirCharacters)
{
    EXPECT_EQ(DrawOnce(0.0f), std::optional<char>(static_cast<char>(row.base)));
    EXPECT_EQ(DrawOnce(kHighestR), std::optional<char>(Top()));
    // The product is floored in double precision.
    EXPECT_EQ(DrawOnce(Unit(row.roundingTrapK)), row.roundingTrapChar);
}

TEST_P(DrawTableTest, EveryBucketOfTheSpanIsAcceptedOrRejectedAsTheRowSays)
{
    int accepted = 0;
    for (int x = row.base; x < row.base + row.multiplier; ++x) {
        const auto drawn = DrawOnce(ValueFor(x));
        if (row.Accepts(x)) {
            ++accepted;
            EXPECT_EQ(drawn, std::optional<char>(static_cast<char>(x)));
        } else {
            EXPECT_EQ(drawn, std::nullopt) << x;
        }
    }
    EXPECT_EQ(accepted, row.acceptedCount);
}

TEST_P(DrawTableTest, RejectedValuesAreRedrawnWithoutLimitAndEachDrawIsConsumed)
{
    constexpr int kRounds = 50; // of every rejected code, so well past any plausible retry cap
    std::vector<float> script;
    for (int round = 0; round < kRounds; ++round) {
        for (int x = row.base; x < row.base + row.multiplier; ++x) {
            if (!row.Accepts(x)) {
                script.push_back(ValueFor(x));
            }
        }
    }
    const auto rejectedDraws = static_cast<std::int64_t>(script.size());
    script.push_back(ValueFor(Top()));
    script.push_back(0.0f); // must stay unread

    ScriptedRandom random(script);
    EXPECT_EQ(DrawCharacter(row.Code(), random), Top());
    EXPECT_EQ(random.nextCalls, rejectedDraws + 1);
    EXPECT_EQ(random.Remaining(), 1u);
    EXPECT_EQ(random.reseedCalls, 0);
}

TEST_P(DrawTableTest, ValuesOutsideTheUnitIntervalAreNeverTurnedIntoCharacters)
{
    ScriptedRandom random({1.0f, -0.25f, std::nanf(""), 2.0f, 0.0f});
    EXPECT_EQ(DrawCharacter(row.Code(), random), static_cast<char>(row.base));
    EXPECT_EQ(random.nextCalls, 5);
}

INSTANTIATE_TEST_SUITE_P(Rows, DrawTableTest, ::testing::ValuesIn(DrawRows()), quality::RowName);

TEST(DrawCharacterCodes, DigitsNeverLookAtTheCaseSelector)
{
    for (std::uint8_t code = 0; code < 4; ++code) {
        ScriptedRandom random({Unit(11744051)});
        EXPECT_EQ(DrawCharacter(code, random), '6') << int{code};
    }
}

TEST(DrawCharacterCodes, CodesTheSettingsNeverProduceYieldNothingAndDrawNothing)
{
    std::vector<int> invalid = {4, 8, 12};
    for (int code = 16; code <= 255; ++code) {
        invalid.push_back(code);
    }
    for (const int code : invalid) {
        ScriptedRandom random({0.5f});
        EXPECT_EQ(DrawCharacter(static_cast<std::uint8_t>(code), random), std::nullopt) << code;
        EXPECT_EQ(random.nextCalls, 0) << code;
    }
}

const DrawRow* RowFor(std::uint8_t code)
{
    for (const DrawRow& row : DrawRows()) {
        if (row.Code() == code) {
            return &row;
        }
    }
    return nullptr;
}

TEST(GeneratePassword, EveryPositionDrawsFromItsOwnClassAndTheLengthIsExact)
{
    struct Case
    {
        GenerationSettings settings;
        std::int16_t length;
    };
    using enum CharClass;
    using enum CaseOpt;
    const std::vector<Case> cases = {
        {Settings(Digits, All), 8},
        {Settings(Letters, LowerOnly), 32},
        {Settings(AlphanumericSymbols, UpperOnly), 32},
        {Settings(Digits, All, First, Letters, UpperOnly), 12},
        {Settings(Letters, LowerOnly, Last, AlphanumericSymbols, All), 1},
        {Settings(Alphanumeric, All, Range, Digits, All, 3, 5), 4},
        {Settings(Letters, UpperOnly, Range, Digits, All, 10, 12), 8},
    };
    SweepingRandom random;
    for (const Case& c : cases) {
        const PositionPlan plan = BuildPositionPlan(c.settings, c.length);
        for (int round = 0; round < 20; ++round) {
            const std::string password = GeneratePassword(c.settings, c.length, random);
            ASSERT_EQ(password.size(), static_cast<std::size_t>(c.length));
            for (int i = 1; i <= c.length; ++i) {
                const DrawRow* row = RowFor(plan[i]);
                ASSERT_NE(row, nullptr) << "position " << i;
                EXPECT_TRUE(row->Accepts(password[i - 1])) << password << " position " << i;
            }
        }
    }
}

TEST(GeneratePassword, ReseedsOncePerRequestBeforeTheFirstDraw)
{
    EventLog log;
    ScriptedRandom random({0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f}, ScriptedRandom::AtEnd::Fail, &log);
    const GenerationSettings digits{};

    EXPECT_EQ(GeneratePassword(digits, 3, random), "123");
    EXPECT_EQ(GeneratePassword(digits, 3, random), "456");
    EXPECT_EQ(log, (EventLog{"reseed", "next", "next", "next", "reseed", "next", "next", "next"}));
}

} // namespace
} // namespace cipherloom
