// A byte range that ends exactly where its heap block ends, so that
// AddressSanitizer reports any read past its last byte. Its start lies
// `offset` (0..15) bytes past a 16-byte boundary.
#pragma once

#include <cstddef>
#include <cstring>
#include <new>

class TailBuffer {
public:
    TailBuffer(std::size_t bytes, std::size_t offset)
        : block_(static_cast<unsigned char*>(::operator new(offset + bytes, kAlignment))),
          start_(block_ + offset),
          bytes_(bytes) {}
    ~TailBuffer() { ::operator delete(block_, kAlignment); }
    TailBuffer(const TailBuffer&) = delete;
    TailBuffer& operator=(const TailBuffer&) = delete;

    unsigned char* bytes() { return start_; }
    const unsigned char* bytes() const { return start_; }
    std::size_t size() const { return bytes_; }

    // Copies size() bytes in.
    void assign(const void* source) { std::memcpy(start_, source, bytes_); }

    // Byte i holds (seed + i * 7) mod 256: distinct neighbours, so a byte
    // copied from the wrong place shows.
    void fillCounting(unsigned seed) {
        for (std::size_t i = 0; i < bytes_; ++i) start_[i] = static_cast<unsigned char>(seed + i * 7);
    }

private:
    static constexpr std::align_val_t kAlignment{16};
    unsigned char* block_;
    unsigned char* start_;
    std::size_t bytes_;
};
