#include "generation/numeric_entry.h"

#include <limits>
#include <optional>

namespace cipherloom {
namespace {

constexpr char16_t kFullWidthOffset = u'０' - u'0'; // U+FF10 - U+0030
constexpr char16_t kIdeographicSpace = u'\u3000';

// Maps the full-width forms an input method produces onto ASCII; everything else unchanged.
constexpr char16_t Fold(char16_t c)
{
    if (c == kIdeographicSpace) {
        return u' ';
    }
    if ((c >= u'０' && c <= u'９') || c == u'＋' || c == u'－' || c == u'．') {
        return static_cast<char16_t>(c - kFullWidthOffset);
    }
    return c;
}

constexpr bool IsDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

struct Parsed
{
    bool negative = false;
    std::u16string_view::size_type bodyBegin = 0; // first digit or point
    std::u16string_view::size_type bodyEnd = 0;
};

std::optional<Parsed> Parse(std::u16string_view text)
{
    std::u16string_view::size_type begin = 0;
    std::u16string_view::size_type end = text.size();
    while (begin < end && Fold(text[begin]) == u' ') {
        ++begin;
    }
    while (end > begin && Fold(text[end - 1]) == u' ') {
        --end;
    }

    Parsed parsed;
    if (begin < end && (Fold(text[begin]) == u'+' || Fold(text[begin]) == u'-')) {
        parsed.negative = Fold(text[begin]) == u'-';
        ++begin;
    }
    bool sawDigit = false;
    bool sawPoint = false;
    for (auto i = begin; i < end; ++i) {
        const char16_t c = Fold(text[i]);
        if (IsDigit(c)) {
            sawDigit = true;
        } else if (c == u'.' && !sawPoint) {
            sawPoint = true;
        } else {
            return std::nullopt;
        }
    }
    if (!sawDigit) {
        return std::nullopt;
    }
    parsed.bodyBegin = begin;
    parsed.bodyEnd = end;
    return parsed;
}

} // namespace

bool IsEmpty(std::u16string_view text)
{
    return text.empty();
}

bool IsNumeric(std::u16string_view text)
{
    return Parse(text).has_value();
}

std::int16_t NumericValue(std::u16string_view text)
{
    const auto parsed = Parse(text);
    if (!parsed) {
        return 0;
    }

    // Rounded in decimal, so that halves are exact: the integer part, then the first fraction
    // digit and whether anything non-zero follows it.
    constexpr long kSaturation = std::numeric_limits<std::int16_t>::max() + 1L;
    long whole = 0;
    int firstFraction = 0;
    bool restNonZero = false;
    bool inFraction = false;
    bool firstFractionSeen = false;
    for (auto i = parsed->bodyBegin; i < parsed->bodyEnd; ++i) {
        const char16_t c = Fold(text[i]);
        if (c == u'.') {
            inFraction = true;
            continue;
        }
        const int digit = c - u'0';
        if (!inFraction) {
            whole = whole * 10 + digit;
            if (whole > kSaturation) {
                whole = kSaturation;
            }
        } else if (!firstFractionSeen) {
            firstFraction = digit;
            firstFractionSeen = true;
        } else if (digit != 0) {
            restNonZero = true;
        }
    }

    constexpr int kHalf = 5;
    const bool roundUp = firstFraction > kHalf || (firstFraction == kHalf && restNonZero) ||
                         (firstFraction == kHalf && !restNonZero && whole % 2 == 1);
    if (roundUp) {
        ++whole;
    }
    const long value = parsed->negative ? -whole : whole;
    if (value > std::numeric_limits<std::int16_t>::max()) {
        return std::numeric_limits<std::int16_t>::max();
    }
    if (value < std::numeric_limits<std::int16_t>::min()) {
        return std::numeric_limits<std::int16_t>::min();
    }
    return static_cast<std::int16_t>(value);
}

} // namespace cipherloom
