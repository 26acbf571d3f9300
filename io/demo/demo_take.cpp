#include "demo/demo_take.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <numbers>

#include "beamformer/design/fft.h"
#include "beamformer/sim/array_simulator.h"
#include "wavefile/byte_order.h"
#include "wavefile/wave_file.h"
#include "wavefile/wave_result.h"

namespace orvelan::demo {
namespace {

using Complex = std::complex<double>;
constexpr double kPi = std::numbers::pi;
constexpr double kRate = kDemoSampleRate;

// Fixed seeds: the take is the same on every run.
constexpr std::uint64_t kVoiceSeed = 0x766f696365ULL;
constexpr std::uint64_t kNoiseSeed = 0x6e6f697365ULL;

// Zeros after the take in the transform, longer than the band filters ring,
// so the circular convolution below is a linear one.
constexpr int kTransformPad = 8192;

// SplitMix64: small, and the same numbers on every platform and library
// (the standard distributions are not).
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    // Uniform in [0, 1).
    double next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        z ^= z >> 31;
        return double(z >> 11) * 0x1.0p-53;
    }
    double between(double low, double high) { return low + (high - low) * next(); }

private:
    std::uint64_t state_;
};

// 0 at x <= 0, 1 at x >= 1, a raised cosine between.
double rise(double x)
{
    if (x <= 0.0) return 0.0;
    if (x >= 1.0) return 1.0;
    return 0.5 - 0.5 * std::cos(kPi * x);
}

double bandWeight(const DemoBand& band, double hz)
{
    if (hz < band.lowHz) return rise(1.0 - (band.lowHz - hz) / band.skirtHz);
    if (hz > band.highHz) return rise(1.0 - (hz - band.highHz) / band.skirtHz);
    return 1.0;
}

template <typename T>
void fadeEnds(std::vector<T>& signal)
{
    const std::size_t fade = std::min(signal.size() / 2, std::size_t(std::lround(kDemoFadeSeconds * kRate)));
    for (std::size_t i = 0; i < fade; ++i) {
        const double g = rise((double(i) + 0.5) / double(fade));
        signal[i] *= T(g);
        signal[signal.size() - 1 - i] *= T(g);
    }
}

// Vowel formants (Hz) and their relative strengths.
struct Vowel {
    double hz[3];
};
constexpr Vowel kVowels[] = {
    {{730, 1090, 2440}},  // a
    {{530, 1840, 2480}},  // e
    {{270, 2290, 3010}},  // i
    {{570, 840, 2410}},   // o
    {{300, 870, 2240}},   // u
};
constexpr double kFormantGain[3] = {1.0, 0.5, 0.3};
constexpr double kFormantWidthHz[3] = {90.0, 110.0, 150.0};

double formantAmplitude(const Vowel& vowel, double hz)
{
    double a = 0.02;
    for (int i = 0; i < 3; ++i) {
        const double x = (hz - vowel.hz[i]) / kFormantWidthHz[i];
        a += kFormantGain[i] / (1.0 + x * x);
    }
    return a;
}

// Phrases of three to six syllables, each a vowel on harmonics of a pitch
// that falls across the phrase, under a smooth rise and fall, with short
// gaps between syllables and longer pauses between phrases.
std::vector<double> voiceSignal(int frames)
{
    Random random(kVoiceSeed);
    std::vector<double> out(static_cast<std::size_t>(frames), 0.0);
    const double topHz = kDemoSources[kDemoVoice].band.highHz + kDemoSources[kDemoVoice].band.skirtHz;
    double t = 0.15;
    const double end = double(frames) / kRate;
    while (t < end) {
        const int syllables = 3 + int(random.next() * 4.0);
        const double startHz = random.between(150.0, 180.0), endHz = random.between(100.0, 120.0);
        std::vector<double> lengths(static_cast<std::size_t>(syllables)), gaps(static_cast<std::size_t>(syllables));
        double phraseLength = 0;
        for (int s = 0; s < syllables; ++s) {
            lengths[std::size_t(s)] = random.between(0.12, 0.32);
            gaps[std::size_t(s)] = random.between(0.04, 0.12);
            phraseLength += lengths[std::size_t(s)] + gaps[std::size_t(s)];
        }
        const double phraseStart = t;
        for (int s = 0; s < syllables; ++s) {
            const Vowel& vowel = kVowels[int(random.next() * 5.0) % 5];
            const auto first = std::size_t(std::lround(t * kRate));
            const auto count = std::size_t(std::lround(lengths[std::size_t(s)] * kRate));
            double phase = 0;
            for (std::size_t i = 0; i < count && first + i < out.size(); ++i) {
                const double now = double(first + i) / kRate;
                const double progress = (now - phraseStart) / phraseLength;
                const double f0 = (startHz + (endHz - startHz) * progress) * (1.0 + 0.01 * std::sin(2 * kPi * 5.5 * now));
                phase += 2 * kPi * f0 / kRate;
                // Quick attack, slower decay.
                const double x = double(i) / double(count);
                const double envelope = rise(x / 0.2) * rise((1.0 - x) / 0.45);
                double sum = 0;
                for (int h = 1; h * f0 < topHz; ++h) sum += formantAmplitude(vowel, h * f0) * std::sin(h * phase);
                out[first + i] = envelope * sum;
            }
            t += lengths[std::size_t(s)] + gaps[std::size_t(s)];
        }
        t += random.between(0.25, 0.5);
    }
    return out;
}

