// The records of the WAVE chunks a recording writes or a player reads: the
// format ("fmt "), the 64-bit sizes of RF64 ("ds64", and the "junk" place
// holder that becomes it), the broadcast extension ("bext") and the peak
// envelope ("levl"). Each parses a chunk body already in memory and returns
// 0 or kWaveChunkUnfit.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "wavefile/wave_result.h"

namespace orvelan::io {

class ByteWriter;

inline constexpr std::uint16_t kFormatOther = 0;
inline constexpr std::uint16_t kFormatPcm = 1;
inline constexpr std::uint16_t kFormatFloat = 3;
inline constexpr std::uint16_t kFormatExtensible = 0xFFFE;

class CFmtChunk {
public:
    static constexpr std::uint32_t kPlainSize = 16;
    static constexpr std::uint32_t kExtensibleSize = 40;
    static constexpr std::uint16_t kExtensionBytes = 22;
    // The most a playable file may ask of the player, whose ring holds
    // about twenty seconds of it: a format beyond these is refused rather
    // than given gigabytes of buffers.
    static constexpr std::uint16_t kMaxChannels = 1024;
    static constexpr std::uint32_t kMaxSampleRate = 768000;
    static constexpr std::uint32_t kMaxByteRate = 32u << 20;

    CFmtChunk() { reset(); }
    // Extensible PCM with every count 0.
    void reset();

    std::uint32_t size() const { return size_; }
    std::uint16_t formatTag() const { return formatTag_; }
    std::uint16_t channels() const { return channels_; }
    std::uint32_t sampleRate() const { return sampleRate_; }
    std::uint32_t byteRate() const { return byteRate_; }
    std::uint16_t blockAlign() const { return blockAlign_; }
    std::uint16_t bitsPerSample() const { return bitsPerSample_; }
    std::uint16_t cbSize() const { return cbSize_; }
    bool extensible() const { return extensible_; }
    // The 16-byte SubFormat when extensible, else empty.
    const std::vector<std::uint8_t>& extension() const { return extension_; }

    // Tags other than PCM and float are kept as kFormatOther.
    void setFormatTag(std::uint16_t tag);
    void setChannels(std::uint16_t channels);
    void setSampleRate(std::uint32_t rate);
    // Rounded up to whole bytes (12 becomes 16).
    void setBitsPerSample(std::uint16_t bits);
    // The SubFormat is built from the current format tag.
    void setExtensible(bool on);

    // Appends "fmt ", the size and the body.
    void appendChunk(ByteWriter& out) const;
    // Takes tag, channels, rate and bits from a chunk body (the file's byte
    // rate and block align are recomputed, not trusted). Refuses bodies
    // below 16 bytes, extensible bodies that lack their extension or hold
    // neither PCM nor float, and formats nothing can play: no channels, no
    // rate, bits of 0 or above 32, float samples other than 32-bit, frames
    // too large for the 16-bit block align, and more channels, a higher
    // rate or more bytes a second than the limits above. Only the first 40
    // bytes of a longer body are looked at.
    int parse(const std::uint8_t* body, std::uint32_t size);

private:
    void recompute();

    std::uint32_t size_;
    std::uint16_t formatTag_;
    std::uint16_t channels_;
    std::uint32_t sampleRate_;
    std::uint32_t byteRate_;
    std::uint16_t blockAlign_;
    std::uint16_t bitsPerSample_;
    std::uint16_t cbSize_;
    std::vector<std::uint8_t> extension_;
    bool extensible_;
};

// The ds64 chunk and the RF64 mode of a file being written.
class CDs64Chunk {
public:
    static constexpr std::uint32_t kSize = 28;

    enum Rf64Mode : std::uint32_t {
        kPlainRiff = 0,        // no place holder: 32-bit sizes only
        kDs64FromStart = 1,    // written as "ds64" at once
        kJunkPlaceholder = 2,  // "junk" that becomes "ds64" when the sizes need it
    };

    CDs64Chunk() { reset(); }
    void reset();

    std::uint32_t size() const { return rf64Mode_ == kPlainRiff ? 0 : kSize; }
    std::uint32_t rf64Mode() const { return rf64Mode_; }
    void setRf64Mode(std::uint32_t mode) { rf64Mode_ = mode; }

