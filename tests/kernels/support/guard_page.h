// Memory that ends where a page the process may not touch begins, so a read
// past the end of a vector placed against it faults, in every build. The
// sanitizers cannot stand in for it: they do not see lddqu, movlps/movhps
// loads or streaming stores.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <stdexcept>

class GuardPage {
public:
    // Room for vectors of up to `capacity` bytes.
    explicit GuardPage(std::size_t capacity) : capacity_(capacity) {
        const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        const std::size_t dataPages = (capacity + page - 1) / page;
        mappedBytes_ = (dataPages + 1) * page;
        void* region = mmap(nullptr, mappedBytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (region == MAP_FAILED) throw std::runtime_error("mmap failed");
        region_ = static_cast<unsigned char*>(region);
        guard_ = region_ + dataPages * page;
        if (mprotect(guard_, page, PROT_NONE) != 0) {
            munmap(region_, mappedBytes_);
            throw std::runtime_error("mprotect failed");
        }
    }
    ~GuardPage() { munmap(region_, mappedBytes_); }
    GuardPage(const GuardPage&) = delete;
    GuardPage& operator=(const GuardPage&) = delete;

    // The start of a `bytes`-byte vector whose last byte is the last one
    // before the guard; it lies (-bytes) mod 4096 past a page boundary.
    unsigned char* vectorOf(std::size_t bytes) {
        if (bytes > capacity_) throw std::length_error("vector larger than the guarded room");
        return guard_ - bytes;
    }

private:
    std::size_t capacity_;
    std::size_t mappedBytes_ = 0;
    unsigned char* region_ = nullptr;
    unsigned char* guard_ = nullptr;
};
