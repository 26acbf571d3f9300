// The size of the processor's largest cache, for the kernels that decide
// when to write past the caches. Answered by start-up's processor
// identification (core/cache_size.cpp).
#pragma once

#include <cstddef>
#include <optional>

// From the CPUID leaf 2 descriptors, or nothing (foreign vendor, repeating
// leaf 2, no known descriptor).
std::optional<std::size_t> largestCacheSize();
