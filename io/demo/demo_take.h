// The demo take: a 32-channel recording of the array, made by the
// rigid-sphere simulator, that a new user can play without any hardware.
// Three sources arrive as plane waves from known directions, each in a band
// of its own, so a beam steered onto one of them is heard, metered and
// measured to rise above the same beam steered away:
//   - a voice-like signal (vowel-like harmonics under a syllable envelope,
//     the pitch falling across each phrase) from the front,
//   - a steady tone from the left,
//   - band-limited noise, a hiss high above the voice, from behind.
// The bands do not overlap (the voice leaves a gap round the tone), so the
// level of a beam in a source's band is that source alone.
//
// The take is 32-bit float PCM at 44100 Hz, normalised so that its loudest
// capsule sample sits at -12 dBFS. It starts and ends on a short fade, so
// it loops without a click. Everything is fixed (seeds included): the same
// length gives the same samples on every run.
//
// Directions are the system's own: theta the elevation from the top (90 on
// the horizon), phi the azimuth counter-clockwise seen from above (0 front,
// 90 left, 180 behind), in degrees, as the beamformer takes them.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "beamformer/design/spherical_harmonics.h"

namespace orvelan::demo {

inline constexpr int kDemoSampleRate = 44100;
inline constexpr int kDemoChannels = 32;
inline constexpr double kDemoDefaultSeconds = 8.0;
// Shortest and longest takes the generator makes.
inline constexpr double kDemoMinSeconds = 1.0;
inline constexpr double kDemoMaxSeconds = 30.0;
inline constexpr double kDemoPeakDbfs = -12.0;
// Raised-cosine fade at each end of the take.
inline constexpr double kDemoFadeSeconds = 0.05;
// The file the application looks for next to its ini file.
inline constexpr const char* kDemoFileName = "demo_take.wav";

// A source's band: full weight from lowHz to highHz, falling to zero on a
// raised cosine over `skirtHz` outside it.
struct DemoBand {
    double lowHz;
    double highHz;
    double skirtHz;
};

struct DemoSource {
    const char* name;
    design::Direction direction;
    DemoBand band;
    // RMS in dB, over the whole take (the voice's pauses included), at the
    // sphere's centre; only the differences count, as the take is then
    // normalised to its peak.
    double levelDb;
};

enum DemoSourceIndex : int { kDemoVoice = 0, kDemoTone = 1, kDemoNoise = 2, kDemoSourceCount = 3 };

inline constexpr double kDemoToneHz = 1000.0;

inline constexpr std::array<DemoSource, kDemoSourceCount> kDemoSources{{
    {"voice", {.theta = 90.0, .phi = 0.0}, {300.0, 3000.0, 50.0}, 0.0},
    {"tone", {.theta = 90.0, .phi = 90.0}, {kDemoToneHz - 50.0, kDemoToneHz + 50.0, 25.0}, 6.0},
    {"noise", {.theta = 90.0, .phi = 180.0}, {5000.0, 9000.0, 50.0}, 0.0},
}};

// Weight of source s's spectrum at hz, 0..1: its band, and for the voice
// the gap it leaves round the tone's band. The weights of two sources
// never overlap.
double demoSourceWeight(int source, double hz);

// Frames of a take of `seconds`, clamped to kDemoMinSeconds..kDemoMaxSeconds.
int demoTakeFrames(double seconds);

// The capsule signals of the take, [capsule][frame].
std::vector<std::vector<float>> demoTakeCapsules(double seconds = kDemoDefaultSeconds);

// Writes the take to `path` (through a temporary file beside it, renamed
// into place once complete, so a file of that name is always a whole take):
// 0, or the wave file's code, or kWaveIoError when the rename failed.
int writeDemoTake(const std::string& path, double seconds = kDemoDefaultSeconds);

}  // namespace orvelan::demo
