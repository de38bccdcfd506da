#pragma once

#include <cstdint>
#include <string_view>

namespace cipherloom {

inline constexpr std::u16string_view kRangeMissingMessage = u"範囲が指定されていません。";
inline constexpr std::u16string_view kRangeInvalidMessage = u"範囲指定が正しくありません。";

enum class RangeField : std::uint8_t
{
    None,
    Start,
    End,
};

struct RangeCheckResult
{
    bool ok = false;
    std::uint8_t start = 0;
    std::uint8_t end = 0;
    std::u16string_view message; // empty when ok
    RangeField focus = RangeField::None;

    friend bool operator==(const RangeCheckResult&, const RangeCheckResult&) = default;
};

// The options dialog's check of a special range, 1..32 inclusive at both ends.
// The first failing step wins; it names the message and the field that should get the focus.
RangeCheckResult CheckRange(std::u16string_view startText, std::u16string_view endText);

} // namespace cipherloom
