// The literal loops of the passes, column by column in row order. They are the reference
// that every fast kernel is checked against, so they stay plain.

#include "row_kernels.h"

namespace morvith {
namespace {

// |a - b| <= 65535, whose square 4294836225 needs all 32 unsigned bits: square in
// unsigned arithmetic, then widen to 64 bits before adding.
uint64_t SquaredDifference(int16_t a, int16_t b) {
    const int32_t d = int32_t{a} - int32_t{b};
    const uint32_t magnitude = static_cast<uint32_t>(d < 0 ? -d : d);
    return uint64_t{magnitude * magnitude};
}

void SquaredErrorRowScalar(const PixelYC* a, const PixelYC* b, int width,
                           SquaredErrorTriple& sums) {
    for (int c = 0; c < width; ++c) {
        sums.y += SquaredDifference(a[c].y, b[c].y);
        sums.cb += SquaredDifference(a[c].cb, b[c].cb);
        sums.cr += SquaredDifference(a[c].cr, b[c].cr);
    }
}

// (-32768)^2 = 2^30: every product fits int32.
void AddSamplePair(MomentSums& sums, int32_t a, int32_t b) {
    sums.a += a;
    sums.b += b;
    sums.aa += a * a;
    sums.bb += b * b;
    sums.ab += a * b;
}

void MomentSumRowScalar(const PixelYC* a, const PixelYC* b, int width, MomentSumsTriple& sums) {
    for (int c = 0; c < width; ++c) {
        AddSamplePair(sums.y, a[c].y, b[c].y);
        AddSamplePair(sums.cb, a[c].cb, b[c].cb);
        AddSamplePair(sums.cr, a[c].cr, b[c].cr);
    }
}

constexpr RowKernels kScalarRowKernels{
    "scalar",
    SquaredErrorRowScalar,
    MomentSumRowScalar,
};

}  // namespace

const RowKernels& ScalarRowKernels() { return kScalarRowKernels; }

}  // namespace morvith
