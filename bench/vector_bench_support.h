// Shared by the vector-kernel benchmarks.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>

// The "plain -O3 loop" baselines: not inlined into the timing loop, and not
// turned into a call of the C library's memset/memcpy (the loop itself is
// measured, vectorised by the compiler for the x86-64 baseline).
#define PLAIN_LOOP __attribute__((noinline, optimize("no-tree-loop-distribute-patterns")))

// Byte counts 256 B .. 16 MiB in steps of 4.
inline void byteCounts256To16M(benchmark::internal::Benchmark* b) {
    for (std::int64_t n = 256; n <= (std::int64_t{16} << 20); n *= 4) b->Arg(n);
}
