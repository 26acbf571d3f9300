// Malformed files: each gives its code without reading or allocating past
// what the file holds (run under the sanitizers), and a bounded random
// mutation loop over valid files keeps every open result consistent.
#include <gtest/gtest.h>

#include <random>
#include <cstdlib>

#include <fstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "wavefile/byte_order.h"
#include "support/wave_fixtures.h"

namespace {

using namespace orvelan::io;
using namespace orvelan::io::testing;

int openBytes(CWaveFile& file, const ScratchDir& dir, const Bytes& bytes)
{
    const std::string path = dir.path("in.wav");
    writeFile(path, bytes);
    return file.open(path, CWaveFile::OpenMode::ReadOnly);
}

Bytes cut(Bytes b, std::size_t length)
{
    b.resize(length);
    return b;
}

// A recording as the file block writes it: junk, extensible format, data.
Bytes recording(const ScratchDir& dir, std::size_t dataBytes)
{
    const std::string path = dir.path("seed.wav");
    writeRecording(path, 2, 48000, 1, 3, countingBytes(dataBytes));
    return readFile(path);
}

TEST(WaveFileMalformed, TruncatedAtEveryHeaderBoundary)
{
    // Offsets in a recording: 0 RIFF, 12 junk, 20 its body, 48 fmt, 56 its
    // body, 96 data, 104 samples.
    ScratchDir dir;
    const Bytes whole = recording(dir, 60);
    struct Case {
        std::size_t length;
        int code;
    };
    const Case cases[] = {
        {0, kWaveTruncated},  {4, kWaveTruncated},   {8, kWaveTruncated},    {11, kWaveTruncated},
        {12, kWaveChunkUnfit}, {16, kWaveChunkUnfit}, {20, kWaveChunkUnfit}, {47, kWaveChunkUnfit},
        {48, kWaveChunkUnfit}, {52, kWaveChunkUnfit}, {56, kWaveTruncated},  {95, kWaveTruncated},
        {96, kWaveChunkUnfit}, {100, kWaveChunkUnfit}, {104, kWaveOk},       {110, kWaveOk},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        CWaveFile file;
        EXPECT_EQ(openBytes(file, dir, cut(whole, c.length)), c.code);
        EXPECT_EQ(file.isOpen(), c.code == kWaveOk);
        if (c.code == kWaveOk) {
            EXPECT_EQ(file.dataSize(), c.length - 104);
        }
    }
}

TEST(WaveFileMalformed, TableOfBrokenFiles)
{
    const Bytes fmt = fmtBody(1, 2, 48000, 16);
    const Bytes data = countingBytes(40);
    const std::uint32_t huge = 0xFFFFFFF0u;
    Bytes shortLevl = levlBody(64, "2024:01:01:00:00:00:000", Bytes(4, 1));
    shortLevl.resize(100);
    struct Case {
        const char* what;
        Bytes file;
        int code;
    };
    const Case cases[] = {
        {"RIFX form", RiffBuilder("RIFX").chunk("fmt ", fmt).chunk("data", data).bytes(), kWaveNotWave},
        {"lower-case riff", RiffBuilder("riff").chunk("fmt ", fmt).chunk("data", data).bytes(), kWaveNotWave},
        {"form not WAVE", RiffBuilder("RIFF", "wave").chunk("fmt ", fmt).chunk("data", data).bytes(), kWaveNotWave},
        {"format size beyond the file", RiffBuilder().chunk("fmt ", fmt, huge).bytes(), kWaveTruncated},
        {"format size one past the file", RiffBuilder().chunk("fmt ", fmt, 17, false).bytes(), kWaveTruncated},
        {"ds64 size beyond the file", RiffBuilder("RF64").chunk("ds64", ds64Body(0, 40, 10), huge).bytes(), kWaveTruncated},
        {"bext size beyond the file", RiffBuilder().chunk("fmt ", fmt).chunk("bext", Bytes(700), huge).bytes(), kWaveTruncated},
        {"levl size beyond the file", RiffBuilder().chunk("fmt ", fmt).chunk("levl", Bytes(200), huge).bytes(), kWaveTruncated},
        {"format of size 0", RiffBuilder().chunk("fmt ", {}).chunk("data", data).bytes(), kWaveChunkUnfit},
        {"zero channels", RiffBuilder().chunk("fmt ", fmtBody(1, 0, 48000, 16)).chunk("data", data).bytes(), kWaveChunkUnfit},
        {"zero rate", RiffBuilder().chunk("fmt ", fmtBody(1, 2, 0, 16)).chunk("data", data).bytes(), kWaveChunkUnfit},
        {"zero bits", RiffBuilder().chunk("fmt ", fmtBody(1, 2, 48000, 0)).chunk("data", data).bytes(), kWaveChunkUnfit},
        {"frame beyond the 16-bit block align", RiffBuilder().chunk("fmt ", fmtBody(1, 0x4000, 48000, 32)).chunk("data", data).bytes(), kWaveChunkUnfit},
        {"missing format", RiffBuilder().chunk("data", data).bytes(), kWaveChunkUnfit},
        {"missing data", RiffBuilder().chunk("fmt ", fmt).chunk("LIST", Bytes(10)).bytes(), kWaveChunkUnfit},
        {"nothing after the form", RiffBuilder().bytes(), kWaveChunkUnfit},
        {"ds64 too short", RiffBuilder("RF64").chunk("ds64", Bytes(20)).chunk("fmt ", fmt).chunk("data", data).bytes(), kWaveChunkUnfit},
        {"bext too short", RiffBuilder().chunk("fmt ", fmt).chunk("bext", Bytes(601)).chunk("data", data).bytes(), kWaveChunkUnfit},
        {"levl too short", RiffBuilder().chunk("fmt ", fmt).chunk("levl", shortLevl).chunk("data", data).bytes(), kWaveChunkUnfit},
        {"levl peaks before its header",
         RiffBuilder().chunk("fmt ", fmt).chunk("levl", levlBody(64, "", Bytes(4), 100)).chunk("data", data).bytes(), kWaveChunkUnfit},
        {"levl peaks past its end",
         RiffBuilder().chunk("fmt ", fmt).chunk("levl", levlBody(64, "", Bytes(4), 200)).chunk("data", data).bytes(), kWaveChunkUnfit},
        // Accepted: sizes the walk can bound without reading them.
        {"data size beyond the file", RiffBuilder().chunk("fmt ", fmt).chunk("data", data, huge).bytes(), kWaveOk},
        {"skipped chunk beyond the file", RiffBuilder().chunk("fmt ", fmt).chunk("data", data).chunk("LIST", Bytes(3), huge).bytes(), kWaveOk},
        {"format after the data", RiffBuilder().chunk("data", data).chunk("fmt ", fmt).bytes(), kWaveOk},
        {"odd chunk at the end", RiffBuilder().chunk("fmt ", fmt).chunk("data", data).chunk("LIST", Bytes(5), {}, false).bytes(), kWaveOk},
        {"levl without peak channels",
         RiffBuilder().chunk("fmt ", fmt).chunk("levl", [] {
             Bytes b = levlBody(64, "", Bytes(6));
             storeU32(b.data() + 16, 0);
             return b;
         }()).chunk("data", data).bytes(),
         kWaveOk},
    };
    ScratchDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CWaveFile file;
        EXPECT_EQ(openBytes(file, dir, c.file), c.code);
        EXPECT_EQ(file.isOpen(), c.code == kWaveOk);
        if (c.code == kWaveOk) {
            EXPECT_LE(file.dataStart() + file.dataSize(), c.file.size());
            EXPECT_EQ(readAllData(file).size(), file.dataSize());
        }
    }
}

