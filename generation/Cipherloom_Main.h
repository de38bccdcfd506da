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

// The one record the windows share with the generator; zero matches the buttons set at start.
struct GenerationSettings
{
    CharClass MainType = CharClass::Digits; // ordinary positions
    CaseOpt MainOpt = CaseOpt::All;
    PositionMode SwitchMode = PositionMode::Off;
    CharClass SpecialType = CharClass::Digits; // special positions
    CaseOpt SpecialOpt = CaseOpt::All;
    std::uint8_t RangeStart = 0; // written only by a successful range check
    std::uint8_t RangeEnd = 0;

    friend bool operator==(const GenerationSettings&, const GenerationSettings&) = default;
};
// One byte a field; with a fixed underlying type, any byte is a valid value of each enumeration.
static_assert(sizeof(GenerationSettings) == 7);

} // namespace cipherloom