std::vector<double> toneSignal(int frames)
{
    std::vector<double> out(static_cast<std::size_t>(frames));
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = std::sin(2 * kPi * kDemoToneHz * double(i) / kRate);
    return out;
}

std::vector<double> noiseSignal(int frames)
{
    Random random(kNoiseSeed);
    std::vector<double> out(static_cast<std::size_t>(frames));
    for (double& v : out) v = 2.0 * random.next() - 1.0;
    return out;
}

std::size_t transformLength(int frames)
{
    std::size_t n = 1024;
    while (n < std::size_t(frames) + kTransformPad) n *= 2;
    return n;
}

double binHz(std::size_t k, std::size_t n) { return kRate * double(k) / double(n); }

// The faded source signal's spectrum, band-limited by the source's weights
// and scaled to the source's RMS level (over the take's frames).
std::vector<Complex> sourceSpectrum(int source, std::vector<double> signal, std::size_t n)
{
    fadeEnds(signal);
    std::vector<Complex> spectrum(n);
    std::copy(signal.begin(), signal.end(), spectrum.begin());
    design::fft(spectrum, false);
    double energy = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const double hz = binHz(std::min(k, n - k), n);
        spectrum[k] *= demoSourceWeight(source, hz);
        energy += std::norm(spectrum[k]);
    }
    // Parseval: the time-domain energy is the spectrum's over n.
    const double rms = std::sqrt(energy / double(n) / double(signal.size()));
    const double gain = rms > 0 ? std::pow(10.0, kDemoSources[std::size_t(source)].levelDb / 20.0) / rms : 0.0;
    for (Complex& x : spectrum) x *= gain;
    return spectrum;
}

}  // namespace

double demoSourceWeight(int source, double hz)
{
    if (source < 0 || source >= kDemoSourceCount) return 0.0;
    const double w = bandWeight(kDemoSources[std::size_t(source)].band, hz);
    if (source == kDemoVoice) {
        // The gap round the tone: zero wherever the tone has weight.
        const DemoBand tone = kDemoSources[kDemoTone].band;
        return w * (1.0 - bandWeight({tone.lowHz - tone.skirtHz, tone.highHz + tone.skirtHz, tone.skirtHz}, hz));
    }
    return w;
}

int demoTakeFrames(double seconds)
{
    return int(std::lround(std::clamp(seconds, kDemoMinSeconds, kDemoMaxSeconds) * kRate));
}

