// Address tests of the kernels' alignment steps.
#pragma once

#include <cstdint>

inline std::uintptr_t dspAddressOf(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }
inline bool dspIsAligned16(const void* p) { return (dspAddressOf(p) & 15) == 0; }
