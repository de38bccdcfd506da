#include "generation/password_generator.h"

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

using testing::EventLog;
using testing::ScriptedRandom;
using testing::SweepingRandom;

// Values the real source can produce: k / 2^24.
float Unit(std::uint32_t k)
{
    return std::ldexp(static_cast<float>(k), -24);
}

constexpr float kHighestR = 1.0f - 0x1p-24f;

// The middle of the bucket that yields x in a row with multiplier m and base b.
float ValueFor(int x, int m, int b)
{
    return static_cast<float>((x - b + 0.5) / m);
}

GenerationSettings Settings(CharClass mainType, CaseOpt mainOpt,
                            PositionMode mode = PositionMode::Off,
                            CharClass specialType = CharClass::Digits,
                            CaseOpt specialOpt = CaseOpt::All, std::uint8_t start = 0,
                            std::uint8_t end = 0)
{
    return GenerationSettings{mainType, mainOpt, mode, specialType, specialOpt, start, end};
}

// ---------------------------------------------------------------------------------------------
// The position plan

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
        std::uint8_t expected = (i >= 1 && i <= row.length) ? ordinary : 0;
        if (specials.count(i) != 0) {
            expected = special;
        }
        EXPECT_EQ(plan[i], expected) << "index " << i;
    }
}

const GenerationSettings kUpperSpecial = Settings(
    CharClass::Digits, CaseOpt::All, PositionMode::Off, CharClass::Letters, CaseOpt::UpperOnly);

GenerationSettings WithMode(PositionMode mode, std::uint8_t start = 0, std::uint8_t end = 0)
{
    GenerationSettings s = kUpperSpecial;
    s.SwitchMode = mode;
    s.RangeStart = start;
    s.RangeEnd = end;
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Modes, PositionPlanTest,
    ::testing::Values(
        PlanRow{"OffWritesOnlyOrdinaryCodes", WithMode(PositionMode::Off), 8, {}},
        PlanRow{"OffIgnoresAStoredRange", WithMode(PositionMode::Off, 2, 4), 8, {}},
        PlanRow{"FirstMarksPositionOne", WithMode(PositionMode::First), 8, {1}},
        PlanRow{"FirstWithLengthOneMarksTheOnlyPosition", WithMode(PositionMode::First), 1, {1}},
        PlanRow{"LastMarksTheLastPosition", WithMode(PositionMode::Last), 8, {8}},
        PlanRow{"LastWithLengthOneMarksTheOnlyPosition", WithMode(PositionMode::Last), 1, {1}},
        PlanRow{"LastWithFullLengthMarksPosition32", WithMode(PositionMode::Last), 32, {32}},
        PlanRow{"RangeInsideTheLength", WithMode(PositionMode::Range, 2, 4), 8, {2, 3, 4}},
        PlanRow{"RangeCutAtTheLengthStillWritesBeyondIt",
                WithMode(PositionMode::Range, 3, 5),
                4,
                {3, 4, 5}},
        PlanRow{"RangeBeyondTheLengthLeavesNoDrawnSpecial",
                WithMode(PositionMode::Range, 10, 12),
                8,
                {10, 11, 12}},
        PlanRow{"RangeZeroToZeroWritesOnlyIndexZero", WithMode(PositionMode::Range, 0, 0), 8, {0}},
        PlanRow{"RangeOfOnePosition", WithMode(PositionMode::Range, 5, 5), 8, {5}},
        PlanRow{"RangeCoveringAllOf32",
                WithMode(PositionMode::Range, 1, 32),
                32,
                {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16,
                 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32}},
        PlanRow{"RangeWithStartAfterEndWritesNothing", WithMode(PositionMode::Range, 7, 6), 8, {}},
        PlanRow{"UnknownModeWritesNothingSpecial",
                [] {
                    GenerationSettings s = kUpperSpecial;
                    s.SwitchMode = static_cast<PositionMode>(4);
                    return s;
                }(),
                8,
                {}}),
    [](const ::testing::TestParamInfo<PlanRow>& row) { return row.param.name; });

TEST(PositionPlanRefusal, LengthsOutsideOneTo32AndRangeEndsAbove32AreRefusedLoudly)
{
    const GenerationSettings digits{};
    for (const std::int16_t length : {-1, 0, 33, 100}) {
        EXPECT_THROW(BuildPositionPlan(digits, length), std::out_of_range) << length;
    }
    EXPECT_THROW(BuildPositionPlan(WithMode(PositionMode::Range, 30, 33), 8), std::out_of_range);
    EXPECT_THROW(BuildPositionPlan(WithMode(PositionMode::Range, 255, 255), 8), std::out_of_range);

    EXPECT_NO_THROW(BuildPositionPlan(digits, 1));
    EXPECT_NO_THROW(BuildPositionPlan(digits, 32));
    // A stored range only matters in range mode.
    EXPECT_NO_THROW(BuildPositionPlan(WithMode(PositionMode::Last, 30, 33), 8));
}

