// The plain sqrtf loop compiled with -fno-math-errno (set for this file in
// bench/CMakeLists.txt): the compiler may then use the square-root
// instruction directly and vectorise, which the errno-setting loop cannot.
#include <cmath>

__attribute__((noinline)) void plainSqrtNoErrno(float* data, int len) {
    for (int i = 0; i < len; ++i) data[i] = std::sqrt(data[i]);
}
