// libFuzzer target for the WAV/RF64 reader: every input is opened as a
// file and, when accepted, its samples are read to the end and from the
// middle. Besides the sanitizers' findings (memory errors, undefined
// behaviour, an allocation beyond -malloc_limit_mb), it traps when the
// reader breaks its own promises: an accepted file whose data lies outside
// the file, samples that differ from the file's bytes, a buffer not
// completed with silence, or a refused file left open.
//
// Built and run by scripts/fuzz; an input it finds becomes a test case in
// tests/io/wave_file_malformed_test.cpp.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "wavefile/wave_file.h"

namespace {

using orvelan::io::CWaveFile;

void check(bool promise)
{
    if (!promise) __builtin_trap();
}

// One in-memory file for every input, opened by name like a file on disk.
const std::string& inputPath()
{
    static const std::string path = [] {
        const int fd = memfd_create("wave-fuzz", 0);
        check(fd >= 0);
        return "/proc/self/fd/" + std::to_string(fd);
    }();
    return path;
}

void writeInput(const std::uint8_t* data, std::size_t size)
{
    const int fd = std::stoi(inputPath().substr(std::strlen("/proc/self/fd/")));
    check(ftruncate(fd, 0) == 0);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
        check(n > 0);
        done += static_cast<std::size_t>(n);
    }
}

// Reads from the current position to the end of the data in buffers of an
// odd length, checking each against the file's bytes and the silence after.
void readToTheEnd(CWaveFile& file, const std::uint8_t* data, std::uint64_t from)
{
    const std::uint64_t end = file.dataStart() + file.dataSize();
    const std::uint8_t silence = file.bitsPerSample() == 8 ? 0x80 : 0;
    std::vector<std::uint8_t> buffer(997);
    for (std::uint64_t at = from;;) {
        const std::int64_t got = file.readData(buffer.data(), static_cast<std::int64_t>(buffer.size()));
        check(got >= 0 && static_cast<std::uint64_t>(got) <= buffer.size());
        const auto n = static_cast<std::size_t>(got);
        check(static_cast<std::uint64_t>(got) == std::min<std::uint64_t>(buffer.size(), at < end ? end - at : 0));
        check(std::memcmp(buffer.data(), data + at, n) == 0);
        for (std::size_t i = n; i < buffer.size(); ++i) check(buffer[i] == silence);
        if (n < buffer.size()) return;
        at += n;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    writeInput(data, size);
    CWaveFile file;
    const int code = file.open(inputPath(), CWaveFile::OpenMode::ReadOnly);
    if (code != orvelan::io::kWaveOk) {
        check(!file.isOpen());
        check(code == orvelan::io::kWaveChunkUnfit || code == orvelan::io::kWaveNotWave || code == orvelan::io::kWaveTruncated);
        return 0;
    }
    check(file.blockAlign() > 0 && file.channels() > 0 && file.sampleRate() > 0);
    check(file.dataStart() <= size && file.dataSize() <= size - file.dataStart());
    check(file.numFrames() * file.blockAlign() <= file.dataSize());
    readToTheEnd(file, data, file.dataStart());
    const std::uint64_t middle = file.numFrames() / 2;
    file.seekToFrame(middle);
    readToTheEnd(file, data, file.dataStart() + middle * file.blockAlign());
    return 0;
}