// ---------------------------------------------------------------------------------------------
// The draw table

struct Gap
{
    int first;
    int last;
};

struct DrawRow
{
    const char* name;
    CharClass charClass;
    CaseOpt caseOpt;
    int multiplier;
    int base;
    std::vector<Gap> gaps;
    std::uint32_t roundingTrapK; // float product would round up to the next integer
    char roundingTrapChar;       // what the double product gives

    friend void PrintTo(const DrawRow& row, std::ostream* os) { *os << row.name; }
};

class DrawTableTest : public ::testing::TestWithParam<DrawRow>
{
protected:
    static std::uint8_t Code(const DrawRow& row)
    {
        return MakePositionCode(row.charClass, row.caseOpt);
    }

    static bool Rejected(const DrawRow& row, int x)
    {
        for (const Gap& gap : row.gaps) {
            if (x >= gap.first && x <= gap.last) {
                return true;
            }
        }
        return false;
    }

    // Draws with r first; an accepted r must be the only value consumed.
    static std::optional<char> DrawOnce(const DrawRow& row, float r)
    {
        const float fallback = ValueFor(row.base, row.multiplier, row.base); // always accepted
        ScriptedRandom random({r, fallback});
        const auto c = DrawCharacter(Code(row), random);
        return random.nextCalls == 1 ? c : std::nullopt;
    }
};

TEST_P(DrawTableTest, LowestAndHighestValueGiveTheEndsOfTheSpan)
{
    const DrawRow& row = GetParam();
    EXPECT_EQ(DrawOnce(row, 0.0f), std::optional<char>(static_cast<char>(row.base)));
    EXPECT_EQ(DrawOnce(row, kHighestR),
              std::optional<char>(static_cast<char>(row.base + row.multiplier - 1)));
}

// Gap edges included: each gap's first and last code are rejected, its neighbours accepted.
TEST_P(DrawTableTest, EveryBucketOfTheSpanIsAcceptedOrRejectedAsTheRowSays)
{
    const DrawRow& row = GetParam();
    for (int x = row.base; x < row.base + row.multiplier; ++x) {
        const auto drawn = DrawOnce(row, ValueFor(x, row.multiplier, row.base));
        if (Rejected(row, x)) {
            EXPECT_EQ(drawn, std::nullopt) << x;
        } else {
            EXPECT_EQ(drawn, std::optional<char>(static_cast<char>(x)));
        }
    }
}

TEST_P(DrawTableTest, ProductIsFlooredInDoublePrecision)
{
    const DrawRow& row = GetParam();
    EXPECT_EQ(DrawOnce(row, Unit(row.roundingTrapK)), row.roundingTrapChar);
}

TEST_P(DrawTableTest, RejectedValuesAreRedrawnWithoutLimitAndEachDrawIsConsumed)
{
    const DrawRow& row = GetParam();
    const float accepted = ValueFor(row.base + row.multiplier - 1, row.multiplier, row.base);
    std::vector<float> script;
    for (const Gap& gap : row.gaps) {
        for (int i = 0; i < 50; ++i) {
            script.push_back(ValueFor(gap.first, row.multiplier, row.base));
            script.push_back(ValueFor(gap.last, row.multiplier, row.base));
        }
    }
    const int rejectedDraws = static_cast<int>(script.size());
    script.push_back(accepted);
    script.push_back(0.0f); // must stay unread

    ScriptedRandom random(script);
    EXPECT_EQ(DrawCharacter(Code(row), random), static_cast<char>(row.base + row.multiplier - 1));
    EXPECT_EQ(random.nextCalls, rejectedDraws + 1);
    EXPECT_EQ(random.Remaining(), 1u);
    EXPECT_EQ(random.reseedCalls, 0);
}

