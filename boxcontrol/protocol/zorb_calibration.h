// The layout of the box's calibration block. The box serves it in pages of
// 32 bytes, each page's payload being the bytes as upper-case hex text. The
// block opens with a 19-byte header whose bytes 17 and 18 hold the format
// and the data length plus 3; the data follow: a version byte and 32
// big-endian 16-bit values in units of 1/4096 dB, one per capsule.
#pragma once

namespace orvelan::boxcontrol {

inline constexpr int kCalibrationPageBytes = 32;
inline constexpr int kCalibrationHeaderBytes = 19;
inline constexpr int kCalibrationFormatByte = 17;
inline constexpr int kCalibrationLengthByte = 18;
inline constexpr int kCalibrationLengthBias = 3;
inline constexpr int kCalibrationFormat = 1;
inline constexpr int kCalibrationDataBytes = 65;
inline constexpr int kCalibrationVersion = 1;
inline constexpr float kCalibrationDbPerUnit = 1.0f / 4096.0f;

}  // namespace orvelan::boxcontrol
