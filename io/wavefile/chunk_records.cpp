#include "wavefile/chunk_records.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>

#include "wavefile/byte_order.h"

namespace orvelan::io {

namespace {

// The SubFormat GUID's bytes after its first 32-bit word (the format tag).
constexpr std::uint8_t kSubFormatTail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

}  // namespace

// ---- Format -------------------------------------------------------------

void CFmtChunk::reset()
{
    formatTag_ = kFormatPcm;
    channels_ = 0;
    sampleRate_ = 0;
    bitsPerSample_ = 0;
    recompute();
    setExtensible(true);
}

void CFmtChunk::recompute()
{
    blockAlign_ = static_cast<std::uint16_t>(bitsPerSample_ / 8 * channels_);
    byteRate_ = blockAlign_ * sampleRate_;
}

void CFmtChunk::setFormatTag(std::uint16_t tag) { formatTag_ = tag == kFormatPcm || tag == kFormatFloat ? tag : kFormatOther; }

void CFmtChunk::setChannels(std::uint16_t channels)
{
    channels_ = channels;
    recompute();
}

void CFmtChunk::setSampleRate(std::uint32_t rate)
{
    sampleRate_ = rate;
    recompute();
}

void CFmtChunk::setBitsPerSample(std::uint16_t bits)
{
    bitsPerSample_ = static_cast<std::uint16_t>((bits + 7u) / 8u * 8u);
    recompute();
}

void CFmtChunk::setExtensible(bool on)
{
    extensible_ = on;
    extension_.clear();
    if (on) {
        cbSize_ = kExtensionBytes;
        size_ = kExtensibleSize;
        const std::uint32_t word = formatTag_ == kFormatPcm || formatTag_ == kFormatFloat ? formatTag_ : 0;
        extension_.resize(16);
        storeU32(extension_.data(), word);
        std::memcpy(extension_.data() + 4, kSubFormatTail, sizeof kSubFormatTail);
    } else {
        cbSize_ = 0;
        size_ = kPlainSize;
    }
}

void CFmtChunk::appendChunk(ByteWriter& out) const
{
    out.text("fmt ");
    out.u32(size_);
    out.u16(extensible_ ? kFormatExtensible : formatTag_);
    out.u16(channels_);
    out.u32(sampleRate_);
    out.u32(byteRate_);
    out.u16(blockAlign_);
    out.u16(bitsPerSample_);
    if (extensible_) {
        out.u16(cbSize_);
        out.u16(bitsPerSample_);  // valid bits
        out.u32(0);               // channel mask: no speaker positions
        out.bytes(extension_.data(), extension_.size());
    }
}

int CFmtChunk::parse(const std::uint8_t* body, std::uint32_t size)
{
    if (size < kPlainSize) return kWaveChunkUnfit;
    const std::uint16_t tag = loadU16(body);
    if (tag != kFormatExtensible) {
        setFormatTag(tag);
        extensible_ = false;
        extension_.clear();
        cbSize_ = 0;
        size_ = kPlainSize;
    }
    channels_ = loadU16(body + 2);
    sampleRate_ = loadU32(body + 4);
    setBitsPerSample(loadU16(body + 14));
    if (tag == kFormatExtensible && size != kPlainSize) {
        // A plain 16-byte body with the extensible tag passes as PCM. The
        // SubFormat may be PCM or float: float recordings are written in
        // this form, by us and by other tools.
        if (size < kExtensibleSize || loadU16(body + 16) != kExtensionBytes) return kWaveChunkUnfit;
        const std::uint32_t subFormat = loadU32(body + 24);
        if (subFormat != kFormatPcm && subFormat != kFormatFloat) return kWaveChunkUnfit;
        formatTag_ = static_cast<std::uint16_t>(subFormat);
        setExtensible(true);
    }
    const std::uint16_t bits = loadU16(body + 14);
    if (channels_ == 0 || sampleRate_ == 0 || bits == 0 || bits > 32) return kWaveChunkUnfit;
    // A frame must fit the 16-bit block align.
    if (std::uint32_t{channels_} * (bitsPerSample_ / 8u) > 0xFFFFu) return kWaveChunkUnfit;
    if (formatTag_ == kFormatFloat && bitsPerSample_ != 32) return kWaveChunkUnfit;
    if (channels_ > kMaxChannels || sampleRate_ > kMaxSampleRate ||
        std::uint64_t{channels_} * (bitsPerSample_ / 8u) * sampleRate_ > kMaxByteRate)
        return kWaveChunkUnfit;
    return kWaveOk;
}

// ---- ds64 ---------------------------------------------------------------

void CDs64Chunk::reset()
{
    rf64Mode_ = kJunkPlaceholder;
    riffSize = dataSize = sampleCount = 0;
}

void CDs64Chunk::appendChunk(ByteWriter& out) const
{
    out.text("ds64");
    out.u32(kSize);
    out.u64(riffSize);
    out.u64(dataSize);
    out.u64(sampleCount);
    out.u32(0);  // no table of further chunk sizes
}

int CDs64Chunk::parse(const std::uint8_t* body, std::uint32_t size)
{
    if (size < kSize) return kWaveChunkUnfit;
    riffSize = loadU64(body);
    dataSize = loadU64(body + 8);
    sampleCount = loadU64(body + 16);
    return kWaveOk;
}

// ---- bext ---------------------------------------------------------------

void CBextChunk::reset()
{
    size_ = kFixedSize;
    fields_.fill(0);
    std::memcpy(fields_.data() + 320, "0000-00-00", 10);
    std::memcpy(fields_.data() + 330, "00-00-00", 8);
    storeU16(fields_.data() + 346, 1);
    codingHistory_.clear();
}

std::uint64_t CBextChunk::timeReference() const
{
    return loadU32(fields_.data() + 338) | static_cast<std::uint64_t>(loadU32(fields_.data() + 342)) << 32;
}

std::uint16_t CBextChunk::version() const { return loadU16(fields_.data() + 346); }

std::string CBextChunk::text(std::size_t offset, std::size_t length) const
{
    const auto* begin = reinterpret_cast<const char*>(fields_.data() + offset);
    return std::string(begin, std::find(begin, begin + length, '\0'));
}

int CBextChunk::parse(const std::uint8_t* body, std::uint32_t available, std::uint32_t size)
{
    if (size < kFixedSize || available < kFixedSize) return kWaveChunkUnfit;
    size_ = size;
    std::memcpy(fields_.data(), body, kFixedSize);
    codingHistory_.assign(body + kFixedSize, body + std::min(available, kFixedSize + kMaxCodingHistory));
    return kWaveOk;
}

// ---- levl ---------------------------------------------------------------

void currentDateTime(CivilDate& date, CivilTime& time)
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    date = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    time = {local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(ms)};
}