    std::uint64_t riffSize = 0;
    std::uint64_t dataSize = 0;
    std::uint64_t sampleCount = 0;

    // Appends "ds64", 28 and the three sizes with a table length of 0.
    void appendChunk(ByteWriter& out) const;
    // Bodies below 28 bytes are refused; a size table is ignored.
    int parse(const std::uint8_t* body, std::uint32_t size);

private:
    std::uint32_t rf64Mode_;
};

// The broadcast-wave extension, version-1 layout.
class CBextChunk {
public:
    static constexpr std::uint32_t kFixedSize = 602;

    CBextChunk() { reset(); }
    void reset();

    std::uint32_t size() const { return size_; }
    std::string description() const { return text(0, 256); }
    std::string originator() const { return text(256, 32); }
    std::string originatorReference() const { return text(288, 32); }
    std::string originationDate() const { return text(320, 10); }
    std::string originationTime() const { return text(330, 8); }
    std::uint64_t timeReference() const;
    std::uint16_t version() const;
    const std::uint8_t* umid() const { return fields_.data() + 348; }
    const std::vector<std::uint8_t>& codingHistory() const { return codingHistory_; }

    // The coding history kept at most; a longer one is cut.
    static constexpr std::uint32_t kMaxCodingHistory = 64u << 10;

    // Bodies below 602 bytes are refused; bytes from 602 on are the coding
    // history. `available` of the body's `size` bytes are in memory.
    int parse(const std::uint8_t* body, std::uint32_t available, std::uint32_t size);

private:
    // A text field up to its first zero byte.
    std::string text(std::size_t offset, std::size_t length) const;

    std::uint32_t size_;
    std::array<std::uint8_t, kFixedSize> fields_;
    std::vector<std::uint8_t> codingHistory_;
};

struct CivilDate {
    int year = 0, month = 0, day = 0;  // all 0: no date
    bool operator==(const CivilDate&) const = default;
};

struct CivilTime {
    int hour = 0, minute = 0, second = 0, millisecond = 0;
    bool operator==(const CivilTime&) const = default;
};

// The local date and time now.
void currentDateTime(CivilDate& date, CivilTime& time);

// The peak envelope: a header of 120 bytes, then peak data.
class CLevlChunk {
public:
    static constexpr std::uint32_t kHeaderSize = 120;
    // The peak data's offset counted from the chunk id: id, size and header.
    static constexpr std::uint32_t kPeaksOffset = 8 + kHeaderSize;

    CLevlChunk() { reset(); }
    // Header fields to their defaults, the time stamp to now, no peaks.
    void reset();

    std::uint32_t size = kHeaderSize;
    std::uint32_t version = 0;
    std::uint32_t format = 1;          // bytes per peak value
    std::uint32_t pointsPerValue = 2;  // 1 positive peak only, 2 both
    std::uint32_t blockSize = 0;       // frames per peak frame
    std::uint32_t peakChannels = 0;
    std::uint32_t numPeakFrames = 0;
    std::uint32_t posPeakOfPeaks = 0;
    std::uint32_t offsetToPeaks = 0;
    CivilDate date;
    CivilTime time;

    const std::vector<std::uint8_t>& peakData() const { return peakData_; }
    // Also sets the size, the offset of the peaks and the peak-frame count.
    void setPeakData(std::vector<std::uint8_t> data);

    // The peak data kept at most; a chunk with more keeps none.
    static constexpr std::uint32_t kMaxPeakBytes = 4u << 20;

    // Refuses bodies shorter than the header and peak offsets outside the
    // chunk. A time stamp that does not parse leaves no date or time.
    // `available` of the body's `size` bytes are in memory; the peaks are
    // kept only when they all are.
    int parse(const std::uint8_t* body, std::uint32_t available, std::uint32_t size);

private:
    // 0 when the header gives no bytes per peak frame.
    std::uint32_t peakFramesIn(std::size_t bytes) const;

    std::vector<std::uint8_t> peakData_;
};

}  // namespace orvelan::io
