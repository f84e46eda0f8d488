#include <cstdint>
#include <cstring>

#include "vmaf/vmaf_kernels.h"

namespace morvith {
namespace {

// Highest power first; the constant term is 0.
constexpr float LOG2_POLYNOMIAL[9] = {
    -0.012671635276421f, 0.064841182402670f, -0.157048836463065f,
    0.257167726303123f,  -0.353800560300520f, 0.480131410397451f,
    -0.721314327952201f, 1.442694803896991f,  0.0f};

void WorkingRow(const PixelYC* row, int width, float* out) {
    for (int j = 0; j < width; ++j) {
        out[j] = static_cast<float>(row[j].y * 219) * (1.0f / 4096) - 112.0f;
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

double SumLanes(const double lanes[VMAF_SUM_LANES]) {
    double sum = 0;
    for (int lane = 0; lane < VMAF_SUM_LANES; ++lane) sum += lanes[lane];
    return sum;
}

VifRowSums VifTerms(VifStatistics s, int width) {
    double num[VMAF_SUM_LANES] = {};
    double den[VMAF_SUM_LANES] = {};
    for (int j = 0; j < width; ++j) {
        const float eps = 1e-10f;
        const float mu1 = s.mu1[j];
        const float mu2 = s.mu2[j];
        float sigma1_sq = s.rr[j] - mu1 * mu1;
        float sigma2_sq = s.dd[j] - mu2 * mu2;
        const float sigma12 = s.rd[j] - mu1 * mu2;
        sigma1_sq = sigma1_sq < 0 ? 0.0f : sigma1_sq;
        sigma2_sq = sigma2_sq < 0 ? 0.0f : sigma2_sq;
        float n, d;
        if (sigma1_sq < 2.0f) {
            n = 1.0f - sigma2_sq * (4.0f / 65025.0f);
            d = 1.0f;
        } else {
            d = VmafLog2(1.0f + sigma1_sq * 0.5f);
            if (sigma12 <= 0 || sigma2_sq < eps) {
                n = 0;
            } else {
                float g = sigma12 / (sigma1_sq + eps);
                float sv_sq = sigma2_sq - g * sigma12;
                sv_sq = sv_sq < eps ? eps : sv_sq;
                g = g > 100.0f ? 100.0f : g;
                n = VmafLog2(1.0f + (g * g * sigma1_sq) / (sv_sq + 2.0f));
            }
        }
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

float VmafLog2(float x) {
    uint32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    const int exponent = static_cast<int>(bits >> 23) - 127;
    const uint32_t mantissa_bits = (bits & 0x7FFFFFu) | 0x3F800000u;
    float mantissa;
    std::memcpy(&mantissa, &mantissa_bits, sizeof mantissa);
    const float t = mantissa - 1.0f;
    float v = LOG2_POLYNOMIAL[0];
    for (int i = 1; i < 9; ++i) v = v * t + LOG2_POLYNOMIAL[i];
    return static_cast<float>(exponent) + v;
}

const VmafKernels& ScalarVmafKernels() {
    static constexpr VmafKernels kernels = {"scalar",         WorkingRow, FilterVertical,
                                            VifVertical,      FilterHorizontal, VifTerms,
                                            AbsoluteDifferenceRow};
    return kernels;
}

const VmafKernels* VmafKernelsFor(KernelPath path) {
    if (RowKernelsFor(path) == nullptr) return nullptr;
    // The fast paths come in with their kernels; until then each runs the reference.
    return &ScalarVmafKernels();
}

const VmafKernels& ActiveVmafKernels() { return *VmafKernelsFor(ActiveKernelPath()); }

}  // namespace morvith
