#include "generation/range_check.h"

#include "generation/numeric_entry.h"
#include "generation/password_generator.h"

namespace cipherloom {
namespace {

RangeCheckResult Refuse(std::u16string_view message, RangeField focus)
{
    return RangeCheckResult{false, 0, 0, message, focus};
}

} // namespace

RangeCheckResult CheckRange(std::u16string_view startText, std::u16string_view endText)
{
    if (IsEmpty(startText)) {
        return Refuse(kRangeMissingMessage, RangeField::Start);
    }
    if (IsEmpty(endText)) {
        return Refuse(kRangeMissingMessage, RangeField::End);
    }
    if (!IsNumeric(startText)) {
        return Refuse(kRangeInvalidMessage, RangeField::Start);
    }
    if (!IsNumeric(endText)) {
        return Refuse(kRangeInvalidMessage, RangeField::End);
    }
    const std::int16_t start = NumericValue(startText);
    const std::int16_t end = NumericValue(endText);
    if (start < kMinLength) {
        return Refuse(kRangeInvalidMessage, RangeField::Start);
    }
    if (end > kMaxLength) {
        return Refuse(kRangeInvalidMessage, RangeField::End);
    }
    if (end < start) {
        return Refuse(kRangeInvalidMessage, RangeField::Start);
    }
    return RangeCheckResult{true,
                            static_cast<std::uint8_t>(start),
                            static_cast<std::uint8_t>(end),
                            {},
                            RangeField::None};
}

} // namespace cipherloom
