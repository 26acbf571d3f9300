// Writing recordings: the header as laid down, the sizes on disk after
// every write and at close, the pad byte, the empty take, the switch to
// RF64 (through the lowered threshold and on a sparse file above 4 GB) and
// every write failure.
#include <gtest/gtest.h>

#include <csignal>
#include <sndfile.h>
#include <sys/resource.h>
#include <unistd.h>

#include "support/wave_fixtures.h"

namespace {

using namespace orvelan::io;
using namespace orvelan::io::testing;

TEST(WaveFileWrite, HeaderBytesOfARecording)
{
    // 50 channels of 24-bit PCM at 48 kHz, seven frames.
    ScratchDir dir;
    const std::string path = dir.path("take.wav");
    const int channels = 50, rate = 48000;
    const Bytes samples = countingBytes(7 * channels * 3);
    writeRecording(path, channels, rate, 1, 3, samples);

    const Bytes b = readFile(path);
    ASSERT_EQ(b.size(), 104 + samples.size());
    EXPECT_EQ(textAt(b, 0, 4), "RIFF");
    EXPECT_EQ(u32At(b, 4), b.size() - 8);
    EXPECT_EQ(textAt(b, 8, 4), "WAVE");
    EXPECT_EQ(textAt(b, 12, 4), "junk");
    EXPECT_EQ(u32At(b, 16), 28u);
    EXPECT_EQ(Bytes(b.begin() + 20, b.begin() + 48), Bytes(28, 0));
    EXPECT_EQ(textAt(b, 48, 4), "fmt ");
    EXPECT_EQ(u32At(b, 52), 40u);
    const Bytes fmt = {0xFE, 0xFF, 50, 0,                                   // tag, channels
                       0x80, 0xBB, 0, 0,                                    // rate 48000
                       0x00, 0xDD, 0x6D, 0,                                 // 3 x 50 x 48000 = 7200000
                       150, 0, 24, 0, 22, 0, 24, 0, 0, 0, 0, 0,             // align, bits, cbSize, valid, mask
                       0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,      // SubFormat: PCM
                       0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    EXPECT_EQ(Bytes(b.begin() + 56, b.begin() + 96), fmt);
    EXPECT_EQ(textAt(b, 96, 4), "data");
    EXPECT_EQ(u32At(b, 100), samples.size());
    EXPECT_EQ(Bytes(b.begin() + 104, b.end()), samples);
}

TEST(WaveFileWrite, SizesOnDiskFollowEveryWrite)
{
    // Never closed: after the open and after each write the header names
    // exactly the samples written, in all three readers, and turns into
    // RF64 once the RIFF size reaches the (lowered) threshold.
    ScratchDir dir;
    const std::string path = dir.path("open.wav");
    const int channels = 3;  // an odd frame: odd data sizes, no pad byte yet
    const std::uint64_t threshold = 104 + 3 * 300 - 8;
    CWaveFile file;
    file.setRf64ThresholdForTesting(threshold);
    ASSERT_EQ(file.openForWriting(path, channels, 44100, 1, 1, 0), kWaveOk);
    std::uint64_t written = 0;
    for (const std::uint64_t frames : {0, 1, 299, 300, 301, 1000}) {
        SCOPED_TRACE(frames);
        if (frames > written) {
            const Bytes samples = countingBytes((frames - written) * channels);
            ASSERT_EQ(file.writeData(samples.data(), static_cast<std::int64_t>(samples.size())), kWaveOk);
            written = frames;
        }
        const Bytes b = readFile(path, 104);
        const std::uint64_t dataSize = frames * channels, riffSize = 104 + dataSize - 8;
        const bool rf64 = riffSize >= threshold;
        EXPECT_EQ(textAt(b, 0, 4), rf64 ? "RF64" : "RIFF");
        EXPECT_EQ(textAt(b, 12, 4), rf64 ? "ds64" : "junk");
        EXPECT_EQ(u32At(b, 4), rf64 ? 0xFFFFFFFFu : riffSize);
        EXPECT_EQ(u32At(b, 100), rf64 ? 0xFFFFFFFFu : dataSize);
        if (rf64) {
            EXPECT_EQ(u64At(b, 20), riffSize);
            EXPECT_EQ(u64At(b, 28), dataSize);
            EXPECT_EQ(u64At(b, 36), frames);
        }
        const ReadLengths n = readLengths(path);
        EXPECT_EQ(n.ours, static_cast<std::int64_t>(frames));
        EXPECT_EQ(n.sndfile, static_cast<std::int64_t>(frames));
        EXPECT_EQ(n.sox, static_cast<std::int64_t>(frames));
    }
}

TEST(WaveFileWrite, OddDataGetsAPadByteOutsideTheDataSize)
{
    ScratchDir dir;
    const std::string path = dir.path("odd.wav");
    writeRecording(path, 1, 48000, 1, 3, countingBytes(3 * 5, 1));
    const Bytes b = readFile(path);
    ASSERT_EQ(b.size(), 104u + 15 + 1);
    EXPECT_EQ(b.back(), 0);
    EXPECT_EQ(u32At(b, 100), 15u);
    EXPECT_EQ(u32At(b, 4), b.size() - 8);
}

TEST(WaveFileWrite, EmptyTakeLeavesNoFile)
{
    ScratchDir dir;
    const std::string path = dir.path("empty.wav");
    CWaveFile file;
    ASSERT_EQ(file.openForWriting(path, 32, 48000, 1, 3, 0), kWaveOk);
    EXPECT_TRUE(fileExists(path));
    EXPECT_EQ(file.close(), kWaveOk);
    EXPECT_FALSE(fileExists(path));
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(file.close(), kWaveOk);  // closing again is harmless
}

TEST(WaveFileWrite, OpeningAgainFinishesTheRecordingInProgress)
{
    ScratchDir dir;
    CWaveFile file;
    ASSERT_EQ(file.openForWriting(dir.path("first.wav"), 2, 48000, 1, 2, 0), kWaveOk);
    ASSERT_EQ(file.writeData(countingBytes(40).data(), 40), kWaveOk);
    ASSERT_EQ(file.openForWriting(dir.path("second.wav"), 2, 48000, 1, 2, 0), kWaveOk);
    const Bytes first = readFile(dir.path("first.wav"));
    EXPECT_EQ(u32At(first, 100), 40u);
    EXPECT_EQ(u32At(first, 4), first.size() - 8);
}

// The RIFF size of a closed file decides between RIFF and RF64; the
// threshold is lowered so that a small file crosses it.
TEST(WaveFileWrite, Rf64FromTheThresholdOn)
{
    ScratchDir dir;
    const int channels = 4;
    const Bytes samples = countingBytes(100 * channels * 3);
    const std::uint64_t riffSize = 104 + samples.size() - 8;
    struct Case {
        std::uint64_t threshold;
        bool rf64;
    };
    for (const Case c : {Case{riffSize + 1, false}, Case{riffSize, true}, Case{riffSize - 1, true}}) {
        SCOPED_TRACE(c.threshold);
        const std::string path = dir.path("rf64.wav");
        CWaveFile writer;
        writer.setRf64ThresholdForTesting(c.threshold);
        ASSERT_EQ(writer.openForWriting(path, channels, 48000, 1, 3, 0), kWaveOk);
        ASSERT_EQ(writer.writeData(samples.data(), static_cast<std::int64_t>(samples.size())), kWaveOk);
        ASSERT_EQ(writer.close(), kWaveOk);

        const Bytes b = readFile(path);
        if (c.rf64) {
            EXPECT_EQ(textAt(b, 0, 4), "RF64");
            EXPECT_EQ(u32At(b, 4), 0xFFFFFFFFu);
            EXPECT_EQ(textAt(b, 12, 4), "ds64");
            EXPECT_EQ(u32At(b, 16), 28u);
            EXPECT_EQ(u64At(b, 20), riffSize);
            EXPECT_EQ(u64At(b, 28), samples.size());
            EXPECT_EQ(u64At(b, 36), 100u);
            EXPECT_EQ(u32At(b, 44), 0u);
            EXPECT_EQ(u32At(b, 100), 0xFFFFFFFFu);
        } else {
            EXPECT_EQ(textAt(b, 0, 4), "RIFF");
            EXPECT_EQ(u32At(b, 4), riffSize);
            EXPECT_EQ(textAt(b, 12, 4), "junk");
            EXPECT_EQ(Bytes(b.begin() + 20, b.begin() + 48), Bytes(28, 0));
            EXPECT_EQ(u32At(b, 100), samples.size());
        }
        CWaveFile reader;
        ASSERT_EQ(reader.open(path, CWaveFile::OpenMode::ReadOnly), kWaveOk);
        EXPECT_EQ(reader.numFrames(), 100u);
        EXPECT_EQ(readAllData(reader), samples);

        SF_INFO info{};
        SNDFILE* sf = sf_open(path.c_str(), SFM_READ, &info);
        ASSERT_NE(sf, nullptr) << sf_strerror(nullptr);
        EXPECT_EQ(info.frames, 100);
        EXPECT_EQ(info.format & SF_FORMAT_TYPEMASK, c.rf64 ? SF_FORMAT_RF64 : SF_FORMAT_WAVEX);
        sf_close(sf);
    }
}

TEST(WaveFileWrite, SparseRecordingAbove4GBecomesRf64)
{
    // 5 GB of samples of which only the first and the last ten frames are
    // written: the writer seeks over a hole, so nothing large touches the
    // disk. From the write past 4 GB on the header on disk is RF64, before
    // the close as after it. (sox reads every byte of a file this large to
    // learn its length, a minute or more even for a hole, so the readers
    // here are ours and libsndfile; the lowered threshold lets sox read the
    // same header form elsewhere.)
    ScratchDir dir;
    const std::string path = dir.path("big.wav");
    const int channels = 32;
    const std::uint64_t blockAlign = channels * 3;
    const std::uint64_t frames = 5'000'000'000ull / blockAlign;
    const std::uint64_t dataSize = frames * blockAlign;
    const Bytes head = countingBytes(blockAlign * 10), tail = countingBytes(blockAlign * 10, 77);
    CWaveFile writer;
    ASSERT_EQ(writer.openForWriting(path, channels, 48000, 1, 3, 0), kWaveOk);
    ASSERT_EQ(writer.writeData(head.data(), static_cast<std::int64_t>(head.size())), kWaveOk);
    writer.seekToFrame(frames - 10);
    ASSERT_EQ(writer.writeData(tail.data(), static_cast<std::int64_t>(tail.size())), kWaveOk);

    for (const bool closed : {false, true}) {
        SCOPED_TRACE(closed ? "closed" : "still recording");
        if (closed) {
            ASSERT_EQ(writer.close(), kWaveOk);
        }
        const Bytes b = readFile(path, 104);
        EXPECT_EQ(textAt(b, 0, 4), "RF64");
        EXPECT_EQ(u32At(b, 4), 0xFFFFFFFFu);
        EXPECT_EQ(textAt(b, 12, 4), "ds64");
        EXPECT_EQ(u64At(b, 20), 104 + dataSize - 8);
        EXPECT_EQ(u64At(b, 28), dataSize);
        EXPECT_EQ(u64At(b, 36), frames);
        EXPECT_EQ(u32At(b, 100), 0xFFFFFFFFu);

        SF_INFO info{};
        SNDFILE* sf = sf_open(path.c_str(), SFM_READ, &info);
        ASSERT_NE(sf, nullptr) << sf_strerror(nullptr);
        EXPECT_EQ(info.format & SF_FORMAT_TYPEMASK, SF_FORMAT_RF64);
        EXPECT_EQ(info.channels, channels);
        EXPECT_EQ(static_cast<std::uint64_t>(info.frames), frames);
        std::vector<int> first(channels * 2);
        ASSERT_EQ(sf_readf_int(sf, first.data(), 2), 2);
        for (int i = 0; i < channels * 2; ++i) {
            const int expected = static_cast<int>(static_cast<std::uint32_t>(head[3 * i] | head[3 * i + 1] << 8 | head[3 * i + 2] << 16) << 8);
            ASSERT_EQ(first[i], expected) << i;
        }
        ASSERT_EQ(sf_seek(sf, static_cast<sf_count_t>(frames - 1), SEEK_SET), static_cast<sf_count_t>(frames - 1));
        EXPECT_EQ(sf_readf_int(sf, first.data(), 2), 1);
        sf_close(sf);

        CWaveFile reader;
        ASSERT_EQ(reader.open(path, CWaveFile::OpenMode::ReadOnly), kWaveOk);
        EXPECT_EQ(reader.dataSize(), dataSize);
        EXPECT_EQ(reader.numFrames(), frames);
        reader.seekToFrame(frames - 10);
        Bytes last(tail.size() + blockAlign, 0xEE);
        EXPECT_EQ(reader.readData(last.data(), static_cast<std::int64_t>(last.size())), static_cast<std::int64_t>(tail.size()));
        EXPECT_EQ(Bytes(last.begin(), last.begin() + static_cast<std::ptrdiff_t>(tail.size())), tail);
        EXPECT_EQ(Bytes(last.begin() + static_cast<std::ptrdiff_t>(tail.size()), last.end()), Bytes(blockAlign, 0));
    }
}

TEST(WaveFileWrite, RefusedOpensLeaveNoFile)
{
    ScratchDir dir;
    const std::string path = dir.path("refused.wav");
    struct Case {
        const char* what;
        std::string name;
        int channels, rate, bytes, code;
    };
    const Case cases[] = {
        {"empty name", "", 2, 48000, 3, kWaveNoFileName},
        {"missing directory", dir.path("none/x.wav"), 2, 48000, 3, kWaveCannotOpen},
        {"no channels", path, 0, 48000, 3, kWaveBadArgument},
        {"frame beyond the 16-bit block align", path, 21846, 48000, 3, kWaveBadArgument},
        {"no rate", path, 2, 0, 3, kWaveBadArgument},
        {"no sample bytes", path, 2, 48000, 0, kWaveBadArgument},
        {"five sample bytes", path, 2, 48000, 5, kWaveBadArgument},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CWaveFile file;
        EXPECT_EQ(file.openForWriting(c.name, c.channels, c.rate, 1, c.bytes, 0), c.code);
        EXPECT_FALSE(file.isOpen());
        EXPECT_FALSE(fileExists(path));
    }
}

TEST(WaveFileWrite, RecordingToADeviceIsNeitherPatchedNorRemoved)
{
    // /dev/null swallows the header: at close the file is shorter than its
    // header, which is reported, and the device stays.
    CWaveFile file;
    ASSERT_EQ(file.openForWriting("/dev/null", 2, 48000, 1, 3, 0), kWaveOk);
    EXPECT_EQ(file.close(), kWaveIoError);
    EXPECT_TRUE(fileExists("/dev/null"));
}

// The file-size limit makes the file system refuse writes past a length.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }

private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
};

TEST(WaveFileWrite, AFailedWriteEndsTheTakeAtTheLastWholeBuffer)
{
    ScratchDir dir;
    {
        // The header itself cannot be written: the open fails and the
        // fragment is removed.
        const std::string path = dir.path("header.wav");
        FileSizeLimit limit(50);
        CWaveFile file;
        EXPECT_EQ(file.openForWriting(path, 2, 48000, 1, 3, 0), kWaveIoError);
        EXPECT_FALSE(file.isOpen());
        EXPECT_FALSE(fileExists(path));
    }
    {
        // The second buffer only partly fits: its bytes are cut away, the
        // header names the first, and nothing is written after the failure,
        // not even once there is room again.
        const std::string path = dir.path("samples.wav");
        CWaveFile file;
        const Bytes first = countingBytes(600), second = countingBytes(600, 7);
        {
            FileSizeLimit limit(1000);
            ASSERT_EQ(file.openForWriting(path, 2, 48000, 1, 3, 0), kWaveOk);
            EXPECT_EQ(file.writeData(first.data(), 600), kWaveOk);
            EXPECT_EQ(file.writeData(second.data(), 600), kWaveIoError);
            EXPECT_TRUE(file.writeFailed());
        }
        EXPECT_EQ(file.writeData(second.data(), 6), kWaveIoError);
        EXPECT_EQ(file.close(), kWaveIoError);
        const Bytes b = readFile(path);
        ASSERT_EQ(b.size(), 104u + 600);
        EXPECT_EQ(u32At(b, 100), 600u);
        EXPECT_EQ(u32At(b, 4), 104u + 600 - 8);
        EXPECT_EQ(Bytes(b.begin() + 104, b.end()), first);
        const ReadLengths n = readLengths(path);
        EXPECT_EQ(n.ours, 100);
        EXPECT_EQ(n.sndfile, 100);
        EXPECT_EQ(n.sox, 100);
    }
    {
        // The very first buffer fails: nothing was recorded, no file stays.
        const std::string path = dir.path("none.wav");
        CWaveFile file;
        {
            FileSizeLimit limit(200);
            ASSERT_EQ(file.openForWriting(path, 2, 48000, 1, 3, 0), kWaveOk);
            EXPECT_EQ(file.writeData(countingBytes(600).data(), 600), kWaveIoError);
        }
        EXPECT_EQ(file.close(), kWaveIoError);
        EXPECT_FALSE(fileExists(path));
    }
    {
        // Writing with no recording open.
        CWaveFile file;
        EXPECT_EQ(file.writeData(countingBytes(4).data(), 4), kWaveIoError);
    }
}

}  // namespace
