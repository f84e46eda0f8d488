#include "psnr.h"

#include <cmath>
#include <cstddef>

#include "row_loop.h"

namespace morvith {
namespace {

// Integers below 2^54 convert exactly, whatever precision the x87 unit was left in.
double ExactSmallDouble(uint64_t value) {
    return static_cast<double>(static_cast<uint32_t>(value >> 32)) * 4294967296.0 +
           static_cast<double>(static_cast<uint32_t>(value));
}

// high * 2^64 + low rounded to the nearest double, ties to even, in integer arithmetic:
// the 32-bit build's own unsigned 64-bit conversion goes through the x87 unit and can
// round twice when the host runs it at 53-bit precision.
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

PsnrReading ReadChannel(bool sse_is_zero, double sse, int32_t sample_count, int32_t frame_count,
                        PsnrForm form) {
    if (sse_is_zero) return PsnrReading{true, 0.0};
    const double n = static_cast<double>(sample_count);
    if (form == PsnrForm::Quotient) {
        double q = n * 16777216.0;
        q = q / sse;
        return PsnrReading{false, std::log10(q) * 10.0};
    }
    double p = std::log10(static_cast<double>(FULL_SCALE)) * 2.0;
    p = p + std::log10(n);
    p = p + std::log10(static_cast<double>(frame_count));
    p = p - std::log10(sse);
    return PsnrReading{false, p * 10.0};
}

}  // namespace

SquaredErrorTriple SumSquaredErrorWith(const RowKernels& kernels, const PixelYC* first_a,
                                       const PixelYC* first_b, int width, int height,
                                       int pitch, bool parallel) {
    const auto row = kernels.squared_error_row;
    return SumOverRows<SquaredErrorTriple>(height, parallel, [&](int r, SquaredErrorTriple& sums) {
        const ptrdiff_t offset = static_cast<ptrdiff_t>(r) * pitch;
        row(first_a + offset, first_b + offset, width, sums);
    });
}

SquaredErrorTriple SumSquaredErrorReference(const PixelYC* first_a, const PixelYC* first_b,
                                            int width, int height, int pitch, bool parallel) {
    return SumSquaredErrorWith(ScalarRowKernels(), first_a, first_b, width, height, pitch,
                               parallel);
}

SquaredErrorTriple SumSquaredError(const PixelYC* first_a, const PixelYC* first_b, int width,
                                   int height, int pitch, bool parallel) {
    return SumSquaredErrorWith(ActiveRowKernels(), first_a, first_b, width, height, pitch,
                               parallel);
}

void PooledSquaredError::Add(uint64_t value) {
    const uint64_t before = low;
    low += value;
    if (low < before) ++high;
}

double PooledSquaredError::ToDouble() const { return NearestDouble(high, low); }

void AddToPool(PooledSquaredErrorTriple& pool, const SquaredErrorTriple& frame) {
    pool.y.Add(frame.y);
    pool.cb.Add(frame.cb);
    pool.cr.Add(frame.cr);
}

PsnrReadingTriple ReadPsnr(const SquaredErrorTriple& sse, int32_t sample_count,
                           int32_t frame_count, PsnrForm form) {
    const auto read = [&](uint64_t channel) {
        return ReadChannel(channel == 0, NearestDouble(0, channel), sample_count, frame_count,
                           form);
    };
    return {read(sse.y), read(sse.cb), read(sse.cr)};
}

PsnrReadingTriple ReadPsnr(const PooledSquaredErrorTriple& sse, int32_t sample_count,
                           int32_t frame_count, PsnrForm form) {
    const auto read = [&](const PooledSquaredError& channel) {
        return ReadChannel(channel.IsZero(), channel.ToDouble(), sample_count, frame_count,
                           form);
    };
    return {read(sse.y), read(sse.cb), read(sse.cr)};
}

}  // namespace morvith
