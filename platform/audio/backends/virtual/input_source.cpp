#include "audio/backends/virtual/input_source.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace orvelan::audio {

bool InputGenerator::prepare(const InputSource& source, double sampleRate, std::string* error) {
  WavSamples file;
  if (source.kind == InputSource::Kind::File) {
    if (!readWavFile(source.path, file, error)) return false;
    if (file.frames() == 0) {
      if (error) *error = source.path + " holds no frames";
      return false;
    }
  }
  if (source.kind == InputSource::Kind::Callback && !source.callback) {
    if (error) *error = "callback input without a callback";
    return false;
  }
  source_ = source;
  file_ = std::move(file);
  sampleRate_ = sampleRate;
  return true;
}

void InputGenerator::generate(int channel, std::int64_t position, float* out, int frames) const {
  switch (source_.kind) {
    case InputSource::Kind::Sine: {
      // The phase comes from the whole stream position, so it never drifts.
      const double step = 2.0 * std::numbers::pi * source_.frequency / sampleRate_;
      for (int i = 0; i < frames; ++i)
        out[i] = source_.amplitude * float(std::sin(step * double(position + i)));
      return;
    }
    case InputSource::Kind::Impulse:
      for (int i = 0; i < frames; ++i) {
        const std::int64_t frame = position + i;
        const bool pulse = source_.impulseInterval > 0 ? frame % source_.impulseInterval == 0 : frame == 0;
        out[i] = pulse ? source_.amplitude : 0.0f;
      }
      return;
    case InputSource::Kind::File: {
      const auto& samples = file_.channels[std::size_t(channel) % file_.channels.size()];
      const std::int64_t length = file_.frames();
      std::int64_t at = position % length;
      for (int i = 0; i < frames;) {
        const int n = int(std::min<std::int64_t>(frames - i, length - at));
        std::copy_n(samples.begin() + at, n, out + i);
        i += n;
        at = 0;
      }
      return;
    }
    case InputSource::Kind::Callback:
      source_.callback(channel, position, out, frames);
      return;
    case InputSource::Kind::Silence:
    case InputSource::Kind::Loopback:
      std::fill_n(out, frames, 0.0f);
      return;
  }
}

}  // namespace orvelan::audio
