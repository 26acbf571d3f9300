// Reading: the chunk walk over the forms a player meets (ids in any case,
// padded odd chunks, the format forms, ds64, bext, levl) and the sample
// reads that never pass the end of the data chunk.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "wavefile/byte_order.h"
#include "support/wave_fixtures.h"

namespace {

using namespace orvelan::io;
using namespace orvelan::io::testing;

Bytes cut(Bytes b, std::size_t length)
{
    b.resize(length);
    return b;
}

// Writes the bytes to a file and opens it for reading.
int openBytes(CWaveFile& file, const ScratchDir& dir, const Bytes& bytes)
{
    const std::string path = dir.path("in.wav");
    writeFile(path, bytes);
    return file.open(path, CWaveFile::OpenMode::ReadOnly);
}

TEST(WaveFileRead, FormatForms)
{
    struct Case {
        const char* what;
        Bytes fmt;
        int code, tag, bits, blockAlign;
        bool extensible;
    };
    const Case cases[] = {
        {"plain PCM", fmtBody(1, 2, 48000, 16), kWaveOk, 1, 16, 4, false},
        {"PCM with cbSize", fmtBody(1, 2, 48000, 24, true), kWaveOk, 1, 24, 6, false},
        {"float", fmtBody(3, 2, 48000, 32, true), kWaveOk, 3, 32, 8, false},
        {"unknown tag", fmtBody(0x55, 2, 48000, 16), kWaveOk, 0, 16, 4, false},
        {"12 bits round up", fmtBody(1, 3, 48000, 12), kWaveOk, 1, 16, 6, false},
        {"extensible PCM", extensibleFmtBody(4, 48000, 24), kWaveOk, 1, 24, 12, true},
        {"16-byte body with the extensible tag", fmtBody(0xFFFE, 2, 48000, 16), kWaveOk, 1, 16, 4, true},
        {"extensible float", extensibleFmtBody(2, 48000, 32, 3), kWaveOk, 3, 32, 8, true},
        {"extensible of another kind", extensibleFmtBody(2, 48000, 16, 2), kWaveChunkUnfit, 1, 16, 4, false},
        {"extensible without cbSize 22", extensibleFmtBody(2, 48000, 16, 1, 0), kWaveChunkUnfit, 1, 16, 4, false},
        {"extensible cut to 18 bytes", cut(extensibleFmtBody(2, 48000, 16), 18), kWaveChunkUnfit, 1, 16, 4, false},
        {"float of 64 bits", fmtBody(3, 2, 48000, 64), kWaveChunkUnfit, 3, 64, 16, false},
        {"below 16 bytes", Bytes(14, 1), kWaveChunkUnfit, 1, 0, 0, true},
        {"no channels", fmtBody(1, 0, 48000, 16), kWaveChunkUnfit, 1, 16, 0, false},
        {"no rate", fmtBody(1, 2, 0, 16), kWaveChunkUnfit, 1, 16, 4, false},
        {"no bits", fmtBody(1, 2, 48000, 0), kWaveChunkUnfit, 1, 0, 0, false},
        {"40 bits", fmtBody(1, 2, 48000, 40), kWaveChunkUnfit, 1, 40, 10, false},
        // What a playable file may ask of the player's buffers.
        {"1024 channels of 8 bits", fmtBody(1, 1024, 8000, 8), kWaveOk, 1, 8, 1024, false},
        {"32 float channels at 192 kHz", fmtBody(3, 32, 192000, 32), kWaveOk, 3, 32, 128, false},
        {"65535 channels of 8 bits", fmtBody(1, 65535, 8000, 8), kWaveChunkUnfit, 1, 8, 65535, false},
        {"1025 channels", fmtBody(1, 1025, 8000, 8), kWaveChunkUnfit, 1, 8, 1025, false},
        {"a rate of 2^31 - 1", fmtBody(1, 1, 0x7FFFFFFF, 8), kWaveChunkUnfit, 1, 8, 1, false},
        {"a rate above 768 kHz", fmtBody(1, 1, 768001, 8), kWaveChunkUnfit, 1, 8, 1, false},
        {"more than 32 MiB a second", fmtBody(1, 64, 192000, 32), kWaveChunkUnfit, 1, 32, 256, false},
    };
    ScratchDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CWaveFile file;
        const int code = openBytes(file, dir, RiffBuilder().chunk("fmt ", c.fmt).chunk("data", Bytes(48, 7)).bytes());
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(file.isOpen(), c.code == kWaveOk);
        if (c.code != kWaveOk) continue;
        EXPECT_EQ(file.formatTag(), c.tag);
        EXPECT_EQ(file.bitsPerSample(), c.bits);
        EXPECT_EQ(file.blockAlign(), c.blockAlign);
        EXPECT_EQ(file.fmt().byteRate(), static_cast<std::uint32_t>(c.blockAlign) * file.fmt().sampleRate());
        EXPECT_EQ(file.fmt().extensible(), c.extensible);
        EXPECT_EQ(file.numFrames(), 48u / c.blockAlign);
    }
}

