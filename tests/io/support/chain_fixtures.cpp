#include "support/chain_fixtures.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include <gtest/gtest.h>

#include "dsp.h"
#include "support/wave_fixtures.h"

namespace orvelan::io::testing {

void writeFloatWave(const std::string& path, const std::vector<std::vector<float>>& channels, int rate)
{
    const std::size_t count = channels.size();
    const std::size_t frames = count ? channels[0].size() : 0;
    Bytes data(frames * count * sizeof(float));
    for (std::size_t f = 0; f < frames; ++f)
        for (std::size_t c = 0; c < count; ++c)
            std::memcpy(&data[(f * count + c) * sizeof(float)], &channels[c][f], sizeof(float));
    writeRecording(path, static_cast<int>(count), rate, kFormatFloat, 4, data);
}

std::vector<std::vector<float>> writePlaneWaveFile(const std::string& path, const sim::Direction& source, double hz,
                                                   float amplitude, double seconds, int rate)
{
    std::vector<float> tone(static_cast<std::size_t>(seconds * rate));
    for (std::size_t i = 0; i < tone.size(); ++i)
        tone[i] = amplitude * static_cast<float>(std::sin(2.0 * std::numbers::pi * hz * double(i) / rate));
    const auto capsules = sim::simulateCapsuleSignals(source, tone, 32.0, rate);
    writeFloatWave(path, capsules, rate);
    return capsules;
}

namespace {

template <typename T, typename Read>
std::vector<std::vector<T>> readPlanar(const std::string& path, Read read)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) return {};
    std::vector<T> interleaved(static_cast<std::size_t>(info.frames * info.channels));
    const sf_count_t got = read(file, interleaved.data(), info.frames);
    sf_close(file);
    std::vector<std::vector<T>> planar(static_cast<std::size_t>(info.channels), std::vector<T>(static_cast<std::size_t>(got)));
    for (sf_count_t f = 0; f < got; ++f)
        for (int c = 0; c < info.channels; ++c)
            planar[static_cast<std::size_t>(c)][static_cast<std::size_t>(f)] =
                interleaved[static_cast<std::size_t>(f * info.channels + c)];
    return planar;
}

}  // namespace

std::vector<std::vector<float>> readWaveFloats(const std::string& path)
{
    return readPlanar<float>(path, [](SNDFILE* f, float* out, sf_count_t frames) { return sf_readf_float(f, out, frames); });
}

std::vector<std::vector<int>> readWave24(const std::string& path)
{
    auto planar = readPlanar<int>(path, [](SNDFILE* f, int* out, sf_count_t frames) { return sf_readf_int(f, out, frames); });
    // libsndfile returns 24-bit samples in the top bytes of an int.
    for (auto& channel : planar)
        for (int& v : channel) v >>= 8;
    return planar;
}

std::vector<int> to24Bit(const std::vector<float>& samples)
{
    const int n = static_cast<int>(samples.size());
    std::vector<float> scaled(samples.size());
    dspsMulC_32f(samples.data(), 8388608.0f, scaled.data(), n);
    std::vector<Dsp8u> packed(3 * samples.size());
    dspsConvert_32f24s_Sfs(scaled.data(), packed.data(), n, 0);
    std::vector<int> values(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const int raw = packed[3 * i] | (packed[3 * i + 1] << 8) | (packed[3 * i + 2] << 16);
        values[i] = raw >= (1 << 23) ? raw - (1 << 24) : raw;
    }
    return values;
}

float peakFrom(const std::vector<float>& samples, std::size_t from)
{
    float peak = 0.0f;
    for (std::size_t i = from; i < samples.size(); ++i) peak = std::max(peak, std::fabs(samples[i]));
    return peak;
}

}  // namespace orvelan::io::testing
