#pragma once

#include "generation/Cipherloom_Main.h"
#include "runtime/random_source.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace cipherloom {

inline constexpr std::int16_t kMinLength = 1;
inline constexpr std::int16_t kMaxLength = 32;

// One PositionCode (class * 4 + case + 1) per position; index 0 is never drawn.
using PositionPlan = std::array<std::uint8_t, kMaxLength + 1>;

constexpr std::uint8_t MakePositionCode(CharClass charClass, CaseOpt caseOpt)
{
    const int code = static_cast<int>(charClass) * 4 + static_cast<int>(caseOpt) + 1;
    return static_cast<std::uint8_t>(code);
}

// Throws std::out_of_range for a length outside 1..32 or, in range mode, a range end above 32.
PositionPlan BuildPositionPlan(const GenerationSettings& settings, std::int16_t length);

// One character for a PositionCode by rejection sampling, or nothing for a code the settings
// never produce (class above 3, or selector 0 in classes 1 to 3).
std::optional<char> DrawCharacter(std::uint8_t code, RandomSource& random);

// Builds the plan, reseeds once, then draws positions 1..length in order.
std::string GeneratePassword(const GenerationSettings& settings, std::int16_t length,
                             RandomSource& random);

} // namespace cipherloom
