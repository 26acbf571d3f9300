// Address tests of the kernels' alignment steps, shared by every family and
// level (plain integer arithmetic, so no instruction set is involved).
#pragma once

#include <cstddef>
#include <cstdint>

inline std::uintptr_t addressOf(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

// bytes must be a power of two.
inline bool onBoundary(const void* p, std::uintptr_t bytes) { return (addressOf(p) & (bytes - 1)) == 0; }

// Floats to process singly before a 4-byte aligned pointer reaches a 16-byte
// boundary: (-(address / 4)) mod 4, 0 to 3.
inline std::size_t floatsToBoundary16(const void* p) { return ((0 - addressOf(p)) >> 2) & 3; }
