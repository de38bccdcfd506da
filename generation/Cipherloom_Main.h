#pragma once

#include <cstdint>

namespace cipherloom {

// Each enumerator's value is the Index of the option button that stands for it.
enum class CharClass : std::uint8_t
{
    Digits = 0,
    Letters = 1,
    Alphanumeric = 2,
    AlphanumericSymbols = 3,
};

enum class CaseOpt : std::uint8_t
{
    All = 0,
    LowerOnly = 1,
    UpperOnly = 2,
};

enum class PositionMode : std::uint8_t
{
    Off = 0,
    First = 1,
    Last = 2,
    Range = 3,
};

// The one record the windows share with the generator. Zeroed at start, which matches
// the option buttons selected at start; never reset during a run.
struct GenerationSettings
{
    std::uint8_t MainType = 0;    // CharClass of ordinary positions
    std::uint8_t MainOpt = 0;     // CaseOpt of ordinary positions
    std::uint8_t SwitchMode = 0;  // PositionMode
    std::uint8_t SpecialType = 0; // CharClass of special positions
    std::uint8_t SpecialOpt = 0;  // CaseOpt of special positions
    std::uint8_t RangeStart = 0;  // written only by a successful range check
    std::uint8_t RangeEnd = 0;

    friend bool operator==(const GenerationSettings&, const GenerationSettings&) = default;
};

} // namespace cipherloom
