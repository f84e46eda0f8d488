#pragma once

// The row loops of VIF and motion, in float32 as the reference implementation's float path
// computes them: every product and sum rounded to float32 in the order given here, no
// fused multiply-add. The fast paths vectorise across columns and keep that order, so
// every path gives the same bits; the row sums are doubles added in eight lanes (position
// j into lane j % 8, left to right), the lanes then in order 0 .. 7.

#include "pixel.h"
#include "row_kernels.h"

namespace morvith {

inline constexpr int VMAF_SUM_LANES = 8;

struct VifRowSums {
    double num = 0;
    double den = 0;
};

// One row's local statistics: filtered R, D, R·R, D·D, R·D.
struct VifStatistics {
    float* mu1;
    float* mu2;
    float* rr;
    float* dd;
    float* rd;
};

struct VmafKernels {
    const char* name;
    // The working values 16 + Y·219/4096 - 128 of `width` samples (exact in float32).
    void (*working_row)(const PixelYC* row, int width, float* out);
    // out[j] = Σ taps[k]·rows[k][j], k ascending from 0, each product and sum rounded.
    void (*filter_vertical)(const float* const* rows, const float* taps, int taps_count,
                            int width, float* out);
    // The five filtered quantities of VIF; a product is formed from the two samples first.
    void (*vif_vertical)(const float* const* r_rows, const float* const* d_rows,
                         const float* taps, int taps_count, int width, VifStatistics out);
    // out[j] = Σ taps[k]·in[j + k]: `in` holds width + taps_count - 1 samples, the mirrored
    // border included.
    void (*filter_horizontal)(const float* in, const float* taps, int taps_count, int width,
                              float* out);
    // out[j] = Σ taps[k]·in[2j + k]: the next scale's filter across, at even columns only.
    void (*decimate_horizontal)(const float* in, const float* taps, int taps_count, int width,
                                float* out);
    // The per-position terms of a row of statistics (the filtered values, not yet centred),
    // added into the row's sums.
    VifRowSums (*vif_terms)(VifStatistics statistics, int width);
    // Σ |a[j] - b[j]|.
    double (*absolute_difference_row)(const float* a, const float* b, int width);
};

const VmafKernels& ScalarVmafKernels();
// Null where RowKernelsFor(path) is null.
const VmafKernels* VmafKernelsFor(KernelPath path);
const VmafKernels& ActiveVmafKernels();

// log2 of x >= 1 (a normal float) by the polynomial the reference implementation uses, in
// float32: the same bits on every path.
float VmafLog2(float x);

}  // namespace morvith
