#include "wavefile/wave_file.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "wavefile/byte_order.h"

namespace orvelan::io {

namespace {

// The RF64 marker in a size field whose value lives in the ds64 chunk.
constexpr std::uint32_t kSizeInDs64 = 0xFFFFFFFFu;
constexpr std::uint64_t kRiffHeaderLength = 12;
constexpr std::uint64_t kChunkHeaderLength = 8;
}  // namespace

CWaveFile::CWaveFile() { reset(); }

CWaveFile::~CWaveFile() { close(); }

void CWaveFile::reset()
{
    fmt_.reset();
    levl_.reset();
    bext_.reset();
    ds64_.reset();
    dataStart_ = 0;
    dataSize_ = 0;
    committedEnd_ = 0;
    writeFailed_ = false;
}

std::uint64_t CWaveFile::headerLength() const
{
    const std::uint64_t placeholder = ds64_.size() == 0 ? 0 : kChunkHeaderLength + ds64_.size();
    return kRiffHeaderLength + placeholder + kChunkHeaderLength + fmt_.size() + kChunkHeaderLength;
}

std::string CWaveFile::fileName() const { return file_ ? file_->name() : std::string(); }

std::uint64_t CWaveFile::numFrames() const { return fmt_.blockAlign() == 0 ? 0 : dataSize_ / fmt_.blockAlign(); }

// ---- Opening and closing ------------------------------------------------

int CWaveFile::openForWriting(const std::string& fileName, int channels, int sampleRate, int formatTag,
                              int bytesPerSample, int levlBlockSize)
{
    close();
    reset();
    if (channels < 1 || sampleRate < 1 || bytesPerSample < 1 || bytesPerSample > 4 || channels * bytesPerSample > 0xFFFF)
        return kWaveBadArgument;
    fmt_.setChannels(static_cast<std::uint16_t>(channels));
    fmt_.setSampleRate(static_cast<std::uint32_t>(sampleRate));
    fmt_.setBitsPerSample(static_cast<std::uint16_t>(8 * bytesPerSample));
    fmt_.setFormatTag(static_cast<std::uint16_t>(formatTag));
    fmt_.setExtensible(true);
    ds64_.setRf64Mode(CDs64Chunk::kJunkPlaceholder);
    if (levlBlockSize != 0) {
        levl_.blockSize = static_cast<std::uint32_t>(levlBlockSize);
        levl_.version = 0;
        levl_.format = 1;
        levl_.pointsPerValue = 2;
        levl_.peakChannels = 1;
    }
    return open(fileName, OpenMode::WriteOnly);
}

int CWaveFile::openForReading(const std::string& fileName, int& channels, int& sampleRate, int& bytesPerSample,
                              int& formatTag, int& levlBlockSize)
{
    const int result = open(fileName, OpenMode::ReadOnly);
    channels = fmt_.channels();
    sampleRate = static_cast<int>(fmt_.sampleRate());
    bytesPerSample = fmt_.bitsPerSample() / 8;
    formatTag = fmt_.formatTag();
    levlBlockSize = static_cast<int>(levl_.blockSize);
    return result;
}

int CWaveFile::open(const std::string& fileName, OpenMode mode)
{
    // A recording still open is finished properly, not left with place
    // holders for sizes.
    close();
    if (fileName.empty()) {
        reset();
        return kWaveNoFileName;
    }
    file_ = BinaryFile::open(fileName, mode == OpenMode::ReadOnly ? BinaryFile::Mode::Read : BinaryFile::Mode::Write);
    if (!file_) return kWaveCannotOpen;

    if (mode == OpenMode::WriteOnly) {
        const int result = writeHeader();
        if (result != kWaveOk) {
            file_->closeAndRemove();
            file_.reset();
        }
        return result;
    }
    const int result = readChunks();
    if (result != kWaveOk) file_.reset();
    return result;
}

int CWaveFile::close()
{
    if (!file_) return kWaveOk;
    if (isWriting()) return finishRecording();
    file_.reset();
    return kWaveOk;
}

// ---- Writing ------------------------------------------------------------

std::vector<std::uint8_t> CWaveFile::headerBytes(std::uint64_t fileEnd, std::uint64_t dataSize)
{
    const std::uint64_t riffSize = fileEnd - 8;
    const bool rf64 = ds64_.rf64Mode() == CDs64Chunk::kDs64FromStart ||
                      (ds64_.rf64Mode() == CDs64Chunk::kJunkPlaceholder && riffSize >= rf64Threshold_);
    ByteWriter header;
    header.text(rf64 ? "RF64" : "RIFF");
    header.u32(rf64 ? kSizeInDs64 : static_cast<std::uint32_t>(riffSize));
    header.text("WAVE");
    if (rf64) {
        ds64_.riffSize = riffSize;
        ds64_.dataSize = dataSize;
        ds64_.sampleCount = fmt_.blockAlign() == 0 ? 0 : dataSize / fmt_.blockAlign();
        ds64_.appendChunk(header);
    } else if (ds64_.rf64Mode() == CDs64Chunk::kJunkPlaceholder) {
        header.text("junk");
        header.u32(CDs64Chunk::kSize);
        header.zeros(CDs64Chunk::kSize);
    }
    fmt_.appendChunk(header);
    header.text("data");
    header.u32(rf64 ? kSizeInDs64 : static_cast<std::uint32_t>(dataSize));
    return header.data();
}

bool CWaveFile::writeSizes(std::uint64_t fileEnd, std::uint64_t dataSize)
{
    // The header lies in the file's first page and goes down in one write,
    // so a reader (or a take cut off) never sees half of it new.
    const std::vector<std::uint8_t> header = headerBytes(fileEnd, dataSize);
    return file_->writeAt(0, header.data(), header.size());
}

int CWaveFile::writeHeader()
{
    const std::uint64_t length = headerLength();
    if (!writeSizes(length, 0)) return kWaveIoError;
    file_->seek(length);
    dataStart_ = length;
    committedEnd_ = length;
    writeFailed_ = false;
    return kWaveOk;
}

int CWaveFile::writeData(const std::uint8_t* buffer, std::int64_t length)
{
    if (!isWriting() || length < 0 || writeFailed_) return kWaveIoError;
    // The samples reach the disk before the header names them.
    if (!file_->write(buffer, static_cast<std::uint64_t>(length)) || !file_->syncData()) return failWrite();
    // The disk thread alone touches this while streaming; the data size the
    // owner may ask for stays as it is until the close.
    committedEnd_ = std::max(committedEnd_, file_->position());
    if (!writeSizes(committedEnd_, committedEnd_ - dataStart_)) return failWrite();
    return kWaveOk;
}

int CWaveFile::failWrite()
{
    // Audio written after a gap would no longer lie where it was recorded:
    // the take ends with the last buffer that reached the disk whole.
    writeFailed_ = true;
    file_->truncate(committedEnd_);
    file_->seek(committedEnd_);
    writeSizes(committedEnd_, committedEnd_ - dataStart_);
    return kWaveIoError;
}

int CWaveFile::finishRecording()
{
    const std::int64_t fileSize = file_->size();
    const std::uint64_t header = headerLength();
    // A file shorter than its header never had its header written.
    if (fileSize < 0 || static_cast<std::uint64_t>(fileSize) < header) {
        file_->closeAndRemove();
        file_.reset();
        return kWaveIoError;
    }
    std::uint64_t size = static_cast<std::uint64_t>(fileSize);
    const std::uint64_t dataSize = size - header;
    bool ok = !writeFailed_;
    if (dataSize == 0) {
        // An empty take leaves no file behind.
        ok = file_->closeAndRemove() && ok;
        file_.reset();
        return ok ? kWaveOk : kWaveIoError;
    }
    if (size % 2 != 0) {
        // On a full disk the pad byte may not fit; the RIFF size then
        // counts the bytes there are.
        const std::uint8_t pad = 0;
        if (file_->writeAt(size, &pad, 1))
            size += 1;
        else
            ok = false;
    }
    ok = writeSizes(size, dataSize) && ok;
    ok = file_->syncData() && ok;
    dataSize_ = dataSize;
    dataStart_ = header;
    ok = file_->close() && ok;
    file_.reset();
    return ok ? kWaveOk : kWaveIoError;
}

// ---- Reading ------------------------------------------------------------

// The chunks the reader keeps; every other id is skipped.
enum class ChunkKind { Format, Data, Ds64, Levl, Bext, Other };

namespace {

// Ids compared without regard to case.
ChunkKind chunkKind(const std::uint8_t* id)
{
    static constexpr std::array<std::pair<std::string_view, ChunkKind>, 5> kKinds = {{
        {"fmt ", ChunkKind::Format},
        {"data", ChunkKind::Data},
        {"ds64", ChunkKind::Ds64},
        {"levl", ChunkKind::Levl},
        {"bext", ChunkKind::Bext},
    }};
    char lower[4];
    for (int i = 0; i < 4; ++i) lower[i] = static_cast<char>(std::tolower(id[i]));
    for (const auto& [name, kind] : kKinds)
        if (name == std::string_view(lower, 4)) return kind;
    return ChunkKind::Other;
}

// A chunk id is four printable ASCII characters; anything else (a run of
// zero bytes, sample data after a data chunk that overstated nothing) is
// no chunk, and the walk ends there instead of stepping through it.
bool isChunkId(const std::uint8_t* id)
{
    return std::all_of(id, id + 4, [](std::uint8_t c) { return c >= 0x20 && c <= 0x7E; });
}

// The most of a chunk's body the reader keeps, whatever size it claims.
std::uint32_t keptBytes(ChunkKind kind)
{
    switch (kind) {
    case ChunkKind::Format: return CFmtChunk::kExtensibleSize;
    case ChunkKind::Ds64: return CDs64Chunk::kSize;
    case ChunkKind::Levl: return CLevlChunk::kHeaderSize + CLevlChunk::kMaxPeakBytes;
    case ChunkKind::Bext: return CBextChunk::kFixedSize + CBextChunk::kMaxCodingHistory;
    default: return 0;
    }
}

}  // namespace

int CWaveFile::readChunks()
{
    reset();
    const std::int64_t fileSize = file_->size();
    std::uint8_t riff[kRiffHeaderLength];
    const std::int64_t got = file_->readAt(0, riff, sizeof riff);
    if (fileSize < 0 || got < 0) return kWaveIoError;
    if (got < static_cast<std::int64_t>(sizeof riff)) return kWaveTruncated;
    if ((std::memcmp(riff, "RIFF", 4) != 0 && std::memcmp(riff, "RF64", 4) != 0) || std::memcmp(riff + 8, "WAVE", 4) != 0)
        return kWaveNotWave;

    const auto end = static_cast<std::uint64_t>(fileSize);
    bool haveFormat = false, haveData = false, haveDs64 = false;
    std::uint64_t position = kRiffHeaderLength;
    // A few bytes too short for a chunk header at the end are no chunk.
    // Each step reads one chunk header and at most a bounded part of its
    // body, so the walk costs the number of chunks, never their sizes.
    while (end - position >= kChunkHeaderLength) {
        std::uint8_t chunkHeader[kChunkHeaderLength];
        if (file_->readAt(position, chunkHeader, sizeof chunkHeader) != static_cast<std::int64_t>(sizeof chunkHeader))
            return kWaveIoError;
        if (!isChunkId(chunkHeader)) break;
        const ChunkKind kind = chunkKind(chunkHeader);
        const std::uint32_t size = loadU32(chunkHeader + 4);
        position += kChunkHeaderLength;
        const std::uint64_t bytesLeft = end - position;

        std::uint64_t advance = size;
        if (kind == ChunkKind::Data) {
            dataStart_ = position;
            // 0xFFFFFFFF: the size is in the ds64 chunk, or, without one, not
            // known at all (a stream written to a pipe): the samples run to
            // the end of the file, as they do when the size was never
            // patched or is overstated.
            const std::uint64_t declared = size != kSizeInDs64 ? size : haveDs64 ? ds64_.dataSize : bytesLeft;
            dataSize_ = std::min(declared, bytesLeft);
            advance = dataSize_;
            haveData = true;
        } else if (kind != ChunkKind::Other) {
            if (size > bytesLeft) return kWaveTruncated;
            const std::uint32_t kept = std::min(size, keptBytes(kind));
            std::vector<std::uint8_t> body(kept);
            const std::int64_t bodyRead = file_->readAt(position, body.data(), kept);
            if (bodyRead < 0) return kWaveIoError;
            if (bodyRead < static_cast<std::int64_t>(kept)) return kWaveTruncated;
            const int result = parseChunk(kind, body.data(), kept, size);
            if (result != kWaveOk) return result;
            haveFormat = haveFormat || kind == ChunkKind::Format;
            haveDs64 = haveDs64 || kind == ChunkKind::Ds64;
        }
        // A chunk that runs to the end (a skipped one may even claim more,
        // or lack its pad byte) ends the walk.
        if (advance >= bytesLeft) break;
        position += advance + advance % 2;
    }
    if (!haveFormat || !haveData) return kWaveChunkUnfit;
    file_->seek(dataStart_);
    return kWaveOk;
}

int CWaveFile::parseChunk(ChunkKind kind, const std::uint8_t* body, std::uint32_t kept, std::uint32_t size)
{
    switch (kind) {
    case ChunkKind::Format: return fmt_.parse(body, kept);
    case ChunkKind::Ds64: return ds64_.parse(body, kept);
    case ChunkKind::Levl: return levl_.parse(body, kept, size);
    case ChunkKind::Bext: return bext_.parse(body, kept, size);
    default: return kWaveOk;
    }
}

// ---- Samples ------------------------------------------------------------

std::int64_t CWaveFile::readData(std::uint8_t* buffer, std::int64_t length)
{
    if (length <= 0) return 0;
    const auto wanted = static_cast<std::uint64_t>(length);
    // 8-bit samples are unsigned: their silence is 0x80, and a zero byte
    // would play as full-scale negative.
    const int silence = fmt_.bitsPerSample() == 8 ? 0x80 : 0;
    if (!file_ || isWriting()) {
        std::memset(buffer, silence, wanted);
        return -1;
    }
    const std::uint64_t position = file_->position();
    const std::uint64_t dataEnd = dataStart_ + dataSize_;
    const std::uint64_t available = position < dataEnd ? std::min(wanted, dataEnd - position) : 0;
    const std::int64_t got = file_->read(buffer, available);
    // A file that shrank under us plays on as silence, keeping the time.
    file_->seek(position + available);
    const std::uint64_t filled = got < 0 ? 0 : static_cast<std::uint64_t>(got);
    std::memset(buffer + filled, silence, wanted - filled);
    return got;
}

void CWaveFile::seekToFrame(std::uint64_t frame)
{
    if (file_) file_->seek(dataStart_ + frame * fmt_.blockAlign());
}

}  // namespace orvelan::io
