// A multichannel WAVE file, written as a recording or read for playback.
//
// Writing lays down the header at once (RIFF, a "junk" place holder big
// enough for a ds64 chunk, an extensible format, "data") and then appends
// nothing but sample bytes. After every buffer of samples has reached the
// disk the whole header is rewritten in one write with the sizes of what
// is on disk, turning into RF64 (the place holder into "ds64") once the
// RIFF size no longer fits in 32 bits: a take cut off at any moment (the
// process killed, the power gone) reads back in every reader with at most
// its last buffer missing. A failed write ends the take at the last whole
// buffer: the file is cut back to it and nothing more is written. Closing
// pads an odd data chunk, sets the final sizes and deletes an empty take.
//
// Reading walks the chunks of a RIFF or RF64 file (ids in any case, odd
// chunks padded) up to the first one that cannot be a chunk, and keeps the
// format, the ds64, bext and levl records and where the samples lie. Every
// size the file announces is checked against the bytes the file really
// holds, and only the fixed fields of a record (and a bounded coding
// history or peak envelope) are read into memory, whatever a chunk claims.
//
// One thread at a time: the owner opens, seeks and closes; while streaming,
// the disk thread alone calls readData or writeData.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "wavefile/binary_file.h"
#include "wavefile/chunk_records.h"
#include "wavefile/wave_result.h"

namespace orvelan::io {

enum class ChunkKind;

class CWaveFile {
public:
    enum class OpenMode { ReadOnly, WriteOnly };

    // A RIFF size from which a closed recording becomes RF64.
    static constexpr std::uint64_t kRf64Threshold = 0xFFFFFFFFu;

    CWaveFile();
    ~CWaveFile();
    CWaveFile(const CWaveFile&) = delete;
    CWaveFile& operator=(const CWaveFile&) = delete;

    // Starts a recording: formatTag 1 (integer PCM) or 3 (float), else 0;
    // a non-zero levlBlockSize prepares a peak envelope of one channel.
    int openForWriting(const std::string& fileName, int channels, int sampleRate, int formatTag, int bytesPerSample,
                       int levlBlockSize);
    // Opens for playback and reports the format, whatever the result.
    int openForReading(const std::string& fileName, int& channels, int& sampleRate, int& bytesPerSample,
                       int& formatTag, int& levlBlockSize);
    // Closes any open file first. Write-only writes the header; read-only
    // walks the chunks and closes the file again when that fails.
    int open(const std::string& fileName, OpenMode mode);
    // Finishes a written file or closes a read one; harmless with no file.
    // Returns kWaveIoError when a write of the recording failed, when the
    // file system refused to finish it, or when its header had never been
    // written.
    int close();

    bool isOpen() const { return file_ != nullptr; }
    bool isWriting() const { return file_ && file_->mode() == BinaryFile::Mode::Write; }

    // Fills the whole buffer from the current position: sample bytes up to
    // the end of the data chunk, silence of the file's sample format for the
    // rest (0x80 bytes for 8-bit samples, else zero bytes). Returns the
    // sample bytes read, or -1 when the file system failed (the buffer is
    // then silence).
    std::int64_t readData(std::uint8_t* buffer, std::int64_t length);
    // Writes the whole buffer at the current position, waits for it to reach
    // the disk and refreshes the header's sizes: 0 or kWaveIoError. After a
    // failure the file ends at the last buffer written whole, and every
    // later write is refused.
    int writeData(const std::uint8_t* buffer, std::int64_t length);
    // A write of this recording has failed.
    bool writeFailed() const { return writeFailed_; }
    // Positions the file at the given frame of the sample data.
    void seekToFrame(std::uint64_t frame);
    // Frames in the data chunk; 0 without a format.
    std::uint64_t numFrames() const;
    // The open file's name; empty without one.
    std::string fileName() const;

    int channels() const { return fmt_.channels(); }
    int sampleRate() const { return static_cast<int>(fmt_.sampleRate()); }
    int bitsPerSample() const { return fmt_.bitsPerSample(); }
    int formatTag() const { return fmt_.formatTag(); }
    int blockAlign() const { return fmt_.blockAlign(); }

    const CFmtChunk& fmt() const { return fmt_; }
    const CDs64Chunk& ds64() const { return ds64_; }
    const CBextChunk& bext() const { return bext_; }
    const CLevlChunk& levl() const { return levl_; }
    // The peak-envelope record also keeps a recording's time stamp.
    CLevlChunk& levl() { return levl_; }
    std::uint64_t dataStart() const { return dataStart_; }
    std::uint64_t dataSize() const { return dataSize_; }

    // Test hook: lets small files cross into RF64 at close.
    void setRf64ThresholdForTesting(std::uint64_t riffSize) { rf64Threshold_ = riffSize; }

private:
    void reset();
    // Bytes from the start of the file to the first sample.
    std::uint64_t headerLength() const;
    // The header of a file that ends at fileEnd with dataSize sample bytes.
    std::vector<std::uint8_t> headerBytes(std::uint64_t fileEnd, std::uint64_t dataSize);
    bool writeSizes(std::uint64_t fileEnd, std::uint64_t dataSize);
    int writeHeader();
    // Cuts the file back to the last whole buffer and refuses further writes.
    int failWrite();
    int finishRecording();
    int readChunks();
    // Hands the first `kept` bytes of a chunk body of `size` bytes to the
    // record of its kind.
    int parseChunk(ChunkKind kind, const std::uint8_t* body, std::uint32_t kept, std::uint32_t size);

    std::unique_ptr<BinaryFile> file_;
    CFmtChunk fmt_;
    CLevlChunk levl_;
    CBextChunk bext_;
    CDs64Chunk ds64_;
    std::uint64_t dataStart_ = 0;
    std::uint64_t dataSize_ = 0;
    // Writing: where the last buffer written whole ends (the sizes in the
    // header on disk name it), and whether a write has failed.
    std::uint64_t committedEnd_ = 0;
    bool writeFailed_ = false;
    std::uint64_t rf64Threshold_ = kRf64Threshold;
};

}  // namespace orvelan::io
