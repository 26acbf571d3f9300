// The file block on one thread (streaming without the disk thread, the
// transfers done by checkQueue): the directions and codes, recording and
// playing back bit-exact through process, channel mapping, start sample,
// pause, stop and seek, the state table, and a recording process killed
// mid-take leaving a readable file.
#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <vector>

#include "wavefile/audio_file.h"
#include "support/wave_fixtures.h"

namespace {

using namespace orvelan::io;
using namespace orvelan::io::testing;

// Planar channels of one block with their pointer array.
struct Planar {
    Planar(int channels, int frames)
        : data(static_cast<std::size_t>(channels), std::vector<float>(static_cast<std::size_t>(frames)))
    {
        for (auto& c : data) pointers.push_back(c.data());
    }
    std::vector<std::vector<float>> data;
    std::vector<float*> pointers;
};

// Sample of channel c at frame n of a take: a 24-bit value, exact in float.
float sampleAt(int c, std::int64_t n)
{
    return static_cast<float>(((n * 7919 + c * 104729) % 16777216) - 8388608) / 8388608.0f;
}

void fillFrom(Planar& p, std::int64_t firstFrame, int channelOffset = 0)
{
    for (std::size_t c = 0; c < p.data.size(); ++c)
        for (std::size_t f = 0; f < p.data[c].size(); ++f)
            p.data[c][f] = sampleAt(static_cast<int>(c) + channelOffset, firstFrame + static_cast<std::int64_t>(f));
}

// Two blocks a second: ten blocks fill a ring buffer.
float rateFor(int frames) { return static_cast<float>(2 * frames); }

// A recorder of `channels` inputs.
void configureRecorder(CAudioFile& block, int channels, int frames, float rate)
{
    ASSERT_EQ(block.configure(vxAudioInterface::timeDomain(channels, rate, frames), vxAudioInterface::timeDomain(0, rate, frames)), vxOK);
}

void configurePlayer(CAudioFile& block, int outputs, int frames, float rate)
{
    ASSERT_EQ(block.configure(vxAudioInterface::timeDomain(0, rate, frames), vxAudioInterface::timeDomain(outputs, rate, frames)), vxOK);
}

int setFileName(CAudioFile& block, const std::string& name)
{
    return block.setParameter(0, 0, name.c_str(), static_cast<int>(name.size()), vxTypeString);
}

// Records `blocks` blocks of the take through process, unthreaded.
void recordTake(const std::string& path, int channels, int frames, int blocks)
{
    CAudioFile recorder;
    configureRecorder(recorder, channels, frames, rateFor(frames));
    ASSERT_EQ(recorder.openFile(path, CAudioFile::kRecord), 0);
    ASSERT_EQ(recorder.startStreaming(false), 0);
    Planar in(channels, frames);
    for (int b = 0; b < blocks; ++b) {
        fillFrom(in, std::int64_t{b} * frames);
        ASSERT_EQ(recorder.process(in.pointers.data(), nullptr, frames), vxOK);
        recorder.checkQueue();
    }
    recorder.stopStreaming();
    EXPECT_EQ(recorder.droppedBlocks(), 0u);
    EXPECT_EQ(recorder.ioStatus(), 0);
}

// Plays one block; the disk work is done first, as the owner's thread
// would between two blocks.
void playBlock(CAudioFile& player, Planar& out, int frames)
{
    player.checkQueue();
    ASSERT_EQ(player.process(nullptr, out.pointers.data(), frames), vxOK);
}

void expectTake(const Planar& out, std::int64_t firstFrame, int channels, const char* what)
{
    for (int c = 0; c < channels; ++c)
        for (std::size_t f = 0; f < out.data[static_cast<std::size_t>(c)].size(); ++f)
            ASSERT_EQ(out.data[static_cast<std::size_t>(c)][f], sampleAt(c, firstFrame + static_cast<std::int64_t>(f)))
                << what << ": channel " << c << " frame " << firstFrame + static_cast<std::int64_t>(f);
}

void expectSilent(const Planar& out, int from, int to, const char* what)
{
    for (int c = from; c < to; ++c)
        for (float v : out.data[static_cast<std::size_t>(c)]) ASSERT_EQ(v, 0.0f) << what << ": channel " << c;
}

TEST(FileBlock, RecordThenPlayBackBitExact)
{
    ScratchDir dir;
    for (const int channels : {32, 50})
        for (const int frames : {64, 256, 512}) {
            SCOPED_TRACE(std::to_string(channels) + " channels, " + std::to_string(frames) + " frames");
            const std::string path = dir.path("take.wav");
            const int blocks = 27;  // two ring buffers and a part
            recordTake(path, channels, frames, blocks);

            CAudioFile player;
            configurePlayer(player, channels, frames, rateFor(frames));
            ASSERT_EQ(setFileName(player, path), 0);
            ASSERT_EQ(player.numChannels(), channels);
            ASSERT_EQ(player.numFrames(), std::int64_t{blocks} * frames);
            ASSERT_EQ(player.startStreaming(false), 0);
            Planar out(channels, frames);
            for (int b = 0; b < blocks; ++b) {
                playBlock(player, out, frames);
                expectTake(out, std::int64_t{b} * frames, channels, "playback");
            }
            EXPECT_EQ(player.currentPosition(), std::int64_t{blocks} * frames);
            EXPECT_EQ(player.silentBlocks(), 0u);
            player.stopStreaming();
        }
}

TEST(FileBlock, RecordingIsExtensible24BitAtTheWholeRate)
{
    ScratchDir dir;
    const std::string path = dir.path("rate.wav");
    CAudioFile recorder;
    configureRecorder(recorder, 2, 64, 44100.7f);
    ASSERT_EQ(recorder.openFile(path, CAudioFile::kRecord), 0);
    ASSERT_EQ(recorder.startStreaming(false), 0);
    Planar in(2, 64);
    fillFrom(in, 0);
    recorder.process(in.pointers.data(), nullptr, 64);
    recorder.stopStreaming();
    CWaveFile file;
    ASSERT_EQ(file.open(path, CWaveFile::OpenMode::ReadOnly), 0);
    EXPECT_EQ(file.sampleRate(), 44100);
    EXPECT_EQ(file.bitsPerSample(), 24);
    EXPECT_TRUE(file.fmt().extensible());
    EXPECT_EQ(file.numFrames(), 64u);  // stopped before the first full buffer
}

TEST(FileBlock, DirectionsAndOpenCodes)
{
    ScratchDir dir;
    const std::string take = dir.path("t.wav");
    recordTake(take, 2, 64, 3);
    struct Case {
        const char* what;
        int inputs, outputs;
        std::string name;
        int code;
    };
    const Case cases[] = {
        {"inputs only record", 32, 0, dir.path("new.wav"), 0},
        {"outputs only play", 0, 18, take, 0},
        {"both", 2, 2, take, kFileNoDirection},
        {"neither", 0, 0, take, kFileNoDirection},
        {"missing file to play", 0, 2, dir.path("missing.wav"), kFileCannotPlay},
        {"recording into a missing directory", 2, 0, dir.path("no/such.wav"), kFileCannotRecord},
        {"name longer than 33 characters", 0, 2, std::string(40, 'x'), kFileNameNotCopied},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CAudioFile block;
        ASSERT_EQ(block.configure(vxAudioInterface::timeDomain(c.inputs, 128, 64), vxAudioInterface::timeDomain(c.outputs, 128, 64)), vxOK);
        EXPECT_EQ(setFileName(block, c.name), c.code);
    }
    CAudioFile block;
    configurePlayer(block, 2, 64, 128);
    EXPECT_EQ(block.openFile(take, 7), kFileCannotPlay);
    EXPECT_EQ(block.openFile(take, CAudioFile::kRecord), kFileNoChannels);
    EXPECT_EQ(block.configure(vxAudioInterface::timeDomain(2, 128, 64), vxAudioInterface::timeDomain(2, 128, 32)), vxErrFormat);
    EXPECT_EQ(block.setParameter(0, 2, "x", 1, vxTypeString), vxErrNoParameterId);
    std::uint8_t flag = 1;
    EXPECT_EQ(block.setChannelParameter(0, 9, &flag, 1, vxTypeFlag), vxErrNoChannelParameterId);
    EXPECT_EQ(block.getChannelParameter(0, 9, &flag, 1, vxTypeFlag), vxErrNoChannelParameterId);
    block.start();
    EXPECT_EQ(setFileName(block, take), vxErrRunning);
}

TEST(FileBlock, ChannelMapping)
{
    ScratchDir dir;
    const int frames = 64;
    struct Case {
        int fileChannels, outputs;
    };
    for (const Case c : {Case{32, 18}, Case{2, 18}}) {
        SCOPED_TRACE(std::to_string(c.fileChannels) + " into " + std::to_string(c.outputs));
        const std::string path = dir.path("map.wav");
        recordTake(path, c.fileChannels, frames, 4);
        CAudioFile player;
        configurePlayer(player, c.outputs, frames, rateFor(frames));
        ASSERT_EQ(player.openFile(path, CAudioFile::kPlay), 0);
        ASSERT_EQ(player.startStreaming(false), 0);
        Planar out(c.outputs, frames);
        for (auto& ch : out.data) ch.assign(frames, 9.0f);
        playBlock(player, out, frames);
        const int played = std::min(c.fileChannels, c.outputs);
        expectTake(out, 0, played, "mapped");
        expectSilent(out, played, c.outputs, "beyond the file");
    }
}

TEST(FileBlock, StartSamplePauseStopAndSeek)
{
    ScratchDir dir;
    const int frames = 64, blocks = 40;
    const std::int64_t total = std::int64_t{blocks} * frames;
    const std::string path = dir.path("transport.wav");
    recordTake(path, 2, frames, blocks);
    CAudioFile player;
    configurePlayer(player, 2, frames, rateFor(frames));
    ASSERT_EQ(player.openFile(path, CAudioFile::kPlay), 0);
    Planar out(2, frames);

    EXPECT_EQ(player.setStartSample(total + 1), vxErrBadArgument);
    EXPECT_EQ(player.setStartSample(-1), vxErrBadArgument);
    EXPECT_EQ(player.setStartSample(total), 0);
    EXPECT_EQ(player.setStartSample(640), 0);
    EXPECT_EQ(player.currentPosition(), 640);

    ASSERT_EQ(player.startStreaming(false), 0);
    for (int b = 0; b < 3; ++b) playBlock(player, out, frames);
    expectTake(out, 640 + 2 * frames, 2, "from the start sample");

    // Pause and start resume where playback paused.
    player.pauseStreaming();
    playBlock(player, out, frames);
    expectSilent(out, 0, 2, "paused");
    ASSERT_EQ(player.startStreaming(false), 0);
    playBlock(player, out, frames);
    expectTake(out, 640 + 3 * frames, 2, "resumed");

    // Stop returns to the start sample; start plays from it again.
    player.stopStreaming();
    EXPECT_EQ(player.currentPosition(), 640);
    ASSERT_EQ(player.startStreaming(false), 0);
    playBlock(player, out, frames);
    expectTake(out, 640, 2, "after a stop");

    // A seek while playing refills the ring from the new frame.
    player.seekFrame(1000);
    EXPECT_EQ(player.currentPosition(), 1000);
    playBlock(player, out, frames);
    expectTake(out, 1000, 2, "after a seek");

    // A seek while paused, then start.
    player.pauseStreaming();
    player.seekFrame(200);
    ASSERT_EQ(player.startStreaming(false), 0);
    playBlock(player, out, frames);
    expectTake(out, 200, 2, "after a paused seek");

    // Beyond the end: the total, and silence once it is passed.
    player.seekFrame(total + 5000);
    EXPECT_EQ(player.currentPosition(), total);
    playBlock(player, out, frames);
    playBlock(player, out, frames);
    expectSilent(out, 0, 2, "past the end");
    player.stopStreaming();
}

TEST(FileBlock, StateTableThroughTheParameters)
{
    ScratchDir dir;
    const std::string path = dir.path("states.wav");
    recordTake(path, 2, 64, 12);
    CAudioFile player;
    configurePlayer(player, 2, 64, 128);
    const auto flags = [&] {
        std::uint8_t running = 0, stopped = 0, paused = 0;
        player.getChannelParameter(0, 0, &running, 1, vxTypeFlag);
        player.getChannelParameter(0, 1, &stopped, 1, vxTypeFlag);
        player.getChannelParameter(0, 2, &paused, 1, vxTypeFlag);
        return std::vector<int>{running, stopped, paused};
    };
    const std::uint8_t unthreaded = 0;
    EXPECT_EQ(player.setChannelParameter(0, 0, &unthreaded, 1, vxTypeFlag), kFileCannotPlay);  // no file yet
    ASSERT_EQ(setFileName(player, path), 0);
    EXPECT_EQ(flags(), (std::vector<int>{0, 1, 0}));
    EXPECT_EQ(player.setChannelParameter(0, 0, &unthreaded, 1, vxTypeFlag), 0);
    EXPECT_EQ(flags(), (std::vector<int>{1, 0, 0}));
    EXPECT_EQ(player.setChannelParameter(0, 2, &unthreaded, 1, vxTypeFlag), 0);
    EXPECT_EQ(flags(), (std::vector<int>{0, 0, 1}));
    const std::int32_t frame = 100;
    EXPECT_EQ(player.setChannelParameter(0, 3, &frame, 1, vxTypeInt32), 0);
    std::int32_t position = 0;
    EXPECT_EQ(player.getChannelParameter(0, 3, &position, 1, vxTypeInt32), 0);
    EXPECT_EQ(position, 100);
    EXPECT_EQ(flags(), (std::vector<int>{0, 0, 1}));  // a paused seek stays paused
    EXPECT_EQ(player.setChannelParameter(0, 1, &unthreaded, 1, vxTypeFlag), 0);
    EXPECT_EQ(flags(), (std::vector<int>{0, 1, 0}));
    EXPECT_EQ(player.setChannelParameter(0, 3, &frame, 1, vxTypeFloat32), vxErrParameterMismatch);

    std::int32_t start = 64;
    EXPECT_EQ(player.setParameter(0, 1, &start, 1, vxTypeInt32), 0);
    start = 1 << 30;  // out of range: ignored without a code
    EXPECT_EQ(player.setParameter(0, 1, &start, 1, vxTypeInt32), 0);
    std::int32_t read = 0;
    EXPECT_EQ(player.getParameter(0, 1, &read, 1, vxTypeInt32), 0);
    EXPECT_EQ(read, 64);
    char name[34] = {};
    EXPECT_EQ(player.getParameter(0, 0, name, 33, vxTypeString), 0);
    EXPECT_EQ(std::string(name), path.substr(0, 33));

    // A recorder whose take was stopped needs a new file before it starts.
    CAudioFile recorder;
    configureRecorder(recorder, 2, 64, 128);
    ASSERT_EQ(recorder.openFile(dir.path("r.wav"), CAudioFile::kRecord), 0);
    ASSERT_EQ(recorder.startStreaming(false), 0);
    recorder.stopStreaming();
    EXPECT_EQ(recorder.startStreaming(false), kFileCannotPlay);
    EXPECT_EQ(recorder.runState(), CAudioFile::kStopped);
    EXPECT_FALSE(fileExists(dir.path("r.wav")));  // nothing recorded: no file
}

TEST(FileBlock, KilledRecordingLeavesAReadableFile)
{
    // A child records with the disk thread and is killed once the header
    // on disk names the first buffer; three blocks of the next are lost.
    ScratchDir dir;
    const std::string path = dir.path("killed.wav");
    const int channels = 4, frames = 64, perBuffer = 10;
    const std::uint64_t bufferBytes = std::uint64_t{perBuffer} * frames * channels * 3;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CAudioFile recorder;
        recorder.configure(vxAudioInterface::timeDomain(channels, rateFor(frames), frames), vxAudioInterface::timeDomain(0, rateFor(frames), frames));
        if (recorder.openFile(path, CAudioFile::kRecord) != 0 || recorder.startStreaming(true) != 0) _exit(1);
        Planar in(channels, frames);
        for (int b = 0; b < perBuffer + 3; ++b) {
            fillFrom(in, std::int64_t{b} * frames);
            recorder.process(in.pointers.data(), nullptr, frames);
        }
        while (readFile(path, 104).size() < 104 || u32At(readFile(path, 104), 100) != bufferBytes) usleep(1000);
        kill(getpid(), SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

    CWaveFile file;
    ASSERT_EQ(file.open(path, CWaveFile::OpenMode::ReadOnly), 0);
    EXPECT_EQ(file.dataSize(), bufferBytes);
    const Bytes data = readAllData(file);
    ASSERT_EQ(data.size(), bufferBytes);
    for (std::size_t i = 0; i < data.size() / 3; ++i) {
        const std::int64_t frame = static_cast<std::int64_t>(i) / channels;
        const int c = static_cast<int>(i % channels);
        const auto expected = static_cast<std::int32_t>(std::lround(sampleAt(c, frame) * 8388608.0f));
        const std::int32_t stored = static_cast<std::int32_t>(static_cast<std::uint32_t>(data[3 * i] | data[3 * i + 1] << 8 | data[3 * i + 2] << 16) << 8) >> 8;
        ASSERT_EQ(stored, expected) << i;
    }
}

}  // namespace
