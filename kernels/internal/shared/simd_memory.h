// Unaligned, alias-safe scalar access for kernel code. Element pointers need
// not be aligned to their element size, so scalar heads and tails go through
// memcpy (one mov after optimisation) instead of a misaligned typed pointer.
#pragma once

#include <cstring>

template <typename T>
inline T dspLoad(const void* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <typename T>
inline void dspStore(void* p, T v) {
    std::memcpy(p, &v, sizeof v);
}
