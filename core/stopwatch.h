#pragma once

#include <cstdint>

#include "result_line.h"

namespace morvith {

// A monotonic clock in nanoseconds from an arbitrary start: a calendar clock that is set
// back while a measurement runs would show a negative time. Each build links one
// (core/steady_clock.cpp, or host/performance_counter_clock.cpp on Windows).
int64_t MonotonicNanoseconds();

class Stopwatch {
public:
    void Start() { start_ = MonotonicNanoseconds(); }

    // Elapsed milliseconds since Start, a whole number of microseconds times 0.001.
    double Stop() const { return ElapsedMilliseconds(MonotonicNanoseconds() - start_); }

private:
    int64_t start_ = 0;
};

}  // namespace morvith
