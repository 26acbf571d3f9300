// The lowpass filters of the host's integer resamplers: one Kaiser-windowed
// sinc per resampling factor (2, 3, 4, 6), designed once at the rate the
// signal has between zero insertion and decimation. Each row has unity gain
// at DC; the host scales it by the up factor, which zero insertion divides
// out.
#pragma once

namespace orvelan::io {

inline constexpr int kResamplerRows = 4;
inline constexpr int kResamplerMaxTaps = 251;

// The row for the larger of the two factors: 2 -> 0, 3 -> 1, 4 -> 2,
// 6 -> 3; -1 for any other factor.
int resamplerRow(int factor);
// 85, 127, 169 and 251 taps.
int resamplerTapCount(int row);
// kResamplerMaxTaps floats, zero beyond the row's tap count.
const float* resamplerTaps(int row);

}  // namespace orvelan::io
