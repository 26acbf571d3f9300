// Counts heap allocations made by the whole process and by each thread, so
// a benchmark or a test can show that a real-time path allocates nothing.
// Not for sanitizer builds: the sanitizers bring allocators of their own. Link the program with
// bench/support/allocation_counter.cpp (target orvelan_allocation_counter):
// it replaces malloc, calloc, realloc, aligned_alloc, posix_memalign and the
// global operator new.
//
//   const auto before = allocationCount();
//   block.process(...);
//   state.counters["allocations"] = double(allocationCount() - before);
#pragma once

#include <cstdint>

// Number of allocation calls since the program started (all threads).
std::uint64_t allocationCount();
// Number of allocation calls the calling thread has made.
std::uint64_t threadAllocationCount();
