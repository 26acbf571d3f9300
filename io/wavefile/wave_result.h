// Result codes of the WAV/RF64 file layer (0 success).
#pragma once

namespace orvelan::io {

inline constexpr int kWaveOk = 0;
// Bad argument to a write: no channels, no rate, bytes per sample outside
// 1 to 4, or a frame too large for the 16-bit block align.
inline constexpr int kWaveBadArgument = 8;
// A chunk too short or unfit for its record, a format nothing can play,
// or a file without a format or a data chunk.
inline constexpr int kWaveChunkUnfit = 17;
// The file cannot be created or opened in the requested mode.
inline constexpr int kWaveCannotOpen = 101;
// Empty file name.
inline constexpr int kWaveNoFileName = 104;
// Not a RIFF or RF64 file of form "WAVE".
inline constexpr int kWaveNotWave = 105;
// Shorter than the 12-byte header, or a chunk body shorter than announced.
inline constexpr int kWaveTruncated = 107;
// The file system refused a read or a write, or a written file is shorter
// than its own header.
inline constexpr int kWaveIoError = 108;

}  // namespace orvelan::io
