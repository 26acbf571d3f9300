// Fixtures of the processing chain's tests: formats, float WAV files made
// from planar channels, and a chain set up and driven block by block.
#pragma once

#include <string>
#include <vector>

#include "beamformer/sim/array_simulator.h"
#include "chain/audio_graph.h"
#include "support/channel_set.h"

namespace orvelan::io::testing {

inline constexpr float kChainRate = 44100.0f;
inline constexpr int kChainFrames = 256;

inline vxAudioInterface chainFormat(int channels, float rate = kChainRate, int frames = kChainFrames)
{
    return vxAudioInterface::timeDomain(channels, rate, frames);
}

// A 32-bit float WAV file holding the planar channels (all of one length).
void writeFloatWave(const std::string& path, const std::vector<std::vector<float>>& channels, int rate);

// The file's samples as planar floats, read with libsndfile (an independent
// reader); empty when the file cannot be read.
std::vector<std::vector<float>> readWaveFloats(const std::string& path);
// The same file's samples as the 24-bit integers it stores.
std::vector<std::vector<int>> readWave24(const std::string& path);

// What a 24-bit recording stores for a float sample: the recorder's own
// scaling and rounding, done by the same kernels.
std::vector<int> to24Bit(const std::vector<float>& samples);

// What the 32 capsules pick up from a plane wave carrying a sine of
// `amplitude` at `hz` from `source`, `seconds` long, written to `path` as a
// 32-bit float WAV file. Returns the capsule signals as written.
std::vector<std::vector<float>> writePlaneWaveFile(const std::string& path, const sim::Direction& source, double hz,
                                                   float amplitude, double seconds, int rate);

// Peak magnitude of samples [from, end).
float peakFrom(const std::vector<float>& samples, std::size_t from);

}  // namespace orvelan::io::testing
