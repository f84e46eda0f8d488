#pragma once

// The inner loops of the measurement passes, one row at a time. The row loops (and
// their OpenMP teams) live in psnr.cpp and ssim.cpp; the kernels only add one row into
// the sums they are given, so a faster kernel can replace the scalar one unseen by the
// callers.

#include <cstdint>

#include "pixel.h"
#include "psnr.h"
#include "ssim.h"

namespace morvith {

// Pass one of SSIM: the channel sums of A and of B.
struct SampleSums {
    int64_t a_y = 0, a_cb = 0, a_cr = 0;
    int64_t b_y = 0, b_cb = 0, b_cr = 0;
};

// The means that pass two centres on, in the order of SampleSums.
struct SampleMeans {
    double a_y = 0, a_cb = 0, a_cr = 0;
    double b_y = 0, b_cb = 0, b_cr = 0;
};

// Pass two of SSIM: per channel the sums of dev_a^2, dev_b^2 and dev_a * dev_b.
struct CentredSums {
    double aa_y = 0, bb_y = 0, ab_y = 0;
    double aa_cb = 0, bb_cb = 0, ab_cb = 0;
    double aa_cr = 0, bb_cr = 0, ab_cr = 0;
};

struct RowKernels {
    const char* name;
    void (*squared_error_row)(const PixelYC* a, const PixelYC* b, int width,
                              SquaredErrorTriple& sums);
    void (*sample_sum_row)(const PixelYC* a, const PixelYC* b, int width, SampleSums& sums);
    void (*centred_moment_row)(const PixelYC* a, const PixelYC* b, int width,
                               const SampleMeans& means, CentredSums& sums);
};

// The literal scalar loops: the reference.
const RowKernels& ScalarRowKernels();

enum class KernelPath { Scalar, Sse2, Avx2 };

const char* KernelPathName(KernelPath path);

// Null when the path is not built into this module or the processor (or the system, for
// the YMM state) does not support it.
const RowKernels* RowKernelsFor(KernelPath path);

// The fastest supported path, found once from CPUID.
KernelPath BestSupportedPath();

// Tests and benchmarks pin the path that SumSquaredError and MeasureSsimMoments use
// (capped at what is supported); the plug-ins never call it.
void LimitKernelPath(KernelPath ceiling);
KernelPath ActiveKernelPath();
const RowKernels& ActiveRowKernels();

// The row loops with a given set of kernels.
SquaredErrorTriple SumSquaredErrorWith(const RowKernels& kernels, const PixelYC* first_a,
                                       const PixelYC* first_b, int width, int height,
                                       int pitch, bool parallel);
SsimMomentsTriple MeasureSsimMomentsWith(const RowKernels& kernels, const PixelYC* first_a,
                                         const PixelYC* first_b, int width, int height,
                                         int pitch, bool parallel);

}  // namespace morvith
