// Playback of every sample width through the file block, with the disk
// thread and on the owner's thread, against libsndfile's reading of the
// same file: the samples as libsndfile gives them, and silence after the
// end of the data in the block that holds it (8-bit samples are unsigned,
// so their silence is not a zero byte).
#include <gtest/gtest.h>

#include <sndfile.h>

#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "wavefile/audio_file.h"
#include "support/wave_fixtures.h"

namespace {

using namespace orvelan::io;
using namespace orvelan::io::testing;
using namespace std::chrono_literals;

constexpr int kBlockFrames = 256;
constexpr float kRate = 2 * kBlockFrames;  // ten blocks a ring buffer

struct Width {
    const char* name;
    int subtype;
    int bytes;
};

constexpr Width kWidths[] = {
    {"8-bit", SF_FORMAT_PCM_U8, 1}, {"16-bit", SF_FORMAT_PCM_16, 2}, {"24-bit", SF_FORMAT_PCM_24, 3},
    {"32-bit", SF_FORMAT_PCM_32, 4}, {"float", SF_FORMAT_FLOAT, 4},
};

// A file written by libsndfile: integer widths from bytes that run through
// every value, floats in [-1, 1).
void writeWithLibsndfile(const std::string& path, const Width& w, int channels, int frames)
{
    SF_INFO info{};
    info.samplerate = static_cast<int>(kRate);
    info.channels = channels;
    info.format = SF_FORMAT_WAV | w.subtype;
    SNDFILE* sf = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(sf, nullptr) << sf_strerror(nullptr);
    const std::size_t samples = static_cast<std::size_t>(channels) * static_cast<std::size_t>(frames);
    if (w.subtype == SF_FORMAT_FLOAT) {
        std::vector<float> v(samples);
        for (std::size_t i = 0; i < samples; ++i) v[i] = static_cast<float>(static_cast<int>((i * 7919) % 65536) - 32768) / 32768.0f;
        ASSERT_EQ(sf_writef_float(sf, v.data(), frames), frames);
    } else {
        const Bytes raw = countingBytes(samples * static_cast<std::size_t>(w.bytes), 5);
        ASSERT_EQ(sf_write_raw(sf, raw.data(), static_cast<sf_count_t>(raw.size())), static_cast<sf_count_t>(raw.size()));
    }
    sf_close(sf);
}

std::vector<float> readWithLibsndfile(const std::string& path, int channels, int frames)
{
    SF_INFO info{};
    SNDFILE* sf = sf_open(path.c_str(), SFM_READ, &info);
    EXPECT_NE(sf, nullptr);
    std::vector<float> v(static_cast<std::size_t>(channels) * static_cast<std::size_t>(frames));
    if (!sf) return v;
    EXPECT_EQ(info.frames, frames);
    EXPECT_EQ(sf_readf_float(sf, v.data(), frames), frames);
    sf_close(sf);
    return v;
}

TEST(FileBlockPlaybackThreads, EverySampleWidthPlaysAsLibsndfileReadsIt)
{
    ScratchDir dir;
    struct Shape {
        int channels, frames;
    };
    // Mono of 4001 frames: its last block holds 161 frames and 95 of silence.
    for (const Shape shape : {Shape{1, 4001}, Shape{3, 1999}})
        for (const Width& w : kWidths)
            for (const bool threaded : {true, false}) {
                SCOPED_TRACE(std::string(w.name) + " x " + std::to_string(shape.channels) +
                             (threaded ? ", disk thread" : ", owner's thread"));
                const std::string path = dir.path("width.wav");
                writeWithLibsndfile(path, w, shape.channels, shape.frames);
                const std::vector<float> expected = readWithLibsndfile(path, shape.channels, shape.frames);

                CAudioFile player;
                ASSERT_EQ(player.configure(vxAudioInterface::timeDomain(0, kRate, kBlockFrames),
                                           vxAudioInterface::timeDomain(shape.channels, kRate, kBlockFrames)),
                          vxOK);
                ASSERT_EQ(player.openFile(path, CAudioFile::kPlay), 0);
                ASSERT_EQ(player.numFrames(), shape.frames);
                ASSERT_EQ(player.startStreaming(threaded), 0);
                std::vector<std::vector<float>> out(static_cast<std::size_t>(shape.channels), std::vector<float>(kBlockFrames));
                std::vector<float*> pointers;
                for (auto& c : out) pointers.push_back(c.data());

                // Every block up to the one holding the end, as an audio
                // thread takes them; a block the disk had not yet filled
                // is taken again.
                std::thread audio([&] {
                    const auto deadline = std::chrono::steady_clock::now() + 20s;
                    for (int at = 0; at < shape.frames;) {
                        if (!threaded) player.checkQueue();
                        const auto silent = player.silentBlocks();
                        player.process(nullptr, pointers.data(), kBlockFrames);
                        if (player.silentBlocks() != silent) {
                            ASSERT_LT(std::chrono::steady_clock::now(), deadline);
                            std::this_thread::sleep_for(200us);
                            continue;
                        }
                        for (int c = 0; c < shape.channels; ++c)
                            for (int f = 0; f < kBlockFrames; ++f) {
                                const int frame = at + f;
                                const float want = frame < shape.frames
                                                       ? expected[static_cast<std::size_t>(frame) * static_cast<std::size_t>(shape.channels) +
                                                                  static_cast<std::size_t>(c)]
                                                       : 0.0f;
                                ASSERT_EQ(out[static_cast<std::size_t>(c)][static_cast<std::size_t>(f)], want)
                                    << "channel " << c << " frame " << frame;
                            }
                        at += kBlockFrames;
                    }
                });
                audio.join();
                player.stopStreaming();
            }
}

}  // namespace