std::vector<std::vector<float>> demoTakeCapsules(double seconds)
{
    const int frames = demoTakeFrames(seconds);
    const std::size_t n = transformLength(frames);
    const std::vector<Complex> spectra[kDemoSourceCount] = {
        sourceSpectrum(kDemoVoice, voiceSignal(frames), n),
        sourceSpectrum(kDemoTone, toneSignal(frames), n),
        sourceSpectrum(kDemoNoise, noiseSignal(frames), n),
    };

    // Each capsule's spectrum: every source's times the capsule's response
    // to a plane wave from its direction (the simulator's transfer), over
    // the bins where any source has weight.
    std::size_t low = n / 2, high = 0;
    for (std::size_t k = 1; k < n / 2; ++k)
        for (int s = 0; s < kDemoSourceCount; ++s)
            if (demoSourceWeight(s, binHz(k, n)) > 0) {
                low = std::min(low, k);
                high = std::max(high, k);
            }
    // Single precision is ample here and halves the largest array.
    std::vector<std::array<std::complex<float>, kDemoChannels>> capsuleSpectra(high >= low ? high - low + 1 : 0);
    for (std::size_t k = low; k <= high; ++k) {
        std::array<Complex, kDemoChannels> bin{};
        for (int s = 0; s < kDemoSourceCount; ++s) {
            if (demoSourceWeight(s, binHz(k, n)) <= 0) continue;
            const sim::CapsuleTransfer p = sim::capsuleTransfer(kDemoSources[std::size_t(s)].direction, binHz(k, n));
            for (int c = 0; c < kDemoChannels; ++c) bin[std::size_t(c)] += spectra[s][k] * p[std::size_t(c)];
        }
        for (int c = 0; c < kDemoChannels; ++c) capsuleSpectra[k - low][std::size_t(c)] = std::complex<float>(bin[std::size_t(c)]);
    }

    // Two real capsules per inverse transform: the first as the real part,
    // the second as the imaginary part of one complex signal.
    std::vector<std::vector<float>> capsules(kDemoChannels, std::vector<float>(static_cast<std::size_t>(frames)));
    std::vector<Complex> z(n);
    double peak = 0;
    for (int c = 0; c < kDemoChannels; c += 2) {
        std::fill(z.begin(), z.end(), Complex(0.0));
        const Complex i(0.0, 1.0);
        for (std::size_t k = low; k <= high; ++k) {
            const Complex a(capsuleSpectra[k - low][std::size_t(c)]), b(capsuleSpectra[k - low][std::size_t(c + 1)]);
            z[k] = a + i * b;
            z[n - k] = std::conj(a) + i * std::conj(b);
        }
        design::fft(z, true);
        for (std::size_t t = 0; t < std::size_t(frames); ++t) {
            capsules[std::size_t(c)][t] = float(z[t].real());
            capsules[std::size_t(c + 1)][t] = float(z[t].imag());
        }
    }

    // The band filters ring a little past the sources' own fades.
    for (auto& capsule : capsules) {
        fadeEnds(capsule);
        for (float v : capsule) peak = std::max(peak, double(std::abs(v)));
    }
    const float gain = peak > 0 ? float(std::pow(10.0, kDemoPeakDbfs / 20.0) / peak) : 0.0f;
    for (auto& capsule : capsules)
        for (float& v : capsule) v *= gain;
    return capsules;
}

int writeDemoTake(const std::string& path, double seconds)
{
    const std::vector<std::vector<float>> capsules = demoTakeCapsules(seconds);
    const std::size_t frames = capsules[0].size();
    const std::string partial = path + ".partial";
    io::CWaveFile file;
    int result = file.openForWriting(partial, kDemoChannels, kDemoSampleRate, 3, 4, 0);
    // A second of samples per write: the file grows a whole second at a time.
    std::vector<std::uint8_t> bytes;
    for (std::size_t first = 0; result == io::kWaveOk && first < frames; first += kDemoSampleRate) {
        const std::size_t count = std::min<std::size_t>(kDemoSampleRate, frames - first);
        bytes.resize(count * kDemoChannels * 4);
        for (std::size_t f = 0; f < count; ++f)
            for (int c = 0; c < kDemoChannels; ++c) {
                std::uint32_t word;
                static_assert(sizeof word == sizeof(float));
                const float v = capsules[std::size_t(c)][first + f];
                std::memcpy(&word, &v, sizeof word);
                io::storeU32(&bytes[(f * kDemoChannels + std::size_t(c)) * 4], word);
            }
        result = file.writeData(bytes.data(), std::int64_t(bytes.size()));
    }
    const int closed = file.close();
    if (result == io::kWaveOk) result = closed;
    if (result == io::kWaveOk && std::rename(partial.c_str(), path.c_str()) != 0) result = io::kWaveIoError;
    if (result != io::kWaveOk) std::remove(partial.c_str());
    return result;
}

}  // namespace orvelan::demo
