#pragma once

namespace cipherloom {

// Uniform single-precision values for the character draw.
class RandomSource
{
public:
    virtual ~RandomSource() = default;

    // A value r with 0 <= r < 1.
    virtual float Next() = 0;
    // Called once per password, after the plan is built and before the first draw.
    virtual void Reseed() = 0;

protected:
    RandomSource() = default;
    RandomSource(const RandomSource&) = default;
    RandomSource& operator=(const RandomSource&) = default;
};

} // namespace cipherloom
