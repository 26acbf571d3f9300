// Reads a whole WAV file into memory as planar floats, for the virtual
// device's file input (loaded before streaming, so the audio thread only
// copies). Plain RIFF/WAVE with 8/16/24/32-bit integer or 32-bit float PCM,
// also in the extensible format.
#pragma once

#include <string>
#include <vector>

namespace orvelan::audio {

struct WavSamples {
  double sampleRate = 0.0;
  std::vector<std::vector<float>> channels;  // [channel][frame]
  long long frames() const { return channels.empty() ? 0 : (long long)channels[0].size(); }
};

// False with a reason in *error when the file cannot be read or holds no
// supported audio.
bool readWavFile(const std::string& path, WavSamples& out, std::string* error);

}  // namespace orvelan::audio