// Known chunks that claim nearly 4 GB, with the file (a hole) really that
// long: the reader keeps the fixed fields and skips the rest, in a child
// whose peak memory shows that nothing of the claimed size was allocated.
TEST(WaveFileMalformed, ChunksClaimingGigabytesCostNoMemory)
{
    ScratchDir dir;
    constexpr std::uint32_t kClaim = 0xF0000000u;
    const Bytes fmt = fmtBody(1, 2, 48000, 16);
    const Bytes samples = countingBytes(40);
    struct Case {
        const char* id;
        Bytes head;  // the start of the huge body; the rest is a hole
    };
    const Case cases[] = {
        {"fmt ", fmt},
        {"bext", bextBody("huge", "tests", 7, std::string(70000, 'h'))},
        {"levl", levlBody(64, "2024:01:01:00:00:00:000", Bytes(6, 9))},
        {"ds64", ds64Body(0, 40, 10)},
    };
    rusage self{};
    getrusage(RUSAGE_SELF, &self);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        const std::string path = dir.path("huge.wav");
        RiffBuilder head;
        if (std::string(c.id) != "fmt ") head.chunk("fmt ", fmt);
        head.raw([&] {
            ByteWriter w;
            w.text(c.id);
            w.u32(kClaim);
            w.bytes(c.head.data(), c.head.size());
            return w.data();
        }());
        Bytes start = head.bytes();
        const std::uint64_t tailAt = start.size() - c.head.size() + kClaim;
        // The chunks after the huge one, then the RIFF size.
        RiffBuilder tailChunks;
        if (std::string(c.id) == "fmt ") tailChunks.chunk("LIST", Bytes(2));
        tailChunks.chunk("data", samples);
        const Bytes tailFile = tailChunks.bytes();
        const Bytes tail(tailFile.begin() + 12, tailFile.end());
        storeU32(start.data() + 4, static_cast<std::uint32_t>(tailAt + tail.size() - 8));
        writeFile(path, start);
        ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(tailAt)), 0);
        {
            std::ofstream out(path, std::ios::binary | std::ios::app);
            out.write(reinterpret_cast<const char*>(tail.data()), static_cast<std::streamsize>(tail.size()));
        }

        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            CWaveFile file;
            if (file.open(path, CWaveFile::OpenMode::ReadOnly) != kWaveOk) _exit(2);
            if (file.dataSize() != samples.size() || readAllData(file) != samples) _exit(3);
            if (file.bext().codingHistory().size() > CBextChunk::kMaxCodingHistory) _exit(4);
            if (!file.levl().peakData().empty()) _exit(5);
            _exit(0);
        }
        int status = 0;
        rusage usage{};
        ASSERT_EQ(wait4(child, &status, 0, &usage), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
        // ru_maxrss is in kilobytes: the child may touch 64 MB beyond what
        // the test itself holds.
        EXPECT_LT(usage.ru_maxrss, self.ru_maxrss + 64 * 1024);
    }
}

