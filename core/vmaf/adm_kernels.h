#pragma once

// The inner loops of ADM, one row at a time: the scalar reference and the x86 paths, which
// must give the same bits. Floats where the wavelet and the angle test are defined in
// float32, doubles after them.

#include "pixel.h"
#include "row_kernels.h"
#include "vmaf/adm.h"

namespace morvith {

// Per orientation H, V, D of one level: the contrast sensitivity weight.
struct AdmWeights {
    double w[3];
};

struct AdmKernels {
    const char* name;
    // 16 + Y * 219 / 4096 - 128 of each Y, exact in float32 for every 16-bit Y.
    void (*convert_row)(const PixelYC* row, int width, float* out);
    // One output row of the wavelet's vertical pass, low and high, from the four input rows
    // its taps meet, in the taps' order.
    void (*vertical)(const float* const rows[4], int width, float* low, float* high);
    // count outputs of the horizontal pass from a row laid out with its mirrors:
    // padded[k] is the input at ext(k - 1), for k up to 2 * count + 2.
    void (*horizontal)(const float* padded, int count, float* low, float* high);
    // For each position of a band row, from the reference's and the distorted picture's
    // H, V, D coefficients: the weighted restored detail |cr| of each orientation and the
    // masking sum |ca_H| + |ca_V| + |ca_D|.
    void (*decouple)(const float* const reference[3], const float* const distorted[3], int count,
                     const AdmWeights& weights, double* const restored[3], double* masking);
    // The Minkowski sums of columns [first, end) of one band row: numerators of H, V, D
    // (restored detail less the threshold), then denominators (the weighted reference).
    // Masking rows are laid out with their mirrors: column j at index j + 1. Each sum keeps
    // four accumulators, column first + m into accumulator m % 4, added as (0 + 1) + (2 + 3).
    void (*pool)(const double* const masking[3], const double* const restored[3],
                 const float* const reference[3], int first, int end, const AdmWeights& weights,
                 double sums[6]);
};

const AdmKernels& ScalarAdmKernels();

// MeasureAdm2 with a given set of kernels.
double MeasureAdm2With(const AdmKernels& kernels, LumaPlane reference, LumaPlane distorted,
                       int width, int height, AdmWorkspace& workspace, RowTeam* team);

// Null when the path is not built in or not supported, as RowKernelsFor.
const AdmKernels* AdmKernelsFor(KernelPath path);

}  // namespace morvith
