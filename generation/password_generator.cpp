#include "generation/password_generator.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace cipherloom {
namespace {

struct CodeRun
{
    std::uint8_t first;
    std::uint8_t last;

    constexpr bool Contains(int x) const { return x >= first && x <= last; }
};

// One row per class and case selector: x = floor(r * multiplier) + base, and an x inside a
// rejected run is thrown away and drawn again. The multipliers deliberately span the gaps.
struct DrawRow
{
    int multiplier;
    int base;
    CodeRun rejected[2];
};

constexpr CodeRun kNone{1, 0}; // empty run

constexpr DrawRow kDigitsRow{10, 48, {kNone, kNone}};

// Indexed by [class - 1][selector - 1].
constexpr DrawRow kDrawTable[3][3] = {
    // Letters
    {
        {58, 65, {{91, 96}, kNone}}, // All
        {26, 97, {kNone, kNone}},    // LowerOnly
        {26, 65, {kNone, kNone}},    // UpperOnly
    },
    // Alphanumeric
    {
        {75, 48, {{58, 64}, {91, 96}}}, // All
        {75, 48, {{58, 96}, kNone}},    // LowerOnly
        {43, 48, {{58, 64}, kNone}},    // UpperOnly
    },
    // Alphanumeric and symbols
    {
        {94, 33, {kNone, kNone}},     // All
        {94, 33, {{65, 90}, kNone}},  // LowerOnly
        {94, 33, {{97, 122}, kNone}}, // UpperOnly
    },
};

constexpr int kCodesPerClass = 4;
constexpr int kLastClass = 3;

} // namespace

PositionPlan BuildPositionPlan(const GenerationSettings& settings, std::int16_t length)
{
    if (length < kMinLength || length > kMaxLength) {
        throw std::out_of_range("password length outside 1..32");
    }
    if (settings.SwitchMode == PositionMode::Range && settings.RangeEnd > kMaxLength) {
        throw std::out_of_range("special range ends beyond position 32");
    }

    PositionPlan plan{};
    const std::uint8_t ordinary = MakePositionCode(settings.MainType, settings.MainOpt);
    std::fill_n(plan.begin() + 1, length, ordinary);

    const std::uint8_t special = MakePositionCode(settings.SpecialType, settings.SpecialOpt);
    switch (settings.SwitchMode) {
    case PositionMode::First:
        plan[1] = special;
        break;
    case PositionMode::Last:
        plan[length] = special;
        break;
    case PositionMode::Range:
        // Positions beyond the length are written but never drawn, which cuts the range there.
        for (int j = settings.RangeStart; j <= settings.RangeEnd; ++j) {
            plan[j] = special;
        }
        break;
    case PositionMode::Off:
    default:
        break;
    }
    return plan;
}

std::optional<char> DrawCharacter(std::uint8_t code, RandomSource& random)
{
    const int charClass = code / kCodesPerClass;
    const int selector = code % kCodesPerClass;
    if (charClass > kLastClass || (charClass != 0 && selector == 0)) {
        return std::nullopt;
    }
    // Digits never look at the case.
    const DrawRow& row = charClass == 0 ? kDigitsRow : kDrawTable[charClass - 1][selector - 1];
    for (;;) {
        const float r = random.Next();
        // Outside [0, 1) or NaN would land outside the row's span: draw again.
        if (!(r >= 0.0f && r < 1.0f)) {
            continue;
        }
        // In double precision: rounding the product to float first can carry it across an integer.
        const int x =
            static_cast<int>(std::floor(static_cast<double>(r) * row.multiplier)) + row.base;
        if (!row.rejected[0].Contains(x) && !row.rejected[1].Contains(x)) {
            return static_cast<char>(x);
        }
    }
}

std::string GeneratePassword(const GenerationSettings& settings, std::int16_t length,
                             RandomSource& random)
{
    const PositionPlan plan = BuildPositionPlan(settings, length);
    random.Reseed();

    std::string password;
    password.reserve(static_cast<std::size_t>(length));
    for (int i = 1; i <= length; ++i) {
        if (const auto c = DrawCharacter(plan[i], random)) {
            password.push_back(*c);
        }
    }
    return password;
}

} // namespace cipherloom
