#include "generation/numeric_entry.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <string>

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

// The folded text without the spaces around it and the sign, split at the decimal point.
struct Parsed
{
    bool negative = false;
    std::u16string whole;
    std::u16string fraction;
};

std::optional<Parsed> Parse(std::u16string_view text)
{
    std::u16string body(text.size(), u' ');
    std::ranges::transform(text, body.begin(), Fold);
    body.erase(0, std::min(body.find_first_not_of(u' '), body.size()));
    body.erase(body.find_last_not_of(u' ') + 1);

    Parsed parsed;
    if (!body.empty() && (body.front() == u'+' || body.front() == u'-')) {
        parsed.negative = body.front() == u'-';
        body.erase(0, 1);
    }
    const auto point = body.find(u'.');
    parsed.whole = body.substr(0, point);
    parsed.fraction = point == std::u16string::npos ? std::u16string() : body.substr(point + 1);
    const std::u16string digits = parsed.whole + parsed.fraction;
    if (digits.empty() || !std::ranges::all_of(digits, IsDigit)) {
        return std::nullopt;
    }
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
    // Rounded in decimal, so that halves are exact.
    constexpr long kSaturation = std::numeric_limits<std::int16_t>::max() + 1L;
    long whole = 0;
    for (const char16_t c : parsed->whole) {
        whole = std::min(whole * 10 + (c - u'0'), kSaturation);
    }
    constexpr int kHalf = 5;
    const std::u16string_view fraction = parsed->fraction;
    const int first = fraction.empty() ? 0 : fraction.front() - u'0';
    const bool restNonZero = fraction.find_first_not_of(u'0', 1) != fraction.npos;
    if (first > kHalf || (first == kHalf && (restNonZero || whole % 2 == 1))) {
        ++whole;
    }
    const long value = parsed->negative ? -whole : whole;
    return static_cast<std::int16_t>(std::clamp<long>(
        value, std::numeric_limits<std::int16_t>::min(), std::numeric_limits<std::int16_t>::max()));
}

} // namespace cipherloom
