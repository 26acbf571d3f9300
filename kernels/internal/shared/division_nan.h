// The NaN the divisions write where a divisor is zero and no infinity
// applies: the generic variants give the x87 default NaN (sign set), the SSE
// variants the SSE default NaN (sign clear).
#pragma once

#include <cstdint>

constexpr std::uint32_t kGenericDivisionNaN = 0xFFC00000u;
constexpr std::uint32_t kSseDivisionNaN = 0x7FC00000u;
