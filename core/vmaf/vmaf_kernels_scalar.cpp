#include <cstdint>
#include <cstring>

#include "vmaf/vmaf_kernels.h"
#include "vmaf/vmaf_terms.h"

#if defined(MORVITH_X86_KERNELS)
#include "x86/vmaf_kernels_x86.h"
#endif

namespace morvith {
namespace {

void WorkingRow(const PixelYC* row, int width, float* out) {
    for (int j = 0; j < width; ++j) {
        out[j] = WorkingValue(row[j].y);
    }
}

void FilterVertical(const float* const* rows, const float* taps, int taps_count, int width,
                    float* out) {
    for (int j = 0; j < width; ++j) {
        float sum = 0;
        for (int k = 0; k < taps_count; ++k) sum += taps[k] * rows[k][j];
        out[j] = sum;
    }
}

void VifVertical(const float* const* r_rows, const float* const* d_rows, const float* taps,
                 int taps_count, int width, VifStatistics out) {
    for (int j = 0; j < width; ++j) {
        float mu1 = 0, mu2 = 0, rr = 0, dd = 0, rd = 0;
        for (int k = 0; k < taps_count; ++k) {
            const float r = r_rows[k][j];
            const float d = d_rows[k][j];
            const float w = taps[k];
            mu1 += w * r;
            mu2 += w * d;
            rr += w * (r * r);
            dd += w * (d * d);
            rd += w * (r * d);
        }
        out.mu1[j] = mu1;
        out.mu2[j] = mu2;
        out.rr[j] = rr;
        out.dd[j] = dd;
        out.rd[j] = rd;
    }
}

void FilterHorizontal(const float* in, const float* taps, int taps_count, int width, float* out) {
    for (int j = 0; j < width; ++j) {
        float sum = 0;
        for (int k = 0; k < taps_count; ++k) sum += taps[k] * in[j + k];
        out[j] = sum;
    }
}

void DecimateHorizontal(const float* in, const float* taps, int taps_count, int width,
                        float* out) {
    for (int j = 0; j < width; ++j) {
        float sum = 0;
        for (int k = 0; k < taps_count; ++k) sum += taps[k] * in[2 * j + k];
        out[j] = sum;
    }
}

double SumLanes(const double lanes[VMAF_SUM_LANES]) {
    double sum = 0;
    for (int lane = 0; lane < VMAF_SUM_LANES; ++lane) sum += lanes[lane];
    return sum;
}

VifRowSums VifTerms(VifStatistics s, int width) {
    double num[VMAF_SUM_LANES] = {};
    double den[VMAF_SUM_LANES] = {};
    for (int j = 0; j < width; ++j) {
        float n, d;
        VifTerm(s.mu1[j], s.mu2[j], s.rr[j], s.dd[j], s.rd[j], n, d);
        num[j % VMAF_SUM_LANES] += n;
        den[j % VMAF_SUM_LANES] += d;
    }
    return {SumLanes(num), SumLanes(den)};
}

double AbsoluteDifferenceRow(const float* a, const float* b, int width) {
    double lanes[VMAF_SUM_LANES] = {};
    for (int j = 0; j < width; ++j) {
        const float difference = a[j] - b[j];
        lanes[j % VMAF_SUM_LANES] += difference < 0 ? -difference : difference;
    }
    return SumLanes(lanes);
}

}  // namespace

float VmafLog2(float x) { return Log2Polynomial(x); }

const VmafKernels& ScalarVmafKernels() {
    static constexpr VmafKernels kernels = {
        "scalar",           WorkingRow, FilterVertical,       VifVertical,
        FilterHorizontal,   DecimateHorizontal, VifTerms,     AbsoluteDifferenceRow};
    return kernels;
}

const VmafKernels* VmafKernelsFor(KernelPath path) {
    // The row kernels' dispatcher knows which paths this processor and module support.
    if (RowKernelsFor(path) == nullptr) return nullptr;
    switch (path) {
#if defined(MORVITH_X86_KERNELS)
        // A processor with AVX but not AVX2 takes SSE2's: one more copy of these kernels
        // would not fit the modules.
        case KernelPath::Sse2:
        case KernelPath::Avx: return &Sse2VmafKernels();
#endif
#if defined(MORVITH_AVX2_KERNELS)
        case KernelPath::Avx2: return &Avx2VmafKernels();
#endif
        default: return &ScalarVmafKernels();
    }
}

const VmafKernels& ActiveVmafKernels() { return *VmafKernelsFor(ActiveKernelPath()); }

}  // namespace morvith