// Mutations of the kind that break readers: bytes flipped, size fields
// replaced by telling values, the file cut or a slice repeated.
Bytes mutate(Bytes b, std::mt19937& rng)
{
    auto below = [&](std::size_t n) { return n == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
    static constexpr std::uint32_t kSizes[] = {0, 1, 7, 16, 27, 28, 40, 119, 120, 601, 602, 0x7FFFFFFF, 0x80000000,
                                               0xFFFFFFFE, 0xFFFFFFFF};
    const int edits = 1 + static_cast<int>(below(4));
    for (int e = 0; e < edits && !b.empty(); ++e) {
        switch (below(5)) {
        case 0:
            b[below(b.size())] ^= static_cast<std::uint8_t>(1u << below(8));
            break;
        case 1:
            b[below(b.size())] = static_cast<std::uint8_t>(below(256));
            break;
        case 2:
            if (b.size() >= 4) storeU32(b.data() + below(b.size() - 3), kSizes[below(std::size(kSizes))]);
            break;
        case 3:
            b.resize(below(b.size() + 1));
            break;
        default: {
            const std::size_t from = below(b.size()), length = below(std::min<std::size_t>(64, b.size() - from) + 1);
            const Bytes slice(b.begin() + static_cast<std::ptrdiff_t>(from), b.begin() + static_cast<std::ptrdiff_t>(from + length));
            b.insert(b.begin() + static_cast<std::ptrdiff_t>(below(b.size() + 1)), slice.begin(), slice.end());
        }
        }
    }
    return b;
}

// Valid files of every form the reader meets: our recordings of each
// sample format (one crossed into RF64), an RF64 file with ds64, bext,
// levl and LIST, and float with fact. They seed the mutations below and
// the fuzz target.
std::vector<Bytes> validFiles(const ScratchDir& dir)
{
    std::vector<Bytes> files = {
        RiffBuilder("RF64")
            .chunk("ds64", ds64Body(0, 36, 6))
            .chunk("fmt ", extensibleFmtBody(3, 44100, 16))
            .chunk("bext", bextBody("d", "o", 5, "history"))
            .chunk("levl", levlBody(64, "2024:01:01:00:00:00:000", Bytes(6, 3)))
            .chunk("LIST", Bytes(3, 'x'))
            .chunk("data", countingBytes(36), 0xFFFFFFFFu)
            .bytes(),
        RiffBuilder().chunk("fmt ", fmtBody(3, 1, 48000, 32, true)).chunk("fact", Bytes(4)).chunk("data", countingBytes(28)).bytes(),
    };
    const std::string path = dir.path("seed.wav");
    struct Format {
        int channels, tag, bytes;
    };
    for (const Format f : {Format{2, 1, 3}, Format{1, 1, 1}, Format{3, 1, 2}, Format{2, 1, 4}, Format{2, 3, 4}}) {
        writeRecording(path, f.channels, 48000, f.tag, f.bytes, countingBytes(static_cast<std::size_t>(15 * f.channels * f.bytes)));
        files.push_back(readFile(path));
    }
    CWaveFile writer;
    writer.setRf64ThresholdForTesting(100);
    writer.openForWriting(path, 2, 44100, 1, 2, 0);
    writer.writeData(countingBytes(40).data(), 40);
    writer.close();
    files.push_back(readFile(path));
    return files;
}

TEST(WaveFileMalformed, ValidFilesForTheMutationsAndTheFuzzer)
{
    // Each opens with all its data; with ORVELAN_FUZZ_SEEDS set to a
    // directory they are written there to seed the fuzz target.
    ScratchDir dir;
    const std::vector<Bytes> files = validFiles(dir);
    const char* seeds = std::getenv("ORVELAN_FUZZ_SEEDS");
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(i);
        CWaveFile file;
        ASSERT_EQ(openBytes(file, dir, files[i]), kWaveOk);
        EXPECT_GT(file.dataSize(), 0u);
        EXPECT_EQ(readAllData(file).size(), file.dataSize());
        if (seeds && *seeds) writeFile(std::string(seeds) + "/seed-" + std::to_string(i) + ".wav", files[i]);
    }
}

