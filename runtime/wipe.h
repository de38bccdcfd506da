#pragma once

#include <cstddef>

namespace cipherloom {

// Overwrites a secret; volatile stores are not dropped as dead even when the memory goes next.
inline void WipeMemory(void* memory, std::size_t bytes)
{
    volatile auto* p = static_cast<volatile unsigned char*>(memory);
    for (std::size_t i = 0; i < bytes; ++i) {
        p[i] = 0;
    }
}

} // namespace cipherloom
