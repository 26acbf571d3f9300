// Interoperability both ways: recordings of every sample format we write,
// at 1, 2, 32 and 50 channels, are read back by us, by libsndfile and by
// sox; files that sox and libsndfile write (float with fact, 24-bit
// extensible, RF64 with the 0xFFFFFFFF data size, bext, streams of unknown
// length) are read by us as libsndfile reads them.
#include <gtest/gtest.h>

#include <cstring>
#include <sndfile.h>

#include "wavefile/byte_order.h"
#include "support/wave_fixtures.h"

namespace {

using namespace orvelan::io;
using namespace orvelan::io::testing;

struct SampleFormat {
    const char* name;
    int tag, bytes;
    int sndfileSubtype;
    const char* soxEncoding;
};

constexpr SampleFormat kFormats[] = {
    {"8-bit", 1, 1, SF_FORMAT_PCM_U8, "Unsigned Integer PCM"},
    {"16-bit", 1, 2, SF_FORMAT_PCM_16, "Signed Integer PCM"},
    {"24-bit", 1, 3, SF_FORMAT_PCM_24, "Signed Integer PCM"},
    {"32-bit", 1, 4, SF_FORMAT_PCM_32, "Signed Integer PCM"},
    {"float", 3, 4, SF_FORMAT_FLOAT, "Floating Point PCM"},
};

// Sample bytes of a format: integers cover every byte value; floats are
// multiples of 2^-15 in [-1, 1), which pass sox's 32-bit path exactly.
Bytes samplesOf(const SampleFormat& f, std::size_t count)
{
    if (f.tag == 1) return countingBytes(count * static_cast<std::size_t>(f.bytes), 3);
    Bytes b(count * 4);
    for (std::size_t i = 0; i < count; ++i) {
        const float v = static_cast<float>(static_cast<int>((i * 7919) % 65536) - 32768) / 32768.0f;
        std::uint32_t bits;
        std::memcpy(&bits, &v, 4);
        storeU32(b.data() + 4 * i, bits);
    }
    return b;
}

// A sample as libsndfile's int reader gives it: left-justified in 32 bits.
int leftJustified(const SampleFormat& f, const std::uint8_t* p)
{
    switch (f.bytes) {
    case 1: return (p[0] - 128) * (1 << 24);
    case 2: return static_cast<int>(static_cast<std::uint32_t>(loadU16(p)) << 16);
    case 3: return static_cast<int>(static_cast<std::uint32_t>(p[0] | p[1] << 8 | p[2] << 16) << 8);
    default: return static_cast<int>(loadU32(p));
    }
}

std::string trimmed(std::string s)
{
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
    return s;
}

TEST(WaveFileInterop, RecordingsReadBackByUsLibsndfileAndSox)
{
    ScratchDir dir;
    const std::string path = dir.path("take.wav");
    const std::string raw = dir.path("take.raw");
    const int rate = 48000;
    const std::size_t frames = 301;  // odd: 8-bit mono takes a pad byte
    for (const SampleFormat& f : kFormats) {
        for (const int channels : {1, 2, 32, 50}) {
            SCOPED_TRACE(std::string(f.name) + " x " + std::to_string(channels));
            const Bytes samples = samplesOf(f, frames * static_cast<std::size_t>(channels));
            writeRecording(path, channels, rate, f.tag, f.bytes, samples);

            // Ourselves.
            CWaveFile ours;
            int c, r, b, tag, levl;
            ASSERT_EQ(ours.openForReading(path, c, r, b, tag, levl), kWaveOk);
            EXPECT_EQ(c, channels);
            EXPECT_EQ(r, rate);
            EXPECT_EQ(b, f.bytes);
            EXPECT_EQ(tag, f.tag);
            EXPECT_EQ(ours.numFrames(), frames);
            EXPECT_EQ(readAllData(ours), samples);

            // libsndfile.
            SF_INFO info{};
            SNDFILE* sf = sf_open(path.c_str(), SFM_READ, &info);
            ASSERT_NE(sf, nullptr) << sf_strerror(nullptr);
            EXPECT_EQ(info.channels, channels);
            EXPECT_EQ(info.samplerate, rate);
            EXPECT_EQ(info.frames, static_cast<sf_count_t>(frames));
            EXPECT_EQ(info.format & SF_FORMAT_SUBMASK, f.sndfileSubtype);
            const std::size_t count = frames * static_cast<std::size_t>(channels);
            if (f.tag == 3) {
                std::vector<float> values(count);
                ASSERT_EQ(sf_readf_float(sf, values.data(), static_cast<sf_count_t>(frames)), static_cast<sf_count_t>(frames));
                EXPECT_EQ(std::memcmp(values.data(), samples.data(), samples.size()), 0);
            } else {
                std::vector<int> values(count);
                ASSERT_EQ(sf_readf_int(sf, values.data(), static_cast<sf_count_t>(frames)), static_cast<sf_count_t>(frames));
                for (std::size_t i = 0; i < count; ++i)
                    ASSERT_EQ(values[i], leftJustified(f, samples.data() + i * static_cast<std::size_t>(f.bytes))) << i;
            }
            sf_close(sf);

            // sox: the header as soxi reports it, and the samples converted
            // to raw bytes of the same encoding.
            const std::string soxi = ORVELAN_SOXI;
            EXPECT_EQ(trimmed(runCommand(soxi + " -c " + path)), std::to_string(channels));
            EXPECT_EQ(trimmed(runCommand(soxi + " -r " + path)), std::to_string(rate));
            EXPECT_EQ(trimmed(runCommand(soxi + " -s " + path)), std::to_string(frames));
            EXPECT_EQ(trimmed(runCommand(soxi + " -b " + path)), std::to_string(8 * f.bytes));
            EXPECT_EQ(trimmed(runCommand(soxi + " -e " + path)), f.soxEncoding);
            runCommand(std::string(ORVELAN_SOX) + " -V1 -D " + path + " -t raw " + raw);
            EXPECT_EQ(readFile(raw), samples);
        }
    }
}

TEST(WaveFileInterop, FilesWrittenBySox)
{
    ScratchDir dir;
    struct Case {
        const char* what;
        const char* options;
        int tag, bits;
        bool extensible;
    };
    const Case cases[] = {
        {"float with fact", "-c 2 -b 32 -e floating-point", 3, 32, false},
        {"24-bit extensible", "-c 4 -b 24", 1, 24, true},
        {"16-bit", "-c 2 -b 16", 1, 16, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir.path("sox.wav");
        runCommand(std::string(ORVELAN_SOX) + " -V1 -n -r 44100 " + c.options + " " + path +
                   " synth 0.05 sine 440 sine 1000 sine 3000 sine 5000");
        const Bytes file = readFile(path);
        ASSERT_GT(file.size(), 44u);

        CWaveFile ours;
        ASSERT_EQ(ours.open(path, CWaveFile::OpenMode::ReadOnly), kWaveOk);
        EXPECT_EQ(ours.formatTag(), c.tag);
        EXPECT_EQ(ours.bitsPerSample(), c.bits);
        EXPECT_EQ(ours.fmt().extensible(), c.extensible);
        EXPECT_EQ(ours.sampleRate(), 44100);
        const Bytes samples = readAllData(ours);

        // The same samples through libsndfile, as raw little-endian bytes.
        SF_INFO info{};
        SNDFILE* sf = sf_open(path.c_str(), SFM_READ, &info);
        ASSERT_NE(sf, nullptr);
        EXPECT_EQ(static_cast<std::uint64_t>(info.frames), ours.numFrames());
        EXPECT_EQ(info.channels, ours.channels());
        Bytes theirs(samples.size());
        EXPECT_EQ(sf_read_raw(sf, theirs.data(), static_cast<sf_count_t>(theirs.size())), static_cast<sf_count_t>(theirs.size()));
        sf_close(sf);
        EXPECT_EQ(samples, theirs);
        EXPECT_NE(samples, Bytes(samples.size(), 0));
    }
}

TEST(WaveFileInterop, StreamsOfUnknownLengthReadAsLibsndfileReadsThem)
{
    // Sizes a writer could not know: 0xFFFFFFFF (no ds64), what sox leaves
    // when it writes to a pipe, and the place holders of a recording cut
    // off. Every frame on disk is read, as libsndfile reads it.
    ScratchDir dir;
    const Bytes samples = countingBytes(6 * 1001);
    const Bytes fmt = fmtBody(1, 3, 48000, 16);
    struct Case {
        const char* what;
        Bytes file;
    };
    std::vector<Case> cases = {
        {"0xFFFFFFFF in both sizes",
         [&] {
             Bytes b = RiffBuilder().chunk("fmt ", fmt).chunk("data", samples, 0xFFFFFFFFu).bytes();
             storeU32(b.data() + 4, 0xFFFFFFFFu);
             return b;
         }()},
        {"four spaces in both sizes",
         [&] {
             Bytes b = RiffBuilder().chunk("fmt ", fmt).chunk("data", samples, 0x20202020u).bytes();
             storeU32(b.data() + 4, 0x20202020u);
             return b;
         }()},
    };
    const std::string piped = dir.path("piped.wav");
    runCommand(std::string(ORVELAN_SOX) + " -V1 -n -r 44100 -c 2 -b 24 -t wav - synth 0.1 sine 440 sine 1000 | cat > " + piped);
    cases.push_back({"written by sox to a pipe", readFile(piped)});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir.path("stream.wav");
        writeFile(path, c.file);
        SF_INFO info{};
        SNDFILE* sf = sf_open(path.c_str(), SFM_READ, &info);
        ASSERT_NE(sf, nullptr) << sf_strerror(nullptr);
        CWaveFile ours;
        ASSERT_EQ(ours.open(path, CWaveFile::OpenMode::ReadOnly), kWaveOk);
        EXPECT_EQ(static_cast<std::int64_t>(ours.numFrames()), info.frames);
        EXPECT_GT(info.frames, 1000);
        const Bytes mine = readAllData(ours);
        Bytes theirs(mine.size());
        EXPECT_EQ(sf_read_raw(sf, theirs.data(), static_cast<sf_count_t>(theirs.size())), static_cast<sf_count_t>(theirs.size()));
        sf_close(sf);
        EXPECT_EQ(mine, theirs);
    }
}

TEST(WaveFileInterop, Rf64WrittenByLibsndfile)
{
    ScratchDir dir;
    const std::string path = dir.path("sndfile.rf64.wav");
    const int channels = 3;
    const sf_count_t frames = 1001;
    std::vector<int> values(static_cast<std::size_t>(frames * channels));
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = static_cast<int>((i * 2654435761u) & 0xFFFFFF00u);
    {
        SF_INFO info{};
        info.samplerate = 48000;
        info.channels = channels;
        info.format = SF_FORMAT_RF64 | SF_FORMAT_PCM_24;
        SNDFILE* sf = sf_open(path.c_str(), SFM_WRITE, &info);
        ASSERT_NE(sf, nullptr) << sf_strerror(nullptr);
        ASSERT_EQ(sf_writef_int(sf, values.data(), frames), frames);
        sf_close(sf);
    }
    const Bytes file = readFile(path);
    ASSERT_EQ(textAt(file, 0, 4), "RF64");
    ASSERT_EQ(textAt(file, 12, 4), "ds64");

    CWaveFile ours;
    ASSERT_EQ(ours.open(path, CWaveFile::OpenMode::ReadOnly), kWaveOk);
    // libsndfile keeps the real size in ds64 and 0xFFFFFFFF in the chunk.
    ASSERT_GE(ours.dataStart(), 4u);
    EXPECT_EQ(u32At(file, static_cast<std::size_t>(ours.dataStart() - 4)), 0xFFFFFFFFu);
    EXPECT_EQ(ours.ds64().dataSize, static_cast<std::uint64_t>(frames * channels * 3));
    EXPECT_EQ(ours.numFrames(), static_cast<std::uint64_t>(frames));
    EXPECT_EQ(ours.bitsPerSample(), 24);
    const Bytes samples = readAllData(ours);
    ASSERT_EQ(samples.size(), values.size() * 3);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::uint32_t v = static_cast<std::uint32_t>(values[i]) >> 8;
        ASSERT_EQ(samples[3 * i] | samples[3 * i + 1] << 8 | samples[3 * i + 2] << 16, static_cast<int>(v & 0xFFFFFF)) << i;
    }
}