TEST(WaveFileRead, ChunkWalk)
{
    // Ids in any case; odd chunks with their pad byte; the ds64 sizes; the
    // data chunk wherever it is.
    const Bytes samples = countingBytes(60);
    const Bytes fmt = fmtBody(1, 2, 44100, 16);
    struct Case {
        const char* what;
        Bytes file;
        std::uint64_t dataSize;
    };
    const Case cases[] = {
        {"upper-case ids", RiffBuilder().chunk("FMT ", fmt).chunk("DATA", samples).bytes(), 60},
        {"odd LIST and JUNK skipped with their pad",
         RiffBuilder().chunk("LIST", Bytes(5, 'x')).chunk("fmt ", fmt).chunk("JUNK", Bytes(3, 'y')).chunk("data", samples).bytes(),
         60},
        {"fact and a chunk after the data",
         RiffBuilder().chunk("fmt ", fmt).chunk("fact", Bytes(4, 1)).chunk("data", samples).chunk("LIST", Bytes(9, 'z')).bytes(),
         60},
        {"format after the data", RiffBuilder().chunk("data", samples).chunk("fmt ", fmt).bytes(), 60},
        {"RF64 with ds64", RiffBuilder("RF64").chunk("ds64", ds64Body(0, 60, 15)).chunk("fmt ", fmt).chunk("data", samples, 0xFFFFFFFFu).bytes(), 60},
        {"ds64 size in a RIFF file", RiffBuilder().chunk("ds64", ds64Body(0, 40, 10)).chunk("fmt ", fmt).chunk("data", samples, 0xFFFFFFFFu).bytes(), 40},
        {"0xFFFFFFFF without a ds64 runs to the end", RiffBuilder("RF64").chunk("fmt ", fmt).chunk("data", samples, 0xFFFFFFFFu).bytes(), 60},
        {"odd chunk at the end without its pad",
         RiffBuilder().chunk("fmt ", fmt).chunk("data", samples).chunk("junk", Bytes(3, 1), {}, false).bytes(), 60},
        {"trailing bytes too short for a chunk header",
         RiffBuilder().chunk("fmt ", fmt).chunk("data", samples).raw(Bytes(5, 0xAB)).bytes(), 60},
    };
    ScratchDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CWaveFile file;
        ASSERT_EQ(openBytes(file, dir, c.file), kWaveOk);
        EXPECT_EQ(file.channels(), 2);
        EXPECT_EQ(file.sampleRate(), 44100);
        EXPECT_EQ(file.dataSize(), c.dataSize);
        EXPECT_EQ(readAllData(file), Bytes(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(c.dataSize)));
    }
}

// Read calls this process has made so far.
std::uint64_t readCalls()
{
    std::ifstream io("/proc/self/io");
    std::string key;
    std::uint64_t value = 0;
    while (io >> key >> value)
        if (key == "syscr:") return value;
    return 0;
}