namespace {

// Reads `digits` decimal digits; -1 when any is not a digit.
int decimal(const std::uint8_t* p, int digits)
{
    int value = 0;
    for (int i = 0; i < digits; ++i) {
        if (p[i] < '0' || p[i] > '9') return -1;
        value = value * 10 + (p[i] - '0');
    }
    return value;
}

bool isLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

// "yyyy:MM:dd"; no date when it is not a real one.
CivilDate parseDate(const std::uint8_t* p)
{
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (p[4] != ':' || p[7] != ':') return {};
    const CivilDate d{decimal(p, 4), decimal(p + 5, 2), decimal(p + 8, 2)};
    if (d.year < 1 || d.month < 1 || d.month > 12 || d.day < 1) return {};
    const int days = kDays[d.month - 1] + (d.month == 2 && isLeapYear(d.year));
    return d.day <= days ? d : CivilDate{};
}

// "hh:mm:ss:zzz"; no time when it is not a real one.
CivilTime parseTime(const std::uint8_t* p)
{
    if (p[2] != ':' || p[5] != ':' || p[8] != ':') return {};
    const CivilTime t{decimal(p, 2), decimal(p + 3, 2), decimal(p + 6, 2), decimal(p + 9, 3)};
    const bool valid = t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 && t.second >= 0 &&
                       t.second < 60 && t.millisecond >= 0;
    return valid ? t : CivilTime{};
}

}  // namespace

void CLevlChunk::reset()
{
    size = kHeaderSize;
    version = 0;
    format = 1;
    pointsPerValue = 2;
    blockSize = peakChannels = numPeakFrames = posPeakOfPeaks = offsetToPeaks = 0;
    currentDateTime(date, time);
    peakData_.clear();
}

std::uint32_t CLevlChunk::peakFramesIn(std::size_t bytes) const
{
    const std::uint64_t perFrame = std::uint64_t{peakChannels} * pointsPerValue * format;
    return perFrame == 0 ? 0 : static_cast<std::uint32_t>(bytes / perFrame);
}

void CLevlChunk::setPeakData(std::vector<std::uint8_t> data)
{
    peakData_ = std::move(data);
    size = kHeaderSize + static_cast<std::uint32_t>(peakData_.size());
    offsetToPeaks = kPeaksOffset;
    numPeakFrames = peakFramesIn(peakData_.size());
}

int CLevlChunk::parse(const std::uint8_t* body, std::uint32_t available, std::uint32_t bodySize)
{
    if (bodySize < kHeaderSize || available < kHeaderSize) return kWaveChunkUnfit;
    version = loadU32(body);
    format = loadU32(body + 4);
    pointsPerValue = loadU32(body + 8);
    blockSize = loadU32(body + 12);
    peakChannels = loadU32(body + 16);
    posPeakOfPeaks = loadU32(body + 24);
    offsetToPeaks = loadU32(body + 28);
    date = parseDate(body + 32);
    time = parseTime(body + 43);
    // The peaks lie between the header and the end of the chunk.
    if (offsetToPeaks < kPeaksOffset || offsetToPeaks - 8 > bodySize) return kWaveChunkUnfit;
    size = bodySize;
    if (available >= bodySize && bodySize - (offsetToPeaks - 8) <= kMaxPeakBytes)
        peakData_.assign(body + (offsetToPeaks - 8), body + bodySize);
    else
        peakData_.clear();
    numPeakFrames = peakFramesIn(peakData_.size());
    return kWaveOk;
}

}  // namespace orvelan::io
