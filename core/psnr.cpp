#include "psnr.h"

#include <cmath>
#include <cstddef>

#include "row_loop.h"
#include "wide_integer.h"

namespace morvith {
namespace {

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
                                       int pitch, RowTeam* team) {
    const auto row = kernels.squared_error_row;
    return SumOverRows<SquaredErrorTriple>(width, height, team, [&](int r, SquaredErrorTriple& sums) {
        const ptrdiff_t offset = static_cast<ptrdiff_t>(r) * pitch;
        row(first_a + offset, first_b + offset, width, sums);
    });
}

SquaredErrorTriple SumSquaredErrorReference(const PixelYC* first_a, const PixelYC* first_b,
                                            int width, int height, int pitch, RowTeam* team) {
    return SumSquaredErrorWith(ScalarRowKernels(), first_a, first_b, width, height, pitch,
                               team);
}

SquaredErrorTriple SumSquaredError(const PixelYC* first_a, const PixelYC* first_b, int width,
                                   int height, int pitch, RowTeam* team) {
    return SumSquaredErrorWith(ActiveRowKernels(), first_a, first_b, width, height, pitch,
                               team);
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
