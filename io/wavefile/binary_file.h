// A file opened for reading or for writing, addressed with 64-bit offsets
// (pread/pwrite), with a current position like a stream. Every short
// transfer and error is reported to the caller.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace orvelan::io {

class BinaryFile {
public:
    enum class Mode { Read, Write };

    // Null when the file cannot be opened in the mode. Writing creates the
    // file or truncates an existing one.
    static std::unique_ptr<BinaryFile> open(const std::string& name, Mode mode);
    ~BinaryFile();
    BinaryFile(const BinaryFile&) = delete;
    BinaryFile& operator=(const BinaryFile&) = delete;

    const std::string& name() const { return name_; }
    Mode mode() const { return mode_; }

    // Bytes in the file, or -1 when they cannot be learnt.
    std::int64_t size() const;

    std::uint64_t position() const { return position_; }
    void seek(std::uint64_t offset) { position_ = offset; }

    // Reads up to length bytes at the position and advances past them;
    // returns the bytes read (fewer at the end of the file) or -1 on error.
    std::int64_t read(void* destination, std::uint64_t length);
    // Writes all bytes at the position and advances; false on any failure.
    bool write(const void* source, std::uint64_t length);
    // The same at a given offset, leaving the position alone.
    std::int64_t readAt(std::uint64_t offset, void* destination, std::uint64_t length) const;
    bool writeAt(std::uint64_t offset, const void* source, std::uint64_t length);

    // Cuts the file to the given length (a failed write's partial bytes).
    bool truncate(std::uint64_t length);
    // Waits until the written bytes are on the device. A device or pipe
    // that cannot be synchronised counts as done.
    bool syncData();

    // Closes the file and deletes it, when it is a regular file (never a
    // device such as /dev/null that a recording was sent to); false when
    // either fails.
    bool closeAndRemove();

    // Closes the descriptor; false when closing reports an error (for a
    // written file, data that may not have reached the disk).
    bool close();

private:
    BinaryFile(int fd, std::string name, Mode mode) : fd_(fd), name_(std::move(name)), mode_(mode) {}

    int fd_;
    std::string name_;
    Mode mode_;
    std::uint64_t position_ = 0;
};

}  // namespace orvelan::io
