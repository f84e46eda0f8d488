#include <cmath>

#include "vmaf/adm_kernels.h"
#include "vmaf/adm_terms.h"

#if defined(MORVITH_X86_KERNELS)
#include "x86/adm_kernels_x86.h"
#endif

namespace morvith {
namespace {

void ConvertRow(const PixelYC* row, int width, float* out) {
    for (int c = 0; c < width; ++c) out[c] = AdmSampleValue(row[c].y);
}

void Vertical(const float* const rows[4], int width, float* low, float* high) {
    for (int c = 0; c < width; ++c) {
        const float x0 = rows[0][c], x1 = rows[1][c], x2 = rows[2][c], x3 = rows[3][c];
        low[c] = ((ADM_LOW[0] * x0 + ADM_LOW[1] * x1) + ADM_LOW[2] * x2) + ADM_LOW[3] * x3;
        high[c] = ((ADM_HIGH[0] * x0 + ADM_HIGH[1] * x1) + ADM_HIGH[2] * x2) + ADM_HIGH[3] * x3;
    }
}

void Horizontal(const float* padded, int count, float* low, float* high) {
    for (int j = 0; j < count; ++j) {
        const float* x = padded + 2 * j;
        low[j] = ((ADM_LOW[0] * x[0] + ADM_LOW[1] * x[1]) + ADM_LOW[2] * x[2]) + ADM_LOW[3] * x[3];
        high[j] =
            ((ADM_HIGH[0] * x[0] + ADM_HIGH[1] * x[1]) + ADM_HIGH[2] * x[2]) + ADM_HIGH[3] * x[3];
    }
}

void Decouple(const float* const reference[3], const float* const distorted[3], int count,
              const AdmWeights& weights, double* const restored[3], double* masking) {
    for (int j = 0; j < count; ++j) {
        const bool aligned = AdmAngleFlag(reference[0][j], reference[1][j], distorted[0][j],
                                          distorted[1][j]);
        double additive[3];
        for (int o = 0; o < 3; ++o) {
            const double t = distorted[o][j];
            const double r = AdmRestored(reference[o][j], t, aligned);
            restored[o][j] = weights.w[o] * std::fabs(r);
            additive[o] = weights.w[o] * std::fabs(t - r);
        }
        masking[j] = (additive[0] + additive[1]) + additive[2];
    }
}

void Pool(const double* const masking[3], const double* const restored[3],
          const float* const reference[3], int first, int end, const AdmWeights& weights,
          double sums[6]) {
    double partial[6][4] = {};
    for (int j = first; j < end; ++j) {
        AdmPoolColumn(masking, restored, reference, j, weights.w, partial, (j - first) % 4);
    }
    for (int k = 0; k < 6; ++k) {
        sums[k] = (partial[k][0] + partial[k][1]) + (partial[k][2] + partial[k][3]);
    }
}

}  // namespace

const AdmKernels& ScalarAdmKernels() {
    static constexpr AdmKernels kernels{"scalar", ConvertRow, Vertical, Horizontal, Decouple, Pool};
    return kernels;
}

const AdmKernels* AdmKernelsFor(KernelPath path) {
    // The row kernels' paths are the same processor checks.
    if (RowKernelsFor(path) == nullptr) return nullptr;
#if defined(MORVITH_X86_KERNELS)
    // A processor with AVX but not AVX2 takes SSE2's: one more copy of these kernels would
    // not fit the modules.
    if (path == KernelPath::Sse2 || path == KernelPath::Avx) return &Sse2AdmKernels();
#if defined(MORVITH_AVX2_KERNELS)
    if (path == KernelPath::Avx2) return &Avx2AdmKernels();
#endif
#endif
    return &ScalarAdmKernels();
}

}  // namespace morvith
