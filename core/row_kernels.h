#pragma once

// The inner loops of the measurement passes, one row at a time. The row loops (and
// their teams) live in psnr.cpp and ssim.cpp; the kernels only add one row into
// the sums they are given, so a faster kernel can replace the scalar one unseen by the
// callers.

#include <cstdint>

#include "pixel.h"
#include "psnr.h"
#include "ssim.h"
#include "windowed_ssim.h"

namespace morvith {

// What SSIM needs of one channel: exact sums of the samples of A and of B, of their
// squares and of their products. |a|, |b| <= 2^15, so every product is within 2^30 and a
// rectangle of N < 2^32 samples keeps every sum below 2^62.
struct MomentSums {
    int64_t a = 0, b = 0;
    int64_t aa = 0, bb = 0, ab = 0;

    friend bool operator==(const MomentSums&, const MomentSums&) = default;
};

using MomentSumsTriple = ChannelTriple<MomentSums>;

struct RowKernels {
    const char* name;
    void (*squared_error_row)(const PixelYC* a, const PixelYC* b, int width,
                              SquaredErrorTriple& sums);
    void (*moment_sum_row)(const PixelYC* a, const PixelYC* b, int width,
                           MomentSumsTriple& sums);
    // The sums of blocks first_block .. end_block - 1 (at most MAX_PIECE_BLOCKS) of a row
    // of 4 x 4 blocks side by side, block 0 with its top-left sample at a (and b), rows
    // pitch apart.
    void (*block_sum_row)(const PixelYC* a, const PixelYC* b, int pitch, int first_block,
                          int end_block, BlockSumRow& sums);
    // The values of windows 0 .. windows - 1 over two block rows, each channel's added left
    // to right into its row sum.
    void (*window_row)(const BlockSumRow& top, const BlockSumRow& bottom, int windows,
                       const WindowedSsimConstants& constants, ChannelTriple<double>& row_sums);
};

// The literal scalar loops: the reference.
const RowKernels& ScalarRowKernels();

// In order of preference: a processor that has a path has every path before it.
enum class KernelPath { Scalar, Sse2, Avx, Avx2 };

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
                                       int pitch, RowTeam* team);
MomentSumsTriple SumMomentsWith(const RowKernels& kernels, const PixelYC* first_a,
                                const PixelYC* first_b, int width, int height, int pitch,
                                RowTeam* team);
SsimMomentsTriple MeasureSsimMomentsWith(const RowKernels& kernels, const PixelYC* first_a,
                                         const PixelYC* first_b, int width, int height,
                                         int pitch, RowTeam* team);
ChannelTriple<double> MeasureWindowedSsimWith(const RowKernels& kernels, const PixelYC* first_a,
                                              const PixelYC* first_b, int width, int height,
                                              int pitch, int peak, RowTeam* team);

}  // namespace morvith