TEST(WaveFileInterop, BextWrittenByLibsndfile)
{
    ScratchDir dir;
    const std::string path = dir.path("bwf.wav");
    const std::string history = "A=PCM,F=48000,W=16,M=stereo,T=orvelan-test\r\n";
    {
        SF_INFO info{};
        info.samplerate = 48000;
        info.channels = 2;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        SNDFILE* sf = sf_open(path.c_str(), SFM_WRITE, &info);
        ASSERT_NE(sf, nullptr) << sf_strerror(nullptr);
        SF_BROADCAST_INFO bext{};
        std::strcpy(bext.description, "Sphere take 12");
        std::strcpy(bext.originator, "Orvelan tests");
        std::memcpy(bext.origination_date, "2026-12-10", 10);
        std::memcpy(bext.origination_time, "07-10-00", 8);
        bext.time_reference_low = 0x89ABCDEF;
        bext.time_reference_high = 0x1;
        bext.version = 1;
        std::strcpy(bext.coding_history, history.c_str());
        bext.coding_history_size = static_cast<std::uint32_t>(history.size());
        ASSERT_EQ(sf_command(sf, SFC_SET_BROADCAST_INFO, &bext, sizeof bext), SF_TRUE);
        const std::vector<short> frames(2 * 100, 1234);
        ASSERT_EQ(sf_writef_short(sf, frames.data(), 100), 100);
        sf_close(sf);
    }
    CWaveFile ours;
    ASSERT_EQ(ours.open(path, CWaveFile::OpenMode::ReadOnly), kWaveOk);
    const CBextChunk& bext = ours.bext();
    EXPECT_EQ(bext.description(), "Sphere take 12");
    EXPECT_EQ(bext.originator(), "Orvelan tests");
    EXPECT_EQ(bext.originationDate(), "2026-12-10");
    EXPECT_EQ(bext.originationTime(), "07-10-00");
    EXPECT_EQ(bext.timeReference(), 0x189ABCDEFull);
    const std::string coding(bext.codingHistory().begin(), bext.codingHistory().end());
    EXPECT_EQ(coding.substr(0, history.size()), history);
    EXPECT_EQ(ours.numFrames(), 100u);
    const Bytes samples = readAllData(ours);
    for (std::size_t i = 0; i < samples.size(); i += 2) ASSERT_EQ(loadU16(samples.data() + i), 1234) << i;
}

}  // namespace
