#include "audio/sample_format.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace orvelan::audio {

namespace {

// Rounds to nearest and saturates to [lowest, highest].
std::int64_t scaleToInteger(float value, double scale, std::int64_t lowest, std::int64_t highest) {
  const double scaled = std::nearbyint(double(value) * scale);
  if (!(scaled > double(lowest))) return std::isnan(scaled) ? 0 : lowest;
  if (scaled >= double(highest)) return highest;
  return std::int64_t(scaled);
}

}  // namespace

int sampleTypeBytes(SampleType type) {
  switch (type) {
    case SampleType::Int16LSB: return 2;
    case SampleType::Int24LSB: return 3;
    case SampleType::Int32LSB: return 4;
    case SampleType::Float32LSB: return 4;
  }
  return 0;
}

void floatsToSamples(const float* in, void* out, SampleType type, int frames) {
  auto* bytes = static_cast<std::uint8_t*>(out);
  switch (type) {
    case SampleType::Int16LSB:
      for (int i = 0; i < frames; ++i) {
        const auto v = std::int16_t(scaleToInteger(in[i], 32768.0, INT16_MIN, INT16_MAX));
        std::memcpy(bytes + 2 * i, &v, 2);
      }
      return;
    case SampleType::Int24LSB:
      for (int i = 0; i < frames; ++i) {
        const auto v = std::uint32_t(scaleToInteger(in[i], 8388608.0, -8388608, 8388607));
        bytes[3 * i] = std::uint8_t(v);
        bytes[3 * i + 1] = std::uint8_t(v >> 8);
        bytes[3 * i + 2] = std::uint8_t(v >> 16);
      }
      return;
    case SampleType::Int32LSB:
      for (int i = 0; i < frames; ++i) {
        const auto v = std::int32_t(scaleToInteger(in[i], 2147483648.0, INT32_MIN, INT32_MAX));
        std::memcpy(bytes + 4 * i, &v, 4);
      }
      return;
    case SampleType::Float32LSB:
      std::memcpy(out, in, sizeof(float) * std::size_t(frames));
      return;
  }
}

void samplesToFloats(const void* in, SampleType type, float* out, int frames) {
  const auto* bytes = static_cast<const std::uint8_t*>(in);
  switch (type) {
    case SampleType::Int16LSB:
      for (int i = 0; i < frames; ++i) {
        std::int16_t v;
        std::memcpy(&v, bytes + 2 * i, 2);
        out[i] = float(v) / 32768.0f;
      }
      return;
    case SampleType::Int24LSB:
      for (int i = 0; i < frames; ++i) {
        // Place the three bytes at the top of a 32-bit word, then shift back
        // arithmetically to extend the sign.
        const std::uint32_t raw = std::uint32_t(bytes[3 * i]) << 8 | std::uint32_t(bytes[3 * i + 1]) << 16 |
                                  std::uint32_t(bytes[3 * i + 2]) << 24;
        out[i] = float(std::int32_t(raw) >> 8) / 8388608.0f;
      }
      return;
    case SampleType::Int32LSB:
      for (int i = 0; i < frames; ++i) {
        std::int32_t v;
        std::memcpy(&v, bytes + 4 * i, 4);
        out[i] = float(double(v) / 2147483648.0);
      }
      return;
    case SampleType::Float32LSB:
      std::memcpy(out, in, sizeof(float) * std::size_t(frames));
      return;
  }
}

}  // namespace orvelan::audio
