#pragma once

#include "runtime/random_source.h"

namespace cipherloom {

// The operating system's cryptographic generator: no seed to guess, so Reseed() does nothing.
class SystemRandomSource final : public RandomSource
{
public:
    float Next() override;
    void Reseed() override;
};

} // namespace cipherloom
