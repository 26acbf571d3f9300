// A float vector for in-place and destination tests: it starts `offset`
// bytes (0..15) past a 16-byte boundary and ends exactly where its heap block
// ends, so AddressSanitizer reports any access past its last element; the
// bytes between the block start and the vector hold a pattern that a stray
// write before the first element would change.
#pragma once

#include <cstddef>
#include <cstring>
#include <vector>

#include "dsp.h"
#include "tail_buffer.h"

class PlacedFloats {
public:
    PlacedFloats(const std::vector<float>& values, std::size_t offset)
        : buffer_(offset + values.size() * sizeof(float), 0), offset_(offset), count_(values.size()) {
        std::memset(buffer_.bytes(), kPrefixByte, offset);
        std::memcpy(data(), values.data(), count_ * sizeof(float));
    }

    // Misaligned for offsets not a multiple of 4: pass it on, never dereference it.
    Dsp32f* data() { return reinterpret_cast<Dsp32f*>(buffer_.bytes() + offset_); }
    int length() const { return static_cast<int>(count_); }

    std::vector<float> values() const {
        std::vector<float> out(count_);
        std::memcpy(out.data(), buffer_.bytes() + offset_, count_ * sizeof(float));
        return out;
    }

    bool prefixIntact() const {
        for (std::size_t i = 0; i < offset_; ++i)
            if (buffer_.bytes()[i] != kPrefixByte) return false;
        return true;
    }

private:
    static constexpr unsigned char kPrefixByte = 0xA5;
    TailBuffer buffer_;
    std::size_t offset_;
    std::size_t count_;
};