TEST(WaveFileMalformed, RandomMutationsKeepTheReaderConsistent)
{
    ScratchDir dir;
    const std::vector<Bytes> seeds = validFiles(dir);
    std::mt19937 rng(20261210);
    int accepted = 0;
    for (int i = 0; i < 10000; ++i) {
        const Bytes& seed = seeds[static_cast<std::size_t>(i) % seeds.size()];
        const Bytes bytes = mutate(seed, rng);
        CWaveFile file;
        const int code = openBytes(file, dir, bytes);
        if (code != kWaveOk) {
            ASSERT_TRUE(code == kWaveChunkUnfit || code == kWaveNotWave || code == kWaveTruncated) << code << " at " << i;
            ASSERT_FALSE(file.isOpen());
            continue;
        }
        ++accepted;
        ASSERT_GT(file.blockAlign(), 0) << i;
        ASSERT_LE(file.dataStart() + file.dataSize(), bytes.size()) << i;
        ASSERT_LE(file.numFrames() * file.blockAlign(), file.dataSize()) << i;
        const Bytes samples = readAllData(file, 64);
        ASSERT_EQ(samples, Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(file.dataStart()),
                                 bytes.begin() + static_cast<std::ptrdiff_t>(file.dataStart() + file.dataSize())))
            << i;
    }
    // The mutations leave a fair share of files readable, so both paths ran.
    EXPECT_GT(accepted, 1000);
}

}  // namespace
