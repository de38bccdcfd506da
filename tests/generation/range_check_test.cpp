#include "generation/range_check.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace cipherloom {
namespace {

struct RangeRow
{
    const char* name;
    std::u16string start;
    std::u16string end;
    RangeCheckResult expected;

    friend void PrintTo(const RangeRow& row, std::ostream* os) { *os << row.name; }
};

RangeCheckResult Accepted(std::uint8_t s, std::uint8_t e)
{
    return RangeCheckResult{true, s, e, {}, RangeField::None};
}
RangeCheckResult Missing(RangeField focus)
{
    return RangeCheckResult{false, 0, 0, kRangeMissingMessage, focus};
}
RangeCheckResult Invalid(RangeField focus)
{
    return RangeCheckResult{false, 0, 0, kRangeInvalidMessage, focus};
}

class RangeCheckTest : public ::testing::TestWithParam<RangeRow>
{};

TEST_P(RangeCheckTest, FirstFailingStepNamesTheMessageAndTheField)
{
    const RangeRow& row = GetParam();
    EXPECT_EQ(CheckRange(row.start, row.end), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, RangeCheckTest,
    ::testing::Values(
        RangeRow{"BothEmptyFocusesTheStart", u"", u"", Missing(RangeField::Start)},
        RangeRow{"EmptyStartBeatsAnInvalidEnd", u"", u"x", Missing(RangeField::Start)},
        RangeRow{"EmptyEndFocusesTheEnd", u"5", u"", Missing(RangeField::End)},
        RangeRow{"EmptyEndIsCheckedBeforeAnInvalidStart", u"x", u"", Missing(RangeField::End)},
        RangeRow{"StartNotANumber", u"a", u"5", Invalid(RangeField::Start)},
        RangeRow{"StartOfOneSpace", u" ", u"5", Invalid(RangeField::Start)},
        RangeRow{"EndNotANumber", u"5", u"1e", Invalid(RangeField::End)},
        RangeRow{"BothNotNumbersFocusesTheStart", u"a", u"b", Invalid(RangeField::Start)},
        RangeRow{"StartBelowOne", u"0", u"3", Invalid(RangeField::Start)},
        RangeRow{"StartRoundingToZero", u".5", u"3", Invalid(RangeField::Start)},
        RangeRow{"NegativeStart", u"-1", u"3", Invalid(RangeField::Start)},
        RangeRow{"EndAbove32", u"3", u"33", Invalid(RangeField::End)},
        RangeRow{"StartBelowOneIsCheckedBeforeEndAbove32", u"0", u"99", Invalid(RangeField::Start)},
        RangeRow{"EndBeforeStartFocusesTheStart", u"7", u"6", Invalid(RangeField::Start)},
        RangeRow{"NegativeEndIsBeforeTheStart", u"1", u"-1", Invalid(RangeField::Start)},
        RangeRow{"SinglePosition", u"5", u"5", Accepted(5, 5)},
        RangeRow{"WholeRange", u"1", u"32", Accepted(1, 32)},
        RangeRow{"RoundedValues", u".6", u"1.", Accepted(1, 1)},
        RangeRow{"SpacesAndSigns", u" 2", u"+9", Accepted(2, 9)},
        RangeRow{"FullWidthDigits", u"１", u"３２", Accepted(1, 32)}),
    [](const ::testing::TestParamInfo<RangeRow>& row) { return row.param.name; });

} // namespace
} // namespace cipherloom
