// Byte buffers with guard zones, for catching writes outside a destination
// and for placing vectors at any byte offset from a 16-byte boundary.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

class GuardedBuffer {
public:
    static constexpr std::size_t kGuardBytes = 64;
    static constexpr unsigned char kGuardByte = 0xA5;

    // Room for `bytes` bytes starting `offset` bytes past a 64-byte boundary.
    GuardedBuffer(std::size_t bytes, std::size_t offset)
        : storage_(kGuardBytes * 2 + offset + bytes + 64, kGuardByte), bytes_(bytes) {
        const auto base = reinterpret_cast<std::uintptr_t>(storage_.data()) + kGuardBytes;
        const std::uintptr_t aligned = (base + 63) & ~std::uintptr_t{63};
        start_ = storage_.data() + (aligned - reinterpret_cast<std::uintptr_t>(storage_.data())) + offset;
    }

    unsigned char* bytes() { return start_; }
    const unsigned char* bytes() const { return start_; }
    std::size_t size() const { return bytes_; }

    // Typed view; element access must still go through memcpy-like helpers
    // when the offset leaves the pointer misaligned for T.
    template <typename T>
    T* as() { return reinterpret_cast<T*>(start_); }

    void fill(unsigned char value) { std::memset(start_, value, bytes_); }

    // True when no byte outside [bytes(), bytes() + size()) was changed.
    bool guardsIntact() const {
        for (const unsigned char* p = storage_.data(); p < start_; ++p)
            if (*p != kGuardByte) return false;
        for (const unsigned char* p = start_ + bytes_; p < storage_.data() + storage_.size(); ++p)
            if (*p != kGuardByte) return false;
        return true;
    }

    template <typename T>
    T get(std::size_t index) const {
        T v;
        std::memcpy(&v, start_ + index * sizeof(T), sizeof v);
        return v;
    }

    template <typename T>
    void set(std::size_t index, T v) {
        std::memcpy(start_ + index * sizeof(T), &v, sizeof v);
    }

private:
    std::vector<unsigned char> storage_;
    std::size_t bytes_;
    unsigned char* start_;
};
