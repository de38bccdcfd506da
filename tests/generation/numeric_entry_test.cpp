#include "generation/numeric_entry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <ostream>
#include <regex>
#include <string>

namespace cipherloom {
namespace {

// What a caller sees: Empty, NotNumeric, or a value.
struct Outcome
{
    bool empty = false;
    std::optional<std::int16_t> value; // nullopt and !empty: not numeric

    friend bool operator==(const Outcome&, const Outcome&) = default;
    friend void PrintTo(const Outcome& o, std::ostream* os)
    {
        if (o.empty) {
            *os << "Empty";
        } else if (o.value) {
            *os << "Value(" << *o.value << ")";
        } else {
            *os << "NotNumeric";
        }
    }
};

const Outcome kEmpty{true, std::nullopt};
const Outcome kNotNumeric{false, std::nullopt};
Outcome Value(std::int16_t v)
{
    return Outcome{false, v};
}

Outcome Classify(std::u16string_view text)
{
    if (IsEmpty(text)) {
        return kEmpty;
    }
    if (!IsNumeric(text)) {
        return kNotNumeric;
    }
    return Value(NumericValue(text));
}

struct EntryRow
{
    const char* name;
    std::u16string text;
    Outcome expected;

    friend void PrintTo(const EntryRow& row, std::ostream* os) { *os << row.name; }
};

class NumericEntryTest : public ::testing::TestWithParam<EntryRow>
{};

TEST_P(NumericEntryTest, ClassifiesAndReadsTheText)
{
    EXPECT_EQ(Classify(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, NumericEntryTest,
    ::testing::Values(
        EntryRow{"NoCharactersIsEmpty", u"", kEmpty},
        EntryRow{"OneSpaceIsNotEmptyButNotANumber", u" ", kNotNumeric},
        EntryRow{"TwoSpacesAreNotANumber", u"  ", kNotNumeric},
        EntryRow{"SingleDigit", u"8", Value(8)}, EntryRow{"LeadingZero", u"08", Value(8)},
        EntryRow{"TwoDigits", u"32", Value(32)}, EntryRow{"PlusSign", u"+5", Value(5)},
        EntryRow{"MinusSign", u"-1", Value(-1)}, EntryRow{"TrailingPoint", u"5.", Value(5)},
        EntryRow{"PointFiveRoundsToEvenZero", u".5", Value(0)},
        EntryRow{"PointSixRoundsUp", u".6", Value(1)}, EntryRow{"OnePointIsOne", u"1.", Value(1)},
        EntryRow{"OnePointFiveRoundsToEvenTwo", u"1.5", Value(2)},
        EntryRow{"TwoPointFiveRoundsToEvenTwo", u"2.5", Value(2)},
        EntryRow{"NinePointFiveRoundsToEvenTen", u"9.5", Value(10)},
        EntryRow{"JustAboveAHalfRoundsUp", u"2.51", Value(3)},
        EntryRow{"NegativeHalfRoundsToEven", u"-2.5", Value(-2)},
        EntryRow{"NegativeThreeAndAHalfRoundsToEven", u"-3.5", Value(-4)},
        EntryRow{"NegativePointFiveIsZero", u"-.5", Value(0)},
        EntryRow{"SpaceBeforeDigit", u" 7", Value(7)}, EntryRow{"SpaceAfterDigit", u"7 ", Value(7)},
        EntryRow{"SpaceBetweenDigits", u"1 2", kNotNumeric},
        EntryRow{"SpaceBetweenSignAndDigit", u"- 1", kNotNumeric},
        EntryRow{"LoneSign", u"+", kNotNumeric}, EntryRow{"LonePoint", u".", kNotNumeric},
        EntryRow{"TwoPoints", u"1..", kNotNumeric}, EntryRow{"TrailingSign", u"1-", kNotNumeric},
        EntryRow{"TwoSigns", u"+-1", kNotNumeric},
        EntryRow{"ExponentWithoutDigits", u"1e", kNotNumeric},
        EntryRow{"ExponentWithDigits", u"1e1", kNotNumeric},
        EntryRow{"LetterFirst", u"a1", kNotNumeric}, EntryRow{"HexPrefix", u"&H", kNotNumeric},
        EntryRow{"ThousandsSeparator", u"1,0", kNotNumeric},
        EntryRow{"TabIsNotASpace", u"\t1", kNotNumeric},
        EntryRow{"FullWidthDigit", u"８", Value(8)},
        EntryRow{"FullWidthTwoDigits", u"１２", Value(12)},
        EntryRow{"MixedWidthDigits", u"1２", Value(12)},
        EntryRow{"FullWidthMinus", u"－１", Value(-1)},
        EntryRow{"FullWidthPlus", u"＋３", Value(3)}, EntryRow{"FullWidthPoint", u"．６", Value(1)},
        EntryRow{"IdeographicSpaceBefore",
                 u"\u3000"
                 u"3",
                 Value(3)},
        EntryRow{"IdeographicSpaceAlone", u"\u3000", kNotNumeric},
        EntryRow{"FullWidthLetter", u"ａ", kNotNumeric},
        EntryRow{"ArabicIndicDigit", u"\u0663", kNotNumeric},
        EntryRow{"LoneSurrogate", std::u16string(1, char16_t{0xD800}), kNotNumeric},
        EntryRow{"LongNumberSaturates", u"99999", Value(std::numeric_limits<std::int16_t>::max())},
        EntryRow{"LongNegativeSaturates", u"-99999",
                 Value(std::numeric_limits<std::int16_t>::min())},
        EntryRow{"ManyFractionDigitsAfterAHalf", u"0.50000000001", Value(1)}),
    [](const ::testing::TestParamInfo<EntryRow>& row) { return row.param.name; });

// Every text of one and two printable ASCII characters, checked against the forms a two-character
// field can hold: d, dd, +d, -d, .d, d., and a digit with one space before or after it.
Outcome Reference(const std::string& text)
{
    static const std::regex kForms(R"(\d|\d\d|[+-]\d|\.\d|\d\.| \d|\d )");
    if (text.empty()) {
        return kEmpty;
    }
    if (!std::regex_match(text, kForms)) {
        return kNotNumeric;
    }
    const auto digitAt = [&](std::size_t i) {
        return static_cast<std::int16_t>(text[i] - '0');
    };
    if (text.size() == 1) {
        return Value(digitAt(0));
    }
    switch (text[0]) {
    case '+':
        return Value(digitAt(1));
    case '-':
        return Value(static_cast<std::int16_t>(-digitAt(1)));
    case '.':
        return Value(digitAt(1) > 5 ? 1 : 0); // .5 goes to the even neighbour, 0
    case ' ':
        return Value(digitAt(1));
    default:
        break;
    }
    if (text[1] == '.' || text[1] == ' ') {
        return Value(digitAt(0));
    }
    return Value(static_cast<std::int16_t>(digitAt(0) * 10 + digitAt(1)));
}

TEST(NumericEntryExhaustive, AllShortPrintableAsciiTextsMatchTheListedForms)
{
    constexpr char kFirstPrintable = ' ';
    constexpr char kLastPrintable = '~';
    std::vector<std::string> texts{""};
    for (char a = kFirstPrintable; a <= kLastPrintable; ++a) {
        texts.emplace_back(1, a);
        for (char b = kFirstPrintable; b <= kLastPrintable; ++b) {
            texts.push_back(std::string{a, b});
        }
    }
    for (const std::string& text : texts) {
        const std::u16string wide(text.begin(), text.end());
        ASSERT_EQ(Classify(wide), Reference(text)) << '"' << text << '"';
    }
}

} // namespace
} // namespace cipherloom
