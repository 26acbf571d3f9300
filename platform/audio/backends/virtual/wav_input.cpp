#include "audio/backends/virtual/wav_input.h"

#include <cstdint>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

#include "audio/sample_format.h"

namespace orvelan::audio {

namespace {

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatFloat = 3;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;

std::uint32_t readLe(const std::uint8_t* p, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
  return v;
}

bool fail(std::string* error, const std::string& why) {
  if (error) *error = why;
  return false;
}

// The sample type of one frame's sample, or false when the format is not
// one the reader takes. 8-bit samples are unsigned and handled apart.
bool sampleTypeFor(std::uint16_t tag, int bits, SampleType& type) {
  if (tag == kFormatFloat && bits == 32) return type = SampleType::Float32LSB, true;
  if (tag != kFormatPcm) return false;
  switch (bits) {
    case 16: return type = SampleType::Int16LSB, true;
    case 24: return type = SampleType::Int24LSB, true;
    case 32: return type = SampleType::Int32LSB, true;
  }
  return false;
}

}  // namespace

bool readWavFile(const std::string& path, WavSamples& out, std::string* error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return fail(error, "cannot open " + path);
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 || std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
    return fail(error, path + " is not a RIFF WAVE file");

  std::uint16_t tag = 0;
  int channels = 0, bits = 0, blockAlign = 0;
  double rate = 0.0;
  const std::uint8_t* data = nullptr;
  std::size_t dataBytes = 0;
  for (std::size_t pos = 12; pos + 8 <= bytes.size();) {
    const std::uint8_t* chunk = bytes.data() + pos;
    const std::size_t size = readLe(chunk + 4, 4);
    const std::size_t available = std::min(size, bytes.size() - pos - 8);
    if (std::memcmp(chunk, "fmt ", 4) == 0 && available >= 16) {
      tag = std::uint16_t(readLe(chunk + 8, 2));
      channels = int(readLe(chunk + 10, 2));
      rate = readLe(chunk + 12, 4);
      blockAlign = int(readLe(chunk + 20, 2));
      bits = int(readLe(chunk + 22, 2));
      if (tag == kFormatExtensible && available >= 26) tag = std::uint16_t(readLe(chunk + 32, 2));
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      data = chunk + 8;
      dataBytes = available;  // a truncated file yields what it holds
    }
    pos += 8 + size + (size & 1);
  }
  if (channels < 1 || !data) return fail(error, path + " has no format or data chunk");

  SampleType type{};
  const bool unsigned8 = tag == kFormatPcm && bits == 8;
  if (!unsigned8 && !sampleTypeFor(tag, bits, type))
    return fail(error, path + ": unsupported sample format");
  const int sampleBytes = unsigned8 ? 1 : sampleTypeBytes(type);
  if (blockAlign != channels * sampleBytes) return fail(error, path + ": inconsistent block alignment");

  const std::size_t frames = dataBytes / std::size_t(blockAlign);
  out.sampleRate = rate;
  out.channels.assign(std::size_t(channels), std::vector<float>(frames));
  for (std::size_t f = 0; f < frames; ++f) {
    for (int c = 0; c < channels; ++c) {
      const std::uint8_t* sample = data + f * std::size_t(blockAlign) + std::size_t(c * sampleBytes);
      float& value = out.channels[std::size_t(c)][f];
      if (unsigned8)
        value = (float(*sample) - 128.0f) / 128.0f;
      else
        samplesToFloats(sample, type, &value, 1);
    }
  }
  return true;
}

}  // namespace orvelan::audio
