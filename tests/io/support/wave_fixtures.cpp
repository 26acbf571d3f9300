#include "support/wave_fixtures.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <gtest/gtest.h>
#include <sndfile.h>

#include "wavefile/byte_order.h"

namespace orvelan::io::testing {

ScratchDir::ScratchDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "ow-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    dir_ = pattern;
}

ScratchDir::~ScratchDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

Bytes readFile(const std::string& path, std::size_t limit)
{
    std::ifstream in(path, std::ios::binary);
    Bytes bytes;
    std::istreambuf_iterator<char> it(in), end;
    for (; it != end && bytes.size() < limit; ++it) bytes.push_back(static_cast<std::uint8_t>(*it));
    return bytes;
}

void writeFile(const std::string& path, const Bytes& bytes)
{
    // A fresh file: rewriting a truncated one makes some file systems
    // flush it to disk at close.
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool fileExists(const std::string& path) { return std::filesystem::exists(path); }

std::uint64_t fileSize(const std::string& path) { return std::filesystem::file_size(path); }

std::uint32_t u32At(const Bytes& b, std::size_t offset) { return loadU32(b.data() + offset); }
std::uint64_t u64At(const Bytes& b, std::size_t offset) { return loadU64(b.data() + offset); }
std::string textAt(const Bytes& b, std::size_t offset, std::size_t length)
{
    return std::string(b.begin() + static_cast<std::ptrdiff_t>(offset),
                       b.begin() + static_cast<std::ptrdiff_t>(offset + length));
}

Bytes countingBytes(std::size_t length, std::size_t start)
{
    Bytes b(length);
    for (std::size_t i = 0; i < length; ++i) b[i] = static_cast<std::uint8_t>((start + i) % 251);
    return b;
}

RiffBuilder& RiffBuilder::chunk(const std::string& id, const Bytes& body, std::optional<std::uint32_t> declaredSize,
                                bool pad)
{
    ByteWriter w;
    w.text(id);
    w.u32(declaredSize.value_or(static_cast<std::uint32_t>(body.size())));
    w.bytes(body.data(), body.size());
    if (pad && body.size() % 2 != 0) w.zeros(1);
    body_.insert(body_.end(), w.data().begin(), w.data().end());
    return *this;
}

RiffBuilder& RiffBuilder::raw(const Bytes& bytes)
{
    body_.insert(body_.end(), bytes.begin(), bytes.end());
    return *this;
}

Bytes RiffBuilder::bytes() const
{
    ByteWriter w;
    w.text(riffId_);
    w.u32(static_cast<std::uint32_t>(4 + body_.size()));
    w.text(form_);
    w.bytes(body_.data(), body_.size());
    return w.data();
}

Bytes fmtBody(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits, bool withCbSize)
{
    ByteWriter w;
    const std::uint16_t align = static_cast<std::uint16_t>((bits + 7) / 8 * channels);
    w.u16(tag);
    w.u16(channels);
    w.u32(rate);
    w.u32(align * rate);
    w.u16(align);
    w.u16(bits);
    if (withCbSize) w.u16(0);
    return w.data();
}

Bytes extensibleFmtBody(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits, std::uint32_t subFormat,
                        std::uint16_t cbSize)
{
    static constexpr std::uint8_t kTail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    ByteWriter w;
    const Bytes plain = fmtBody(0xFFFE, channels, rate, bits);
    w.bytes(plain.data(), plain.size());
    w.u16(cbSize);
    w.u16(bits);
    w.u32(0);
    w.u32(subFormat);
    w.bytes(kTail, sizeof kTail);
    return w.data();
}

Bytes ds64Body(std::uint64_t riffSize, std::uint64_t dataSize, std::uint64_t sampleCount)
{
    ByteWriter w;
    w.u64(riffSize);
    w.u64(dataSize);
    w.u64(sampleCount);
    w.u32(0);
    return w.data();
}

Bytes bextBody(const std::string& description, const std::string& originator, std::uint64_t timeReference,
               const std::string& codingHistory)
{
    Bytes b(602, 0);
    std::copy(description.begin(), description.end(), b.begin());
    std::copy(originator.begin(), originator.end(), b.begin() + 256);
    storeU64(b.data() + 338, timeReference);
    storeU16(b.data() + 346, 1);
    b.insert(b.end(), codingHistory.begin(), codingHistory.end());
    return b;
}

Bytes levlBody(std::uint32_t blockSize, const std::string& timeStamp, const Bytes& peaks, std::uint32_t offsetToPeaks)
{
    ByteWriter w;
    w.u32(0);          // version
    w.u32(1);          // one byte per value
    w.u32(2);          // positive and negative
    w.u32(blockSize);
    w.u32(1);          // one channel
    w.u32(static_cast<std::uint32_t>(peaks.size() / 2));
    w.u32(0);
    w.u32(offsetToPeaks);
    w.text(timeStamp);
    w.zeros(28 - timeStamp.size());
    w.zeros(60);
    w.bytes(peaks.data(), peaks.size());
    return w.data();
}

Bytes readAllData(CWaveFile& file, std::size_t bufferLength)
{
    Bytes all;
    Bytes buffer(bufferLength);
    file.seekToFrame(0);
    std::uint64_t left = file.dataSize();
    while (left > 0) {
        const std::int64_t got = file.readData(buffer.data(), static_cast<std::int64_t>(buffer.size()));
        if (got <= 0) break;
        all.insert(all.end(), buffer.begin(), buffer.begin() + got);
        left -= static_cast<std::uint64_t>(got);
    }
    return all;
}

void writeRecording(const std::string& path, int channels, int rate, int formatTag, int bytesPerSample,
                    const Bytes& data)
{
    CWaveFile file;
    ASSERT_EQ(file.openForWriting(path, channels, rate, formatTag, bytesPerSample, 0), kWaveOk);
    ASSERT_EQ(file.writeData(data.data(), static_cast<std::int64_t>(data.size())), kWaveOk);
    ASSERT_EQ(file.close(), kWaveOk);
}

ReadLengths readLengths(const std::string& path)
{
    ReadLengths n;
    CWaveFile file;
    if (file.open(path, CWaveFile::OpenMode::ReadOnly) == kWaveOk) n.ours = static_cast<std::int64_t>(file.numFrames());
    SF_INFO info{};
    if (SNDFILE* sf = sf_open(path.c_str(), SFM_READ, &info)) {
        n.sndfile = info.frames;
        sf_close(sf);
    }
    const std::string soxi = runCommand(std::string(ORVELAN_SOXI) + " -s " + path + " 2>/dev/null");
    if (!soxi.empty() && soxi[0] >= '0' && soxi[0] <= '9') n.sox = std::stoll(soxi);
    return n;
}

std::string runCommand(const std::string& command)
{
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return output;
    std::array<char, 4096> chunk;
    std::size_t n;
    while ((n = fread(chunk.data(), 1, chunk.size(), pipe)) > 0) output.append(chunk.data(), n);
    pclose(pipe);
    return output;
}

}  // namespace orvelan::io::testing
