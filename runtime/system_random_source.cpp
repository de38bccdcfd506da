#include "runtime/system_random_source.h"

#include <QRandomGenerator>

#include <cstdint>

namespace cipherloom {
namespace {

// A float carries 24 significant bits: k / 2^24 for k < 2^24 is exact and always below 1.
constexpr int kFloatMantissaBits = 24;
constexpr int kDiscardedBits = 32 - kFloatMantissaBits;
constexpr float kScale = 1.0f / static_cast<float>(std::uint32_t{1} << kFloatMantissaBits);

} // namespace

float SystemRandomSource::Next()
{
    const std::uint32_t bits = QRandomGenerator::system()->generate() >> kDiscardedBits;
    return static_cast<float>(bits) * kScale;
}

void SystemRandomSource::Reseed()
{
    // Deliberately empty: the system generator is never seeded from a clock or anything else.
}

} // namespace cipherloom
