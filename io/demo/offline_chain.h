// A 32-channel file played through the processing chain offline, with the
// beams set as the main window sets them, for tests that compare what the
// program records with what the chain makes of the same file, and for
// measuring where the beams of a take point.
//
// The chain is built as the window builds it for a device: 32 inputs,
// `outputs` device outputs at the given rate and block length, file input,
// beamforming, one beam per setting (pattern, then variant, theta, phi, and
// the output volume's channel gain and mute), the output master gain and
// the high-pass choice, and the file reader from its first frame. The
// settings are made before the chain starts, so every beam starts on its
// look direction rather than gliding to it. The reader's disk work is done
// on this thread between blocks, so no block is ever late.
#pragma once

#include <string>
#include <vector>

namespace orvelan::demo {

struct BeamSetting {
    int pattern = 0;    // index into the beamformer's patterns
    int variant = 0;    // index into the pattern's variants
    float phi = 0.0f;   // degrees
    float theta = 90.0f;
    float gain = 1.0f;  // linear, as the output volume block takes it
    bool mute = false;
};

struct OfflineChainOptions {
    int outputs = 18;          // device outputs
    float sampleRate = 44100.0f;
    int frames = 256;          // per block
    float masterGain = 1.0f;   // output volume's master gain, linear
    int highpass = 0;          // choice 0..3 (0 off)
};

struct OfflineChainRun {
    // 0, or the first failing step's code: set-up (vxErrFormat when the
    // beams outnumber the outputs), opening the file, a beam setter, or a
    // cycle.
    int result = 0;
    // The device outputs that carry the beams, [beam][frame], one frame per
    // frame of the file (the beamformer's latency included, as recorded).
    std::vector<std::vector<float>> beams;
};

// Index of the pattern of that name among the beamformer's ("card2",
// "hyper2", ...), -1 when there is none.
int patternIndex(const char* name);

OfflineChainRun runChainOffline(const std::string& file, const std::vector<BeamSetting>& beams,
                                const OfflineChainOptions& options = {});

}  // namespace orvelan::demo
