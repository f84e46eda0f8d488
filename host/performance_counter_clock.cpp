#include <windows.h>

#include "stopwatch.h"

namespace morvith {

// The counter the C++ library's steady clock reads on this platform, converted the same
// way, without the POSIX thread library and exception runtime that its clock comes with.
int64_t MonotonicNanoseconds() {
    LARGE_INTEGER frequency;
    LARGE_INTEGER count;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&count);
    const int64_t ticks_per_second = frequency.QuadPart;
    const int64_t seconds = count.QuadPart / ticks_per_second;
    const int64_t rest = count.QuadPart % ticks_per_second;
    return seconds * 1000000000 + (rest * 1000000000 + ticks_per_second / 2) / ticks_per_second;
}

}  // namespace morvith
