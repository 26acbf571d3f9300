// Recordings under faults, each in a child process that records through
// the real file block, ring and disk thread: killed with SIGKILL at random
// moments, and writing onto a full disk (a file-size limit). Every file
// left behind is read back by our reader, libsndfile and sox, which must
// agree on its length and find exactly the audio recorded.
#include <gtest/gtest.h>

#include <csignal>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>
#include <vector>

#include "wavefile/audio_file.h"
#include "support/wave_fixtures.h"

namespace {

using namespace orvelan::io;
using namespace orvelan::io::testing;
using namespace std::chrono_literals;

// 20 blocks a second, so a ring buffer holds 100 blocks (5000 frames).
constexpr int kChannels = 4;
constexpr int kFrames = 50;
constexpr int kRate = 1000;
constexpr int kBlocksPerBuffer = kRate / kFrames * 5;
constexpr std::int64_t kBufferFrames = std::int64_t{kBlocksPerBuffer} * kFrames;
constexpr std::uint64_t kHeader = 104;
constexpr std::uint64_t kBufferBytes = kBufferFrames * kChannels * 3;

// A 24-bit sample of channel c at frame n, exact in float.
std::int32_t sampleValue(int c, std::int64_t n) { return static_cast<std::int32_t>((n * 7919 + c * 104729) % (1 << 24)) - 8388608; }

// What a take of `frames` frames holds from its first sample byte on.
Bytes takeBytes(std::int64_t frames)
{
    Bytes b;
    b.reserve(static_cast<std::size_t>(frames) * kChannels * 3);
    for (std::int64_t n = 0; n < frames; ++n)
        for (int c = 0; c < kChannels; ++c) {
            const auto v = static_cast<std::uint32_t>(sampleValue(c, n));
            for (int i = 0; i < 3; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        }
    return b;
}

// A recorder in a child process, fed one block after another.
class ChildRecorder {
public:
    explicit ChildRecorder(const std::string& path) : path_(path), in_(kChannels, std::vector<float>(kFrames))
    {
        for (auto& c : in_) pointers_.push_back(c.data());
        block_.configure(vxAudioInterface::timeDomain(kChannels, kRate, kFrames), vxAudioInterface::timeDomain(0, kRate, kFrames));
    }
    CAudioFile& block() { return block_; }
    bool start(bool threaded) { return block_.openFile(path_, CAudioFile::kRecord) == 0 && block_.startStreaming(threaded) == 0; }
    // Block b of the take; false when the ring had no room for it.
    bool offer(std::int64_t b)
    {
        for (int c = 0; c < kChannels; ++c)
            for (int f = 0; f < kFrames; ++f)
                in_[static_cast<std::size_t>(c)][static_cast<std::size_t>(f)] =
                    static_cast<float>(sampleValue(c, b * kFrames + f)) / 8388608.0f;
        const auto dropped = block_.droppedBlocks();
        block_.process(pointers_.data(), nullptr, kFrames);
        return block_.droppedBlocks() == dropped;
    }

private:
    std::string path_;
    std::vector<std::vector<float>> in_;
    std::vector<float*> pointers_;
    CAudioFile block_;
};

// Frames the header on disk names, as our reader sees them.
std::int64_t framesOnDisk(const std::string& path)
{
    CWaveFile file;
    return file.open(path, CWaveFile::OpenMode::ReadOnly) == kWaveOk ? static_cast<std::int64_t>(file.numFrames()) : -1;
}

// Reads the file with all three readers: the same length, and the same
// bytes as the take's first `frames` frames. Returns that length.
std::int64_t expectReadersAgree(const std::string& path, const std::string& raw)
{
    const ReadLengths n = readLengths(path);
    EXPECT_EQ(n.sndfile, n.ours);
    EXPECT_EQ(n.sox, n.ours);
    if (n.ours < 0) return -1;
    const Bytes expected = takeBytes(n.ours);
    CWaveFile file;
    EXPECT_EQ(file.open(path, CWaveFile::OpenMode::ReadOnly), kWaveOk);
    EXPECT_TRUE(readAllData(file, 1 << 16) == expected) << "our reader";
    runCommand(std::string(ORVELAN_SOX) + " -V1 -D " + path + " -t raw " + raw);
    EXPECT_TRUE(readFile(raw) == expected) << "sox";
    return n.ours;
}

// Shared between the test and its recording child.
struct Progress {
    std::atomic<int> recording{0};
    std::atomic<std::int64_t> offered{0};  // blocks handed to process, counted before the call
};

TEST(RecordingFaults, KilledAtRandomMomentsLosesAtMostTheLastBuffer)
{
    ScratchDir dir;
    auto* progress = static_cast<Progress*>(
        mmap(nullptr, sizeof(Progress), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(progress, MAP_FAILED);
    std::mt19937 rng(45045);
    std::uniform_int_distribution<int> killAfterMs(0, 700);
    constexpr int kKills = 24;
    int rf64Reads = 0;
    for (int kill = 0; kill < kKills; ++kill) {
        SCOPED_TRACE("kill " + std::to_string(kill));
        const std::string path = dir.path("take" + std::to_string(kill) + ".wav");
        // Every other take crosses into RF64 after its second buffer.
        const bool rf64 = kill % 2 == 1;
        new (progress) Progress;
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ChildRecorder recorder(path);
            if (rf64) recorder.block().waveFileForTesting().setRf64ThresholdForTesting(kHeader + 2 * kBufferBytes - 8);
            if (!recorder.start(true)) _exit(2);
            progress->recording.store(1);
            for (std::int64_t b = 0;; ++b) {
                progress->offered.store(b + 1);
                if (!recorder.offer(b)) _exit(3);
                std::this_thread::sleep_for(1ms);
                // One buffer with the disk at a time, so that what a kill
                // may cost is one buffer and not a slow disk's backlog.
                if ((b + 1) % kBlocksPerBuffer == 0) {
                    const std::int64_t buffers = (b + 1) / kBlocksPerBuffer;
                    const auto deadline = std::chrono::steady_clock::now() + 20s;
                    while (framesOnDisk(path) < buffers * kBufferFrames) {
                        if (std::chrono::steady_clock::now() > deadline) _exit(4);
                        std::this_thread::sleep_for(1ms);
                    }
                }
            }
        }
        while (progress->recording.load() == 0 && waitpid(child, nullptr, WNOHANG) == 0) std::this_thread::sleep_for(1ms);
        std::this_thread::sleep_for(std::chrono::milliseconds(killAfterMs(rng)));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the child ended by itself: " << WEXITSTATUS(status);

        const std::int64_t offered = progress->offered.load();
        const std::int64_t frames = expectReadersAgree(path, dir.path("take.raw"));
        ASSERT_GE(frames, 0);
        EXPECT_EQ(frames % kBufferFrames, 0) << "whole buffers only";
        // The last block offered may or may not have been taken.
        const std::int64_t buffersDone = (offered - 1) / kBlocksPerBuffer, buffersAtMost = offered / kBlocksPerBuffer;
        EXPECT_LE(frames / kBufferFrames, buffersAtMost);
        EXPECT_GE(frames / kBufferFrames + 1, buffersDone) << offered << " blocks offered";
        if (rf64 && frames >= 2 * kBufferFrames) {
            EXPECT_EQ(textAt(readFile(path, 4), 0, 4), "RF64");
            ++rf64Reads;
        }
    }
    munmap(progress, sizeof(Progress));
    // The kills fell on both sides of the switch to RF64.
    EXPECT_GT(rf64Reads, 0);
}

TEST(RecordingFaults, FullDiskEndsTheTakeAtTheLastWholeBuffer)
{
    // The file may grow to two and a half buffers; the take is five. Both
    // ways of streaming: with the disk thread, and the owner's own thread.
    ScratchDir dir;
    for (const bool threaded : {true, false}) {
        SCOPED_TRACE(threaded ? "disk thread" : "owner's thread");
        const std::string path = dir.path(threaded ? "full-thread.wav" : "full-owner.wav");
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit limit{};
            getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = kHeader + 5 * kBufferBytes / 2;
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(2);
            ChildRecorder recorder(path);
            if (!recorder.start(threaded)) _exit(3);
            const auto deadline = std::chrono::steady_clock::now() + 20s;
            for (std::int64_t b = 0; b < 5 * kBlocksPerBuffer; ++b) {
                // A block the ring had no room for is offered again.
                while (!recorder.offer(b)) {
                    if (std::chrono::steady_clock::now() > deadline) _exit(4);
                    std::this_thread::sleep_for(1ms);
                }
                if (!threaded) recorder.block().checkQueue();
            }
            recorder.block().stopStreaming();
            _exit(recorder.block().ioStatus() == kWaveIoError ? 0 : 5);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "the failure was not reported, or the child failed";
        EXPECT_EQ(fileSize(path), kHeader + 2 * kBufferBytes);
        EXPECT_EQ(expectReadersAgree(path, dir.path("full.raw")), 2 * kBufferFrames);
    }
}

}  // namespace
