// What the virtual device feeds into its inputs. Everything a source needs
// is prepared before streaming (a file is read whole, the sine's step is
// precomputed), so producing a period on the audio thread only computes and
// copies.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "audio/backends/virtual/wav_input.h"

namespace orvelan::audio {

// Fills `frames` floats of input `channel` starting at stream frame
// `position`. Runs on the device's callback thread.
using InputCallback = std::function<void(int channel, std::int64_t position, float* out, int frames)>;

struct InputSource {
  enum class Kind { Silence, Sine, Impulse, Loopback, File, Callback };
  Kind kind = Kind::Silence;
  double frequency = 1000.0;  // Sine, Hz
  float amplitude = 0.5f;     // Sine and Impulse, full scale 1.0
  // Impulse: one sample of `amplitude` at frame 0 and then every
  // impulseInterval frames (0: only the first).
  std::int64_t impulseInterval = 0;
  // File: played from its start and repeated; input channel c takes file
  // channel c modulo the file's channel count.
  std::string path;
  InputCallback callback;
  // Loopback: input channel c receives what output channel c carried one
  // period earlier (silence when that output is not active).
};

// A source made ready for streaming.
class InputGenerator {
 public:
  // False with a reason in *error when the source cannot be prepared
  // (unreadable file, missing callback).
  bool prepare(const InputSource& source, double sampleRate, std::string* error);

  // The sine's step follows the device's rate.
  void setSampleRate(double sampleRate) { sampleRate_ = sampleRate; }

  InputSource::Kind kind() const { return source_.kind; }

  // One period of input channel `channel`; not for Loopback, which the
  // device serves from its outputs.
  void generate(int channel, std::int64_t position, float* out, int frames) const;

 private:
  InputSource source_;
  WavSamples file_;
  double sampleRate_ = 48000.0;
};

}  // namespace orvelan::audio
