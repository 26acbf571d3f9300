// A processor library for the host's library modes: its factory makes an
// object that negates every input into the output of the same number, and
// it exports a function that doubles them.
#include "framework/audio_buffer.h"
#include "framework/audio_class.h"

namespace {

class Negate final : public vxAudioClass {
 public:
  vxResult processBuffersDefault(vxAudioBuffer* in, vxAudioBuffer* out) override {
    const int channels = std::min(in->channelCount(), out->channelCount());
    for (int c = 0; c < channels; ++c)
      for (int i = 0; i < in->format()->frames(); ++i) out->channelData(c)[i] = -in->channelData(c)[i];
    return vxOK;
  }
};

}  // namespace

extern "C" vxAudioClass* vxAPIobject() { return new Negate; }

extern "C" int orvelanTestDouble(float** in, float** out, int frames) {
  for (int i = 0; i < frames; ++i) out[0][i] = 2.0f * in[0][i];
  return 0;
}
