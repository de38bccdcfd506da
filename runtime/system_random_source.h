#pragma once

#include "runtime/random_source.h"

namespace cipherloom {

// Draws from the operating system's cryptographic generator. Every value is fresh entropy, so
// there is no seed for anyone to guess; Reseed() has nothing to do.
class SystemRandomSource final : public RandomSource
{
public:
    SystemRandomSource() = default;

    float Next() override;
    void Reseed() override;
};

} // namespace cipherloom
