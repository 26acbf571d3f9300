// Benchmarks set their blocks up through setters that report failure; a
// set-up that fails would time the wrong work, so it ends the program.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace orvelan::bench {

inline void requireSetUp(int result, const char* what) {
    if (result == 0) return;
    std::fprintf(stderr, "benchmark set-up failed: %s returned %d\n", what, result);
    std::abort();
}

}  // namespace orvelan::bench
