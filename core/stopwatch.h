#pragma once

#include <chrono>

#include "result_line.h"

namespace morvith {

// Reads a monotonic clock: a calendar clock that is set back while a measurement runs
// would show a negative time.
class Stopwatch {
public:
    void Start() { start_ = std::chrono::steady_clock::now(); }

    // Elapsed milliseconds since Start, a whole number of microseconds times 0.001.
    double Stop() const {
        const auto elapsed = std::chrono::steady_clock::now() - start_;
        return ElapsedMilliseconds(
            std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count());
    }

private:
    std::chrono::steady_clock::time_point start_{};
};

}  // namespace morvith
