#pragma once

// Integers past 64 bits, written portably: the 32-bit target has no 128-bit type. Only
// what the exact moments and the pooled squared errors need.

#include <cstdint>

namespace morvith {

// Two's complement, high * 2^64 + low.
struct Int128 {
    uint64_t high = 0;
    uint64_t low = 0;

    bool IsNegative() const { return (high >> 63) != 0; }
    friend bool operator==(const Int128&, const Int128&) = default;
};

Int128 MultiplyWide(int64_t a, int64_t b);
Int128 operator-(const Int128& a, const Int128& b);

// The exact value rounded to the nearest double, ties to even, in integer arithmetic: the
// 32-bit build's own 64-bit conversions go through the x87 unit and can round twice when
// the host runs it at 53-bit precision.
double NearestDouble(uint64_t high, uint64_t low);  // unsigned high * 2^64 + low
double NearestDouble(const Int128& value);

}  // namespace morvith
