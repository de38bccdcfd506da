#include "generation/numeric_entry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <regex>
#include <string>

namespace cipherloom {
namespace {

// What a caller sees, as text: "Empty", "NotNumeric" or the value.
const std::string kEmpty = "Empty";
const std::string kNotNumeric = "NotNumeric";

std::string Classify(std::u16string_view text)
{
    if (IsEmpty(text)) {
        return kEmpty;
    }
    return IsNumeric(text) ? std::to_string(NumericValue(text)) : kNotNumeric;
}

struct EntryRow
{
    const char* name;
    std::u16string text;
    std::string expected;

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
        EntryRow{"TwoSpacesAreNotANumber", u"  ", kNotNumeric}, EntryRow{"SingleDigit", u"8", "8"},
        EntryRow{"LeadingZero", u"08", "8"}, EntryRow{"TwoDigits", u"32", "32"},
        EntryRow{"PlusSign", u"+5", "5"}, EntryRow{"MinusSign", u"-1", "-1"},
        EntryRow{"TrailingPoint", u"5.", "5"}, EntryRow{"PointFiveRoundsToEvenZero", u".5", "0"},
        EntryRow{"PointSixRoundsUp", u".6", "1"}, EntryRow{"OnePointIsOne", u"1.", "1"},
        EntryRow{"OnePointFiveRoundsToEvenTwo", u"1.5", "2"},
        EntryRow{"TwoPointFiveRoundsToEvenTwo", u"2.5", "2"},
        EntryRow{"NinePointFiveRoundsToEvenTen", u"9.5", "10"},
        EntryRow{"JustAboveAHalfRoundsUp", u"2.51", "3"},
        EntryRow{"NegativeHalfRoundsToEven", u"-2.5", "-2"},
        EntryRow{"NegativeThreeAndAHalfRoundsToEven", u"-3.5", "-4"},
        EntryRow{"NegativePointFiveIsZero", u"-.5", "0"}, EntryRow{"SpaceBeforeDigit", u" 7", "7"},
        EntryRow{"SpaceAfterDigit", u"7 ", "7"},
        EntryRow{"SpaceBetweenDigits", u"1 2", kNotNumeric},
        EntryRow{"SpaceBetweenSignAndDigit", u"- 1", kNotNumeric},
        EntryRow{"LoneSign", u"+", kNotNumeric}, EntryRow{"LonePoint", u".", kNotNumeric},
        EntryRow{"TwoPoints", u"1..", kNotNumeric}, EntryRow{"TrailingSign", u"1-", kNotNumeric},
        EntryRow{"TwoSigns", u"+-1", kNotNumeric},
        EntryRow{"ExponentWithoutDigits", u"1e", kNotNumeric},
        EntryRow{"ExponentWithDigits", u"1e1", kNotNumeric},
        EntryRow{"LetterFirst", u"a1", kNotNumeric}, EntryRow{"HexPrefix", u"&H", kNotNumeric},
        EntryRow{"ThousandsSeparator", u"1,0", kNotNumeric},
        EntryRow{"TabIsNotASpace", u"\t1", kNotNumeric}, EntryRow{"FullWidthDigit", u"８", "8"},
        EntryRow{"FullWidthTwoDigits", u"１２", "12"}, EntryRow{"MixedWidthDigits", u"1２", "12"},
        EntryRow{"FullWidthMinus", u"－１", "-1"}, EntryRow{"FullWidthPlus", u"＋３", "3"},
        EntryRow{"FullWidthPoint", u"．６", "1"},
        EntryRow{"IdeographicSpaceBefore",
                 u"\u3000"
                 u"3",
                 "3"},
        EntryRow{"IdeographicSpaceAlone", u"\u3000", kNotNumeric},
        EntryRow{"FullWidthLetter", u"ａ", kNotNumeric},
        EntryRow{"ArabicIndicDigit", u"\u0663", kNotNumeric},
        EntryRow{"LoneSurrogate", std::u16string(1, char16_t{0xD800}), kNotNumeric},
        EntryRow{"LongNumberSaturates", u"99999", "32767"},
        EntryRow{"LongNegativeSaturates", u"-99999", "-32768"},
        EntryRow{"ManyFractionDigitsAfterAHalf", u"0.50000000001", "1"}),
    [](const ::testing::TestParamInfo<EntryRow>& row) { return row.param.name; });

// The forms a two-character field can hold: d, dd, +d, -d, .d, d., and a digit with one space
// before or after it; the C library reads the value, rounded half to even.
std::string Reference(const std::string& text)
{
    static const std::regex kForms(R"(\d|\d\d|[+-]\d|\.\d|\d\.| \d|\d )");
    if (text.empty()) {
        return kEmpty;
    }
    return std::regex_match(text, kForms) ? std::to_string(std::lrint(std::stod(text)))
                                          : kNotNumeric;
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
        ASSERT_EQ(Classify(std::u16string(text.begin(), text.end())), Reference(text))
            << '"' << text << '"';
    }
}

} // namespace
} // namespace cipherloom