TEST_P(DrawTableTest, ValuesOutsideTheUnitIntervalAreNeverTurnedIntoCharacters)
{
    const DrawRow& row = GetParam();
    ScriptedRandom random({1.0f, -0.25f, std::nanf(""), 2.0f, 0.0f});
    EXPECT_EQ(DrawCharacter(Code(row), random), static_cast<char>(row.base));
    EXPECT_EQ(random.nextCalls, 5);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DrawTableTest,
    ::testing::Values(
        DrawRow{"Digits", CharClass::Digits, CaseOpt::All, 10, 48, {}, 11744051, '6'},
        DrawRow{
            "LettersBothCases", CharClass::Letters, CaseOpt::All, 58, 65, {{91, 96}}, 867787, 'C'},
        DrawRow{
            "LettersLowerOnly", CharClass::Letters, CaseOpt::LowerOnly, 26, 97, {}, 9679163, 'o'},
        DrawRow{
            "LettersUpperOnly", CharClass::Letters, CaseOpt::UpperOnly, 26, 65, {}, 9679163, 'O'},
        DrawRow{"AlphanumericBothCases",
                CharClass::Alphanumeric,
                CaseOpt::All,
                75,
                48,
                {{58, 64}, {91, 96}},
                11632203,
                'c'},
        DrawRow{"AlphanumericLowerOnly",
                CharClass::Alphanumeric,
                CaseOpt::LowerOnly,
                75,
                48,
                {{58, 96}},
                11632203,
                'c'},
        DrawRow{"AlphanumericUpperOnly",
                CharClass::Alphanumeric,
                CaseOpt::UpperOnly,
                43,
                48,
                {{58, 64}},
                1950839,
                '4'},
        DrawRow{"SymbolsBothCases",
                CharClass::AlphanumericSymbols,
                CaseOpt::All,
                94,
                33,
                {},
                10530380,
                '['},
        DrawRow{"SymbolsLowerOnly",
                CharClass::AlphanumericSymbols,
                CaseOpt::LowerOnly,
                94,
                33,
                {{65, 90}},
                10530380,
                '['},
        DrawRow{"SymbolsUpperOnly",
                CharClass::AlphanumericSymbols,
                CaseOpt::UpperOnly,
                94,
                33,
                {{97, 122}},
                10530380,
                '['}),
    [](const ::testing::TestParamInfo<DrawRow>& row) { return row.param.name; });

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

// ---------------------------------------------------------------------------------------------
// The whole password

bool InClass(char c, CharClass charClass, CaseOpt caseOpt)
{
    const bool digit = c >= '0' && c <= '9';
    const bool lower = c >= 'a' && c <= 'z';
    const bool upper = c >= 'A' && c <= 'Z';
    const bool printable = c >= '!' && c <= '~';
    switch (charClass) {
    case CharClass::Digits:
        return digit;
    case CharClass::Letters:
        return caseOpt == CaseOpt::LowerOnly   ? lower
               : caseOpt == CaseOpt::UpperOnly ? upper
                                               : lower || upper;
    case CharClass::Alphanumeric:
        return digit || (caseOpt == CaseOpt::LowerOnly   ? lower
                         : caseOpt == CaseOpt::UpperOnly ? upper
                                                         : lower || upper);
    case CharClass::AlphanumericSymbols:
        return printable && !(caseOpt == CaseOpt::LowerOnly && upper) &&
               !(caseOpt == CaseOpt::UpperOnly && lower);
    }
    return false;
}

TEST(GeneratePassword, EveryPositionDrawsFromItsOwnClassAndTheLengthIsExact)
{
    struct Case
    {
        GenerationSettings settings;
        std::int16_t length;
    };
    const std::vector<Case> cases = {
        {Settings(CharClass::Digits, CaseOpt::All), 8},
        {Settings(CharClass::Letters, CaseOpt::LowerOnly), 32},
        {Settings(CharClass::AlphanumericSymbols, CaseOpt::UpperOnly), 32},
        {Settings(CharClass::Digits, CaseOpt::All, PositionMode::First, CharClass::Letters,
                  CaseOpt::UpperOnly),
         12},
        {Settings(CharClass::Letters, CaseOpt::LowerOnly, PositionMode::Last,
                  CharClass::AlphanumericSymbols, CaseOpt::All),
         1},
        {Settings(CharClass::Alphanumeric, CaseOpt::All, PositionMode::Range, CharClass::Digits,
                  CaseOpt::All, 3, 5),
         4},
        {Settings(CharClass::Letters, CaseOpt::UpperOnly, PositionMode::Range, CharClass::Digits,
                  CaseOpt::All, 10, 12),
         8},
    };
    SweepingRandom random;
    for (const Case& c : cases) {
        for (int round = 0; round < 20; ++round) {
            const std::string password = GeneratePassword(c.settings, c.length, random);
            ASSERT_EQ(password.size(), static_cast<std::size_t>(c.length));
            const PositionPlan plan = BuildPositionPlan(c.settings, c.length);
            for (int i = 1; i <= c.length; ++i) {
                const auto charClass = static_cast<CharClass>(plan[i] / 4);
                const auto caseOpt = static_cast<CaseOpt>(plan[i] % 4 - 1);
                EXPECT_TRUE(InClass(password[i - 1], charClass, caseOpt))
                    << password << " position " << i;
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

TEST(GeneratePassword, ARefusedLengthDrawsNothingAndDoesNotReseed)
{
    ScriptedRandom random({});
    EXPECT_THROW(GeneratePassword(GenerationSettings{}, 33, random), std::out_of_range);
    EXPECT_EQ(random.reseedCalls, 0);
}

} // namespace
} // namespace cipherloom