TEST(WaveFileRead, ChunkWalkStopsAtTheFirstBytesThatCannotBeAChunk)
{
    const Bytes samples = countingBytes(60);
    const Bytes fmt = fmtBody(1, 2, 44100, 16);
    struct Case {
        const char* what;
        Bytes file;
        int code;
    };
    const Case cases[] = {
        {"zero bytes after the data", RiffBuilder().chunk("fmt ", fmt).chunk("data", samples).raw(Bytes(64, 0)).bytes(), kWaveOk},
        {"samples after a data chunk that says less",
         RiffBuilder().chunk("fmt ", fmt).chunk("data", samples, 40).raw(Bytes(samples.begin() + 40, samples.end())).bytes(), kWaveOk},
        {"an id with a control character, then a format that is never read",
         RiffBuilder().chunk("fmt ", fmt).chunk("data", samples).chunk("LI\x01T", Bytes(4)).chunk("fmt ", Bytes(3)).bytes(), kWaveOk},
        {"zero bytes before the data", RiffBuilder().chunk("fmt ", fmt).raw(Bytes(64, 0)).chunk("data", samples).bytes(), kWaveChunkUnfit},
    };
    ScratchDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CWaveFile file;
        ASSERT_EQ(openBytes(file, dir, c.file), c.code);
        if (c.code != kWaveOk) continue;
        EXPECT_EQ(readAllData(file), Bytes(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(file.dataSize())));
    }

    // 1 GB of zero bytes after the data (a hole): a few reads, not one for
    // every eight bytes.
    const std::string path = dir.path("zeros.wav");
    writeFile(path, RiffBuilder().chunk("fmt ", fmt).chunk("data", samples).bytes());
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(fileSize(path) + (1ull << 30))), 0);
    const std::uint64_t before = readCalls();
    CWaveFile file;
    ASSERT_EQ(file.open(path, CWaveFile::OpenMode::ReadOnly), kWaveOk);
    EXPECT_LT(readCalls() - before, 50u);
    EXPECT_EQ(file.dataSize(), samples.size());
}

TEST(WaveFileRead, BroadcastExtension)
{
    ScratchDir dir;
    const std::string history = "A=PCM,F=48000,W=24,M=mono\r\n";
    CWaveFile file;
    ASSERT_EQ(openBytes(file, dir,
                        RiffBuilder()
                            .chunk("bext", bextBody("Take 7", "Orvelan", 0x123456789ull, history))
                            .chunk("fmt ", fmtBody(1, 1, 48000, 24))
                            .chunk("data", countingBytes(9))
                            .bytes()),
              kWaveOk);
    const CBextChunk& bext = file.bext();
    EXPECT_EQ(bext.size(), 602u + history.size());
    EXPECT_EQ(bext.description(), "Take 7");
    EXPECT_EQ(bext.originator(), "Orvelan");
    EXPECT_EQ(bext.timeReference(), 0x123456789ull);
    EXPECT_EQ(bext.version(), 1);
    EXPECT_EQ(std::string(bext.codingHistory().begin(), bext.codingHistory().end()), history);
}

