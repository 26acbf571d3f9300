// Byte counts of element vectors for the byte-count kernels (zero, copy) and
// the typed allocators.
#pragma once

#include <cstddef>

// len elements of elementSize bytes, formed in 64 bits: 4 * len already
// exceeds 32 bits for len >= 2^30.
inline std::size_t dspByteCount(int len, std::size_t elementSize) {
    return static_cast<std::size_t>(len) * elementSize;
}
