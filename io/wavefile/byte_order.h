// Little-endian loads and stores: every number in a WAVE file is
// little-endian, whatever the host.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace orvelan::io {

inline std::uint16_t loadU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

inline std::uint32_t loadU32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

inline std::uint64_t loadU64(const std::uint8_t* p)
{
    return static_cast<std::uint64_t>(loadU32(p)) | static_cast<std::uint64_t>(loadU32(p + 4)) << 32;
}

inline void storeU16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

inline void storeU32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline void storeU64(std::uint8_t* p, std::uint64_t v)
{
    storeU32(p, static_cast<std::uint32_t>(v));
    storeU32(p + 4, static_cast<std::uint32_t>(v >> 32));
}

// Appends fields to a growing byte string, as a chunk is laid out.
class ByteWriter {
public:
    void u16(std::uint16_t v) { little(v, 2); }
    void u32(std::uint32_t v) { little(v, 4); }
    void u64(std::uint64_t v) { little(v, 8); }
    void text(std::string_view s)
    {
        for (char c : s) bytes_.push_back(static_cast<std::uint8_t>(c));
    }
    void bytes(const std::uint8_t* p, std::size_t n) { bytes_.insert(bytes_.end(), p, p + n); }
    void zeros(std::size_t n)
    {
        for (std::size_t i = 0; i < n; ++i) bytes_.push_back(0);
    }
    const std::vector<std::uint8_t>& data() const { return bytes_; }

private:
    void little(std::uint64_t v, int byteCount)
    {
        for (int i = 0; i < byteCount; ++i) bytes_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    std::vector<std::uint8_t> bytes_;
};

}  // namespace orvelan::io
