#include "wide_integer.h"

#include <cmath>

namespace morvith {
namespace {

// Integers below 2^54 convert exactly, whatever precision the x87 unit was left in.
double ExactSmallDouble(uint64_t value) {
    return static_cast<double>(static_cast<uint32_t>(value >> 32)) * 4294967296.0 +
           static_cast<double>(static_cast<uint32_t>(value));
}

uint64_t Magnitude(int64_t value) {
    return value < 0 ? uint64_t{0} - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
}

Int128 Negated(const Int128& value) {
    const uint64_t low = uint64_t{0} - value.low;
    return {~value.high + (value.low == 0 ? 1 : 0), low};
}

// Schoolbook on 32-bit halves; the middle sum can carry into bit 64.
Int128 MultiplyUnsigned(uint64_t a, uint64_t b) {
    const uint64_t a_low = static_cast<uint32_t>(a), a_high = a >> 32;
    const uint64_t b_low = static_cast<uint32_t>(b), b_high = b >> 32;
    const uint64_t low_low = a_low * b_low;
    const uint64_t low_high = a_low * b_high;
    const uint64_t high_low = a_high * b_low;
    const uint64_t high_high = a_high * b_high;
    const uint64_t middle = (low_low >> 32) + static_cast<uint32_t>(low_high) +
                            static_cast<uint32_t>(high_low);
    return {high_high + (low_high >> 32) + (high_low >> 32) + (middle >> 32),
            (middle << 32) | static_cast<uint32_t>(low_low)};
}

}  // namespace

Int128 MultiplyWide(int64_t a, int64_t b) {
    const Int128 magnitude = MultiplyUnsigned(Magnitude(a), Magnitude(b));
    return (a < 0) != (b < 0) ? Negated(magnitude) : magnitude;
}

Int128 operator-(const Int128& a, const Int128& b) {
    const uint64_t low = a.low - b.low;
    return {a.high - b.high - (a.low < b.low ? 1 : 0), low};
}

double NearestDouble(uint64_t high, uint64_t low) {
    int bits = 0;
    if (high != 0) {
        bits = 64;
        for (uint64_t h = high; h != 0; h >>= 1) ++bits;
    } else {
        for (uint64_t l = low; l != 0; l >>= 1) ++bits;
    }
    if (bits <= 53) return ExactSmallDouble(low);

    const int shift = bits - 53;
    // mantissa = value >> shift; rest = the bits shifted out
    uint64_t mantissa;
    bool above_half;
    bool exactly_half;
    if (shift < 64) {
        mantissa = (low >> shift) | (shift == 0 ? 0 : high << (64 - shift));
        const uint64_t rest = low & ((uint64_t{1} << shift) - 1);
        const uint64_t half = uint64_t{1} << (shift - 1);
        above_half = rest > half;
        exactly_half = rest == half;
    } else {
        const int high_shift = shift - 64;
        mantissa = high >> high_shift;
        const uint64_t rest_high = high & ((uint64_t{1} << high_shift) - 1);
        if (high_shift == 0) {
            above_half = low > (uint64_t{1} << 63);
            exactly_half = low == (uint64_t{1} << 63);
        } else {
            const uint64_t half_high = uint64_t{1} << (high_shift - 1);
            above_half = rest_high > half_high || (rest_high == half_high && low != 0);
            exactly_half = rest_high == half_high && low == 0;
        }
    }
    if (above_half || (exactly_half && (mantissa & 1) != 0)) ++mantissa;
    return std::ldexp(ExactSmallDouble(mantissa), shift);
}

double NearestDouble(const Int128& value) {
    if (!value.IsNegative()) return NearestDouble(value.high, value.low);
    const Int128 magnitude = Negated(value);
    return -NearestDouble(magnitude.high, magnitude.low);
}

}  // namespace morvith
