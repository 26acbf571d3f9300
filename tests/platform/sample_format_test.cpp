// Conversions between floats and the sample types of the driver halves:
// scale, rounding, saturation and sign extension per type.
#include "audio/sample_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace orvelan::audio {
namespace {

// The integer a type's slot holds, read back little-endian and sign-extended.
std::int64_t slotValue(const std::uint8_t* bytes, SampleType type) {
  const int width = sampleTypeBytes(type);
  std::uint64_t raw = 0;
  for (int i = width - 1; i >= 0; --i) raw = raw << 8 | bytes[i];
  const int shift = 64 - 8 * width;
  return std::int64_t(raw << shift) >> shift;
}

struct ToIntegerCase {
  SampleType type;
  float in;
  std::int64_t expected;
};

TEST(SampleFormat, FloatsBecomeIntegersRoundedAndSaturated) {
  const ToIntegerCase cases[] = {
      {SampleType::Int16LSB, 1.0f, 32767},           {SampleType::Int16LSB, -1.0f, -32768},
      {SampleType::Int16LSB, 0.5f, 16384},           {SampleType::Int16LSB, 2.0f, 32767},
      {SampleType::Int16LSB, -3.0f, -32768},         {SampleType::Int16LSB, 1.6f / 32768, 2},
      {SampleType::Int16LSB, -1.6f / 32768, -2},     {SampleType::Int24LSB, 0.5f, 4194304},
      {SampleType::Int24LSB, -1.0f, -8388608},       {SampleType::Int24LSB, 1.0f, 8388607},
      {SampleType::Int24LSB, -0.25f, -2097152},      {SampleType::Int32LSB, 1.0f, 2147483647},
      {SampleType::Int32LSB, -1.0f, -2147483648LL},  {SampleType::Int32LSB, 0.25f, 536870912},
      {SampleType::Int32LSB, std::nanf(""), 0},      {SampleType::Int16LSB, std::numeric_limits<float>::infinity(), 32767},
  };
  for (const auto& c : cases) {
    std::uint8_t slot[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    floatsToSamples(&c.in, slot, c.type, 1);
    EXPECT_EQ(slotValue(slot, c.type), c.expected) << "type " << int(c.type) << " in " << c.in;
    // Only the type's own bytes are written.
    for (int i = sampleTypeBytes(c.type); i < 4; ++i) EXPECT_EQ(slot[i], 0xAA);
  }
}

TEST(SampleFormat, IntegersBecomeFloatsAtFullScaleOne) {
  const std::int16_t int16[] = {-32768, 16384, 1};
  const std::uint8_t int24[] = {0x00, 0x00, 0x40, /**/ 0x00, 0x00, 0x80, /**/ 0xFF, 0xFF, 0xFF};
  const std::int32_t int32[] = {INT32_MIN, 1 << 30, -1};
  float out[3];

  samplesToFloats(int16, SampleType::Int16LSB, out, 3);
  EXPECT_EQ(out[0], -1.0f);
  EXPECT_EQ(out[1], 0.5f);
  EXPECT_EQ(out[2], 1.0f / 32768);

  samplesToFloats(int24, SampleType::Int24LSB, out, 3);
  EXPECT_EQ(out[0], 0.5f);
  EXPECT_EQ(out[1], -1.0f);  // the top bit of the third byte is the sign
  EXPECT_EQ(out[2], -1.0f / 8388608);

  samplesToFloats(int32, SampleType::Int32LSB, out, 3);
  EXPECT_EQ(out[0], -1.0f);
  EXPECT_EQ(out[1], 0.5f);
  EXPECT_EQ(out[2], float(-1.0 / 2147483648.0));
}

TEST(SampleFormat, FloatTypeCopiesAndUnknownTypeIsLeftAlone) {
  const std::vector<float> in = {0.25f, -2.0f, 1.5f};
  std::vector<float> out(3, 9.0f);
  floatsToSamples(in.data(), out.data(), SampleType::Float32LSB, 3);
  EXPECT_EQ(out, in);  // no scaling, no saturation

  const auto unknown = SampleType(42);
  EXPECT_EQ(sampleTypeBytes(unknown), 0);
  std::vector<float> untouched(3, 9.0f);
  floatsToSamples(in.data(), untouched.data(), unknown, 3);
  samplesToFloats(in.data(), unknown, untouched.data(), 3);
  EXPECT_EQ(untouched, std::vector<float>(3, 9.0f));
}

TEST(SampleFormat, EveryIntegerTypeRoundTripsItsOwnValues) {
  for (SampleType type : {SampleType::Int16LSB, SampleType::Int24LSB, SampleType::Int32LSB}) {
    const int bits = 8 * sampleTypeBytes(type);
    const double step = std::ldexp(1.0, -(bits - 1));
    const std::vector<float> in = {-1.0f, float(-step), 0.0f, float(step), float(1.0 - step * 256)};
    std::vector<std::uint8_t> slots(in.size() * 4);
    std::vector<float> back(in.size());
    floatsToSamples(in.data(), slots.data(), type, int(in.size()));
    samplesToFloats(slots.data(), type, back.data(), int(in.size()));
    EXPECT_EQ(back, in) << "type " << int(type);
  }
}

}  // namespace
}  // namespace orvelan::audio
