// The literal loops of the passes, column by column in row order. They are the reference
// that every fast kernel is checked against, so they stay plain.

#include <cstddef>

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

void BlockSumRowScalar(const PixelYC* a, const PixelYC* b, int pitch, int first_block,
                       int end_block, BlockSumRow& row) {
    for (int i = first_block; i < end_block; ++i) {
        int64_t s[4][3] = {};  // [quantity][channel]
        for (int r = 0; r < 4; ++r) {
            const PixelYC* const row_a = a + static_cast<ptrdiff_t>(r) * pitch + 4 * i;
            const PixelYC* const row_b = b + static_cast<ptrdiff_t>(r) * pitch + 4 * i;
            for (int c = 0; c < 4; ++c) {
                const int32_t va[3] = {row_a[c].y, row_a[c].cb, row_a[c].cr};
                const int32_t vb[3] = {row_b[c].y, row_b[c].cb, row_b[c].cr};
                for (int ch = 0; ch < 3; ++ch) {
                    s[BLOCK_SUM_A][ch] += va[ch];
                    s[BLOCK_SUM_B][ch] += vb[ch];
                    s[BLOCK_SUM_SQUARES][ch] += int64_t{va[ch] * va[ch]} + vb[ch] * vb[ch];
                    s[BLOCK_SUM_PRODUCTS][ch] += va[ch] * vb[ch];
                }
            }
        }
        for (int q = 0; q < 4; ++q) {
            for (int ch = 0; ch < 3; ++ch) row.sums[i][q][ch] = static_cast<double>(s[q][ch]);
            row.sums[i][q][3] = 0.0;
        }
    }
}

// Quantity q of channel ch over the window of blocks i and i + 1 of both rows.
double WindowSum(const BlockSumRow& top, const BlockSumRow& bottom, int i, int q, int ch) {
    return (top.sums[i][q][ch] + top.sums[i + 1][q][ch]) +
           (bottom.sums[i][q][ch] + bottom.sums[i + 1][q][ch]);
}

void WindowRowScalar(const BlockSumRow& top, const BlockSumRow& bottom, int windows,
                     const WindowedSsimConstants& k, ChannelTriple<double>& row_sums) {
    double* const channel_sums[3] = {&row_sums.y, &row_sums.cb, &row_sums.cr};
    for (int ch = 0; ch < 3; ++ch) {
        // The variances and the covariance do not move with the chroma's shift; the means do.
        const double shift = ch == 0 ? 0.0 : 64.0 * CHROMA_FILE_OFFSET;
        double sum = *channel_sums[ch];
        for (int i = 0; i < windows; ++i) {
            const double s1 = WindowSum(top, bottom, i, BLOCK_SUM_A, ch);
            const double s2 = WindowSum(top, bottom, i, BLOCK_SUM_B, ch);
            const double ss = WindowSum(top, bottom, i, BLOCK_SUM_SQUARES, ch);
            const double s12 = WindowSum(top, bottom, i, BLOCK_SUM_PRODUCTS, ch);
            // Integers below 2^46 throughout, exact in doubles as in 64-bit integers: the
            // first rounding is where C1 and C2 are added.
            const double vars = 64.0 * ss - s1 * s1 - s2 * s2;
            const double covar = 64.0 * s12 - s1 * s2;
            const double m1 = s1 + shift;
            const double m2 = s2 + shift;
            sum += (2.0 * m1 * m2 + k.c1) * (2.0 * covar + k.c2) /
                   ((m1 * m1 + m2 * m2 + k.c1) * (vars + k.c2));
        }
        *channel_sums[ch] = sum;
    }
}

constexpr RowKernels kScalarRowKernels{
    "scalar",
    SquaredErrorRowScalar,
    MomentSumRowScalar,
    BlockSumRowScalar,
    WindowRowScalar,
};

}  // namespace

const RowKernels& ScalarRowKernels() { return kScalarRowKernels; }

}  // namespace morvith
