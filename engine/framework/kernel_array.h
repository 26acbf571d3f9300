// A fixed-size array in 32-byte-aligned kernel memory, for the per-channel
// data a block sizes in `configure` and uses in `process`. Allocation never
// throws: `allocate` reports failure and leaves the array empty.
#pragma once

#include <climits>
#include <cstddef>
#include <memory>
#include <new>

#include "dsp.h"

template <typename T>
class vxKernelArray {
public:
    vxKernelArray() = default;
    ~vxKernelArray() { release(); }
    vxKernelArray(const vxKernelArray&) = delete;
    vxKernelArray& operator=(const vxKernelArray&) = delete;

    // Replaces the contents with n value-initialised elements (zeros for
    // numbers); n of 0 leaves the array empty. False when the memory cannot
    // be had, the array then being empty.
    bool allocate(int n) {
        release();
        if (n <= 0) return n == 0;
        if (static_cast<std::size_t>(n) > INT_MAX / sizeof(T)) return false;
        void* block = dspsMalloc_8u(static_cast<int>(n * sizeof(T)));
        if (block == nullptr) return false;
        data_ = static_cast<T*>(block);
        std::uninitialized_value_construct_n(data_, n);
        size_ = n;
        return true;
    }

    void release() {
        if (data_ == nullptr) return;
        std::destroy_n(data_, size_);
        dspsFree(data_);
        data_ = nullptr;
        size_ = 0;
    }

    int size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T* data() { return data_; }
    const T* data() const { return data_; }
    T& operator[](int i) { return data_[i]; }
    const T& operator[](int i) const { return data_[i]; }
    T* begin() { return data_; }
    T* end() { return data_ + size_; }
    const T* begin() const { return data_; }
    const T* end() const { return data_ + size_; }

private:
    static_assert(alignof(T) <= 32, "kernel memory is 32-byte aligned");
    T* data_ = nullptr;
    int size_ = 0;
};