TEST(WaveFileRead, PeakEnvelope)
{
    ScratchDir dir;
    const Bytes peaks = {10, 246, 20, 236, 30, 226};
    struct Case {
        const char* what;
        Bytes levl;
        CivilDate date;
        CivilTime time;
    };
    Bytes gapped = levlBody(256, "2024:02:29:13:05:59:042", Bytes{0xEE, 0xEE}, 130);
    gapped.insert(gapped.end(), peaks.begin(), peaks.end());
    const Case cases[] = {
        {"peaks after the header", levlBody(256, "2024:02:29:13:05:59:042", peaks), {2024, 2, 29}, {13, 5, 59, 42}},
        {"peaks after a gap", gapped, {2024, 2, 29}, {13, 5, 59, 42}},
        {"no real date or time", levlBody(256, "2023:02:29:25:00:00:000", peaks), {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CWaveFile file;
        ASSERT_EQ(openBytes(file, dir,
                            RiffBuilder().chunk("fmt ", fmtBody(1, 1, 48000, 16)).chunk("levl", c.levl).chunk("data", Bytes(8)).bytes()),
                  kWaveOk);
        int channels, rate, bytes, tag, levlBlock;
        ASSERT_EQ(file.openForReading(dir.path("in.wav"), channels, rate, bytes, tag, levlBlock), kWaveOk);
        EXPECT_EQ(levlBlock, 256);
        const CLevlChunk& levl = file.levl();
        EXPECT_EQ(levl.peakData(), peaks);
        EXPECT_EQ(levl.numPeakFrames, 3u);
        EXPECT_EQ(levl.date, c.date);
        EXPECT_EQ(levl.time, c.time);
    }
}

TEST(WaveFileRead, SamplesStopAtTheEndOfTheData)
{
    // The buffer that holds the end of the data is completed with zeros,
    // and the chunk after the data is never read as samples.
    ScratchDir dir;
    const Bytes samples = countingBytes(4 * 25, 1);
    CWaveFile file;
    ASSERT_EQ(openBytes(file, dir,
                        RiffBuilder().chunk("fmt ", fmtBody(1, 2, 48000, 16)).chunk("data", samples).chunk("LIST", Bytes(64, 0xEE)).bytes()),
              kWaveOk);
    ASSERT_EQ(file.numFrames(), 25u);

    file.seekToFrame(20);
    Bytes buffer(64, 0xCC);
    EXPECT_EQ(file.readData(buffer.data(), 64), 20);
    Bytes expected(samples.begin() + 80, samples.end());
    expected.resize(64, 0);
    EXPECT_EQ(buffer, expected);

    // Past the end: silence only.
    EXPECT_EQ(file.readData(buffer.data(), 64), 0);
    EXPECT_EQ(buffer, Bytes(64, 0));
    file.seekToFrame(1000);
    buffer.assign(64, 0xCC);
    EXPECT_EQ(file.readData(buffer.data(), 64), 0);
    EXPECT_EQ(buffer, Bytes(64, 0));

    file.seekToFrame(3);
    EXPECT_EQ(file.readData(buffer.data(), 8), 8);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 8), Bytes(samples.begin() + 12, samples.begin() + 20));
}

TEST(WaveFileRead, UnfinishedRecordingPlaysToTheEndOfTheFile)
{
    // A recording cut off before its sizes were set, with the place holders
    // of four spaces (as recorders once left them): its samples run to the
    // end of the file.
    ScratchDir dir;
    const std::string path = dir.path("cut.wav");
    const Bytes samples = countingBytes(3 * 4 * 100);
    {
        CWaveFile writer;
        ASSERT_EQ(writer.openForWriting(path, 4, 48000, 1, 3, 0), kWaveOk);
        ASSERT_EQ(writer.writeData(samples.data(), static_cast<std::int64_t>(samples.size())), kWaveOk);
        Bytes cut = readFile(path);
        for (const std::size_t at : {4, 100}) std::fill_n(cut.begin() + static_cast<std::ptrdiff_t>(at), 4, ' ');
        writeFile(dir.path("copy.wav"), cut);
    }
    CWaveFile reader;
    ASSERT_EQ(reader.open(dir.path("copy.wav"), CWaveFile::OpenMode::ReadOnly), kWaveOk);
    EXPECT_EQ(reader.numFrames(), 100u);
    EXPECT_EQ(readAllData(reader), samples);
}

TEST(WaveFileRead, OpenFailuresCloseTheFile)
{
    ScratchDir dir;
    CWaveFile file;
    EXPECT_EQ(file.open("", CWaveFile::OpenMode::ReadOnly), kWaveNoFileName);
    EXPECT_EQ(file.open(dir.path("missing.wav"), CWaveFile::OpenMode::ReadOnly), kWaveCannotOpen);
    EXPECT_EQ(openBytes(file, dir, RiffBuilder("RIFF", "AVI ").chunk("fmt ", fmtBody(1, 1, 8000, 8)).bytes()), kWaveNotWave);
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(file.fileName(), "");
    ASSERT_EQ(openBytes(file, dir, RiffBuilder().chunk("fmt ", fmtBody(1, 1, 8000, 8)).chunk("data", Bytes(4)).bytes()), kWaveOk);
    EXPECT_EQ(file.fileName(), dir.path("in.wav"));
    Bytes buffer(4, 0xCC);
    EXPECT_EQ(file.close(), kWaveOk);
    EXPECT_EQ(file.readData(buffer.data(), 4), -1);
    EXPECT_EQ(buffer, Bytes(4, 0x80));  // silence of the 8-bit samples last read
}

}  // namespace
