// The literal loops of the three passes, column by column in row order. They are the
// reference that every fast kernel is checked against, so they stay plain.

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

void SampleSumRowScalar(const PixelYC* a, const PixelYC* b, int width, SampleSums& sums) {
    for (int c = 0; c < width; ++c) {
        sums.a_y += a[c].y;
        sums.a_cb += a[c].cb;
        sums.a_cr += a[c].cr;
        sums.b_y += b[c].y;
        sums.b_cb += b[c].cb;
        sums.b_cr += b[c].cr;
    }
}

void CentredMomentRowScalar(const PixelYC* a, const PixelYC* b, int width,
                            const SampleMeans& means, CentredSums& sums) {
    for (int c = 0; c < width; ++c) {
        const double dev_a_y = static_cast<double>(a[c].y) - means.a_y;
        const double dev_b_y = static_cast<double>(b[c].y) - means.b_y;
        sums.aa_y += dev_a_y * dev_a_y;
        sums.bb_y += dev_b_y * dev_b_y;
        sums.ab_y += dev_a_y * dev_b_y;

        const double dev_a_cb = static_cast<double>(a[c].cb) - means.a_cb;
        const double dev_b_cb = static_cast<double>(b[c].cb) - means.b_cb;
        sums.aa_cb += dev_a_cb * dev_a_cb;
        sums.bb_cb += dev_b_cb * dev_b_cb;
        sums.ab_cb += dev_a_cb * dev_b_cb;

        const double dev_a_cr = static_cast<double>(a[c].cr) - means.a_cr;
        const double dev_b_cr = static_cast<double>(b[c].cr) - means.b_cr;
        sums.aa_cr += dev_a_cr * dev_a_cr;
        sums.bb_cr += dev_b_cr * dev_b_cr;
        sums.ab_cr += dev_a_cr * dev_b_cr;
    }
}

constexpr RowKernels kScalarRowKernels{
    "scalar",
    SquaredErrorRowScalar,
    SampleSumRowScalar,
    CentredMomentRowScalar,
};

}  // namespace

const RowKernels& ScalarRowKernels() { return kScalarRowKernels; }

}  // namespace morvith
