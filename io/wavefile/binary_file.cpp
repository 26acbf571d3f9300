#include "wavefile/binary_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvelan::io {

std::unique_ptr<BinaryFile> BinaryFile::open(const std::string& name, Mode mode)
{
    const int flags = mode == Mode::Read ? O_RDONLY : O_WRONLY | O_CREAT | O_TRUNC;
    int fd;
    do {
        fd = ::open(name.c_str(), flags | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return nullptr;
    return std::unique_ptr<BinaryFile>(new BinaryFile(fd, name, mode));
}

BinaryFile::~BinaryFile() { close(); }

std::int64_t BinaryFile::size() const
{
    struct stat st;
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return -1;
    return st.st_size;
}

std::int64_t BinaryFile::read(void* destination, std::uint64_t length)
{
    const std::int64_t got = readAt(position_, destination, length);
    if (got > 0) position_ += static_cast<std::uint64_t>(got);
    return got;
}

bool BinaryFile::write(const void* source, std::uint64_t length)
{
    if (!writeAt(position_, source, length)) return false;
    position_ += length;
    return true;
}

std::int64_t BinaryFile::readAt(std::uint64_t offset, void* destination, std::uint64_t length) const
{
    if (fd_ < 0) return -1;
    auto* out = static_cast<char*>(destination);
    std::uint64_t done = 0;
    while (done < length) {
        const ssize_t n = ::pread(fd_, out + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;  // end of the file
        done += static_cast<std::uint64_t>(n);
    }
    return static_cast<std::int64_t>(done);
}

bool BinaryFile::writeAt(std::uint64_t offset, const void* source, std::uint64_t length)
{
    if (fd_ < 0) return false;
    const auto* in = static_cast<const char*>(source);
    std::uint64_t done = 0;
    while (done < length) {
        const ssize_t n = ::pwrite(fd_, in + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        done += static_cast<std::uint64_t>(n);
    }
    return true;
}

bool BinaryFile::truncate(std::uint64_t length)
{
    if (fd_ < 0) return false;
    int result;
    do {
        result = ::ftruncate(fd_, static_cast<off_t>(length));
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

bool BinaryFile::syncData()
{
    if (fd_ < 0) return false;
    int result;
    do {
        result = ::fdatasync(fd_);
    } while (result != 0 && errno == EINTR);
    return result == 0 || errno == EINVAL || errno == EROFS;
}

bool BinaryFile::closeAndRemove()
{
    struct stat st;
    const bool regular = fd_ >= 0 && ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode);
    const bool closed = close();
    return closed && (!regular || ::unlink(name_.c_str()) == 0);
}

bool BinaryFile::close()
{
    if (fd_ < 0) return true;
    const int fd = fd_;
    fd_ = -1;
    // After an interrupted close the descriptor is gone on Linux; retrying
    // could close another thread's file.
    return ::close(fd) == 0 || errno == EINTR;
}

}  // namespace orvelan::io
