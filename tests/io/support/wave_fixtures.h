// Fixtures of the WAV/RF64 tests: a scratch directory per test, files as
// byte strings, and RIFF files assembled chunk by chunk (sizes that lie
// included) for the reader's tables.
#pragma once

#include <cstdint>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "wavefile/wave_file.h"

namespace orvelan::io::testing {

using Bytes = std::vector<std::uint8_t>;

// A fresh directory, removed with its contents at the end of the test. Its
// path is short: the file block takes names of at most 33 characters.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    std::string path(const std::string& name) const { return dir_ + "/" + name; }

private:
    std::string dir_;
};

// The whole file, or its first `limit` bytes.
Bytes readFile(const std::string& path, std::size_t limit = SIZE_MAX);
void writeFile(const std::string& path, const Bytes& bytes);
bool fileExists(const std::string& path);
std::uint64_t fileSize(const std::string& path);

std::uint32_t u32At(const Bytes& b, std::size_t offset);
std::uint64_t u64At(const Bytes& b, std::size_t offset);
std::string textAt(const Bytes& b, std::size_t offset, std::size_t length);

// Bytes 0, 1, 2, ... (mod 251, so no two neighbouring frames look alike).
Bytes countingBytes(std::size_t length, std::size_t start = 0);

// A RIFF (or RF64) file of form WAVE: each chunk gets its id, its size
// (the body's length unless another is declared) and a pad byte after an
// odd body unless told not to. The RIFF size is the file size - 8.
class RiffBuilder {
public:
    explicit RiffBuilder(std::string riffId = "RIFF", std::string form = "WAVE") : riffId_(riffId), form_(form) {}
    RiffBuilder& chunk(const std::string& id, const Bytes& body, std::optional<std::uint32_t> declaredSize = {},
                       bool pad = true);
    // Raw bytes with no chunk header (a cut-off chunk, trailing garbage).
    RiffBuilder& raw(const Bytes& bytes);
    Bytes bytes() const;

private:
    std::string riffId_, form_;
    Bytes body_;
};

// Format chunk bodies: plain (16 bytes, or 18 with cbSize 0 when asked)
// and extensible (40 bytes).
Bytes fmtBody(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits, bool withCbSize = false);
Bytes extensibleFmtBody(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits, std::uint32_t subFormat = 1,
                        std::uint16_t cbSize = 22);
Bytes ds64Body(std::uint64_t riffSize, std::uint64_t dataSize, std::uint64_t sampleCount);
Bytes bextBody(const std::string& description, const std::string& originator, std::uint64_t timeReference,
               const std::string& codingHistory);
// A peak envelope of one channel, two one-byte points per value.
Bytes levlBody(std::uint32_t blockSize, const std::string& timeStamp, const Bytes& peaks,
               std::uint32_t offsetToPeaks = 128);

// Every sample byte of the open file, read through readData from the
// start of the data in buffers of the given length.
Bytes readAllData(CWaveFile& file, std::size_t bufferLength = 4096);

// Writes a recording of the given format holding exactly `data`.
void writeRecording(const std::string& path, int channels, int rate, int formatTag, int bytesPerSample,
                    const Bytes& data);

// The frames our reader, libsndfile and soxi find in a file; -1 where one
// refuses it.
struct ReadLengths {
    std::int64_t ours = -1, sndfile = -1, sox = -1;
};
ReadLengths readLengths(const std::string& path);

// Runs a shell command; its standard output.
std::string runCommand(const std::string& command);

}  // namespace orvelan::io::testing
