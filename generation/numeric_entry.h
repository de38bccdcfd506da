#pragma once

#include <cstdint>
#include <string_view>

namespace cipherloom {

// The rules of the three number fields, tested in this order: IsEmpty, IsNumeric, then
// NumericValue against the caller's bounds. Full-width digits, signs, point and the ideographic
// space (as a Japanese input method types them) count as their ASCII forms.

// True when the text has no characters at all; a text of spaces is not empty.
bool IsEmpty(std::u16string_view text);

// True when the text, spaces around it ignored, is an optional sign followed by digits with
// at most one decimal point and at least one digit.
bool IsNumeric(std::u16string_view text);

// The number rounded half to even, saturated to 16 bits. Only meaningful after IsNumeric.
std::int16_t NumericValue(std::u16string_view text);

} // namespace cipherloom
