#pragma once

#include <cstddef>

namespace cipherloom {

// Overwrites memory that held a secret. The volatile stores cannot be dropped as dead stores,
// even when the memory is released right after.
inline void WipeMemory(void* memory, std::size_t bytes)
{
    volatile auto* p = static_cast<volatile unsigned char*>(memory);
    for (std::size_t i = 0; i < bytes; ++i) {
        p[i] = 0;
    }
}

} // namespace cipherloom
