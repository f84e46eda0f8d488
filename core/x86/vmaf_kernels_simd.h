#pragma once

// The fast VMAF kernels, written once against a float vector type F (vmaf_floats_sse2.h,
// vmaf_floats_avx2.h) and compiled once per instruction set. Each lane does what the
// scalar reference does at its column, operation for operation (no FMA is enabled), and
// the columns past the last whole vector go through the reference's own code, so every
// path gives the same bits. Internal linkage throughout, as in row_kernels_simd.h.

#include <emmintrin.h>

#include "vmaf/vmaf_kernels.h"
#include "vmaf/vmaf_terms.h"

namespace morvith {
namespace {

template <typename F>
struct VmafSimd {
    using V = typename F::Vector;
    static constexpr int N = F::kFloats;
    static constexpr int kParts = VMAF_SUM_LANES / N;

    // Eight samples at a time on 128-bit vectors (every step exact, as in WorkingValue): Y
    // in the low word of a lane whose high word meets the factor's 0, Y * 219 below 2^23.
    static void WorkingRow(const PixelYC* row, int width, float* out) {
        const __m128 scale = _mm_set1_ps(1.0f / 4096), offset = _mm_set1_ps(112.0f);
        const __m128i factor = _mm_set1_epi32(219);
        const auto values = [&](__m128i lanes) {
            return _mm_sub_ps(_mm_mul_ps(_mm_cvtepi32_ps(_mm_madd_epi16(lanes, factor)), scale),
                              offset);
        };
        int j = 0;
        for (; j + 8 <= width; j += 8) {
            const PixelYC* p = row + j;
            const __m128i y =
                _mm_setr_epi16(p[0].y, p[1].y, p[2].y, p[3].y, p[4].y, p[5].y, p[6].y, p[7].y);
            _mm_storeu_ps(out + j, values(_mm_unpacklo_epi16(y, y)));
            _mm_storeu_ps(out + j + 4, values(_mm_unpackhi_epi16(y, y)));
        }
        for (; j < width; ++j) out[j] = WorkingValue(row[j].y);
    }

    // The filters of the full-size rows with their tap count known (VIF's scale 0, motion's
    // blur), so that the loops over the taps unroll; the coarser scales, a third of the work
    // at most, take the general loop (K = 0), which keeps the module small.
    template <typename Call>
    static void WithTaps(int taps_count, const Call& call) {
        switch (taps_count) {
            case 17: call.template operator()<17>(); break;
            case 5: call.template operator()<5>(); break;
            default: call.template operator()<0>(); break;
        }
    }

    template <int K>
    static void FilterVerticalK(const float* const* rows, const float* taps, int taps_count,
                                int width, float* out) {
        const int count = K != 0 ? K : taps_count;
        int j = 0;
        for (; j + 4 * N <= width; j += 4 * N) {
            V sum[4] = {F::Of(0), F::Of(0), F::Of(0), F::Of(0)};
            for (int k = 0; k < count; ++k) {
                const V w = F::Of(taps[k]);
                for (int v = 0; v < 4; ++v) {
                    sum[v] = F::Add(sum[v], F::Multiply(w, F::Load(rows[k] + j + v * N)));
                }
            }
            for (int v = 0; v < 4; ++v) F::Store(out + j + v * N, sum[v]);
        }
        for (; j + N <= width; j += N) {
            V sum = F::Of(0);
            for (int k = 0; k < count; ++k) {
                sum = F::Add(sum, F::Multiply(F::Of(taps[k]), F::Load(rows[k] + j)));
            }
            F::Store(out + j, sum);
        }
        for (; j < width; ++j) {
            float sum = 0;
            for (int k = 0; k < taps_count; ++k) sum += taps[k] * rows[k][j];
            out[j] = sum;
        }
    }

    template <int K>
    static void VifVerticalK(const float* const* r_rows, const float* const* d_rows,
                             const float* taps, int taps_count, int width, VifStatistics out) {
        const int count = K != 0 ? K : taps_count;
        int j = 0;
        for (; j + N <= width; j += N) {
            V mu1 = F::Of(0), mu2 = F::Of(0), rr = F::Of(0), dd = F::Of(0), rd = F::Of(0);
            for (int k = 0; k < count; ++k) {
                const V r = F::Load(r_rows[k] + j);
                const V d = F::Load(d_rows[k] + j);
                const V w = F::Of(taps[k]);
                mu1 = F::Add(mu1, F::Multiply(w, r));
                mu2 = F::Add(mu2, F::Multiply(w, d));
                rr = F::Add(rr, F::Multiply(w, F::Multiply(r, r)));
                dd = F::Add(dd, F::Multiply(w, F::Multiply(d, d)));
                rd = F::Add(rd, F::Multiply(w, F::Multiply(r, d)));
            }
            F::Store(out.mu1 + j, mu1);
            F::Store(out.mu2 + j, mu2);
            F::Store(out.rr + j, rr);
            F::Store(out.dd + j, dd);
            F::Store(out.rd + j, rd);
        }
        for (; j < width; ++j) {
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

    template <int K>
    static void FilterHorizontalK(const float* in, const float* taps, int taps_count, int width,
                                  float* out) {
        const int count = K != 0 ? K : taps_count;
        int j = 0;
        // Four vectors at a time: four chains of additions to overlap, each in tap order.
        for (; j + 4 * N <= width; j += 4 * N) {
            V sum[4] = {F::Of(0), F::Of(0), F::Of(0), F::Of(0)};
            for (int k = 0; k < count; ++k) {
                const V w = F::Of(taps[k]);
                for (int v = 0; v < 4; ++v) {
                    sum[v] = F::Add(sum[v], F::Multiply(w, F::Load(in + j + v * N + k)));
                }
            }
            for (int v = 0; v < 4; ++v) F::Store(out + j + v * N, sum[v]);
        }
        for (; j + N <= width; j += N) {
            V sum = F::Of(0);
            for (int k = 0; k < count; ++k) {
                sum = F::Add(sum, F::Multiply(F::Of(taps[k]), F::Load(in + j + k)));
            }
            F::Store(out + j, sum);
        }
        for (; j < width; ++j) {
            float sum = 0;
            for (int k = 0; k < taps_count; ++k) sum += taps[k] * in[j + k];
            out[j] = sum;
        }
    }

    // A whole vector of outputs reads in[2j + k] up to one sample past the last one it
    // uses: 2 * width + taps_count - 1 samples, within the input's mirrored row.
    template <int K>
    static void DecimateHorizontalK(const float* in, const float* taps, int taps_count,
                                    int width, float* out) {
        const int count = K != 0 ? K : taps_count;
        int j = 0;
        for (; j + 2 * N <= width; j += 2 * N) {
            V sum[2] = {F::Of(0), F::Of(0)};
            for (int k = 0; k < count; ++k) {
                const V w = F::Of(taps[k]);
                for (int v = 0; v < 2; ++v) {
                    sum[v] = F::Add(sum[v], F::Multiply(w, F::LoadEven(in + 2 * (j + v * N) + k)));
                }
            }
            for (int v = 0; v < 2; ++v) F::Store(out + j + v * N, sum[v]);
        }
        for (; j + N <= width; j += N) {
            V sum = F::Of(0);
            for (int k = 0; k < count; ++k) {
                sum = F::Add(sum, F::Multiply(F::Of(taps[k]), F::LoadEven(in + 2 * j + k)));
            }
            F::Store(out + j, sum);
        }
        for (; j < width; ++j) {
            float sum = 0;
            for (int k = 0; k < taps_count; ++k) sum += taps[k] * in[2 * j + k];
            out[j] = sum;
        }
    }

    static void FilterVertical(const float* const* rows, const float* taps, int taps_count,
                               int width, float* out) {
        WithTaps(taps_count, [&]<int K>() { FilterVerticalK<K>(rows, taps, taps_count, width, out); });
    }
    static void VifVertical(const float* const* r_rows, const float* const* d_rows,
                            const float* taps, int taps_count, int width, VifStatistics out) {
        WithTaps(taps_count, [&]<int K>() {
            VifVerticalK<K>(r_rows, d_rows, taps, taps_count, width, out);
        });
    }
    static void FilterHorizontal(const float* in, const float* taps, int taps_count, int width,
                                 float* out) {
        WithTaps(taps_count, [&]<int K>() { FilterHorizontalK<K>(in, taps, taps_count, width, out); });
    }
    static void DecimateHorizontal(const float* in, const float* taps, int taps_count,
                                   int width, float* out) {
        DecimateHorizontalK<0>(in, taps, taps_count, width, out);
    }

    [[gnu::always_inline]] static V Log2(V x) {
        const V t = F::Subtract(F::Mantissa(x), F::Of(1.0f));
        V v = F::Of(LOG2_POLYNOMIAL[0]);
        for (int i = 1; i < 9; ++i) v = F::Add(F::Multiply(v, t), F::Of(LOG2_POLYNOMIAL[i]));
        return F::Add(F::Exponent(x), v);
    }

    // Both branches of VifTerm for every lane, then each lane's own. max(0, x) and
    // min(100, x) keep x when equal, as the reference's comparisons do.
    [[gnu::always_inline]] static void Terms(VifStatistics s, int j, V& num, V& den) {
        const V zero = F::Of(0.0f);
        const V epsilon = F::Of(VIF_EPSILON);
        const V mu1 = F::Load(s.mu1 + j);
        const V mu2 = F::Load(s.mu2 + j);
        const V sigma1_sq = F::Max(zero, F::Subtract(F::Load(s.rr + j), F::Multiply(mu1, mu1)));
        const V sigma2_sq = F::Max(zero, F::Subtract(F::Load(s.dd + j), F::Multiply(mu2, mu2)));
        const V sigma12 = F::Subtract(F::Load(s.rd + j), F::Multiply(mu1, mu2));

        const V low = F::Less(sigma1_sq, F::Of(2.0f));
        const V num_low =
            F::Subtract(F::Of(1.0f), F::Multiply(sigma2_sq, F::Of(VIF_LOW_VARIANCE_SCALE)));
        const V den_high = Log2(F::Add(F::Of(1.0f), F::Multiply(sigma1_sq, F::Of(0.5f))));
        V g = F::Divide(sigma12, F::Add(sigma1_sq, epsilon));
        const V sv_sq = F::Max(epsilon, F::Subtract(sigma2_sq, F::Multiply(g, sigma12)));
        g = F::Min(F::Of(100.0f), g);
        const V gain = F::Divide(F::Multiply(F::Multiply(g, g), sigma1_sq),
                                 F::Add(sv_sq, F::Of(2.0f)));
        const V no_gain = F::Or(F::LessOrEqual(sigma12, zero), F::Less(sigma2_sq, epsilon));
        const V num_high = F::AndNot(no_gain, Log2(F::Add(F::Of(1.0f), gain)));
        num = F::Select(low, num_low, num_high);
        den = F::Select(low, F::Of(1.0f), den_high);
    }

    static double SumLanes(const double lanes[VMAF_SUM_LANES]) {
        double sum = 0;
        for (int lane = 0; lane < VMAF_SUM_LANES; ++lane) sum += lanes[lane];
        return sum;
    }

    static VifRowSums VifTerms(VifStatistics s, int width) {
        typename F::Lanes num_lanes, den_lanes;
        int j = 0;
        // Two groups of lanes computed side by side (their log2 chains overlap), then added
        // in the order of their positions.
        for (; j + 2 * VMAF_SUM_LANES <= width; j += 2 * VMAF_SUM_LANES) {
            V num[2 * kParts], den[2 * kParts];
            for (int v = 0; v < 2 * kParts; ++v) Terms(s, j + v * N, num[v], den[v]);
            for (int v = 0; v < 2 * kParts; ++v) {
                F::Accumulate(num_lanes, num[v], v % kParts);
                F::Accumulate(den_lanes, den[v], v % kParts);
            }
        }
        for (; j + VMAF_SUM_LANES <= width; j += VMAF_SUM_LANES) {
            for (int part = 0; part < kParts; ++part) {
                V num, den;
                Terms(s, j + part * N, num, den);
                F::Accumulate(num_lanes, num, part);
                F::Accumulate(den_lanes, den, part);
            }
        }
        double num[VMAF_SUM_LANES], den[VMAF_SUM_LANES];
        F::StoreLanes(num_lanes, num);
        F::StoreLanes(den_lanes, den);
        for (; j < width; ++j) {
            float n, d;
            VifTerm(s.mu1[j], s.mu2[j], s.rr[j], s.dd[j], s.rd[j], n, d);
            num[j % VMAF_SUM_LANES] += n;
            den[j % VMAF_SUM_LANES] += d;
        }
        return {SumLanes(num), SumLanes(den)};
    }

    static double AbsoluteDifferenceRow(const float* a, const float* b, int width) {
        typename F::Lanes lanes_sum;
        int j = 0;
        for (; j + VMAF_SUM_LANES <= width; j += VMAF_SUM_LANES) {
            for (int part = 0; part < kParts; ++part) {
                const int at = j + part * N;
                const V difference = F::Subtract(F::Load(a + at), F::Load(b + at));
                F::Accumulate(lanes_sum, F::AndNot(F::Of(-0.0f), difference), part);
            }
        }
        double lanes[VMAF_SUM_LANES];
        F::StoreLanes(lanes_sum, lanes);
        for (; j < width; ++j) {
            const float difference = a[j] - b[j];
            lanes[j % VMAF_SUM_LANES] += difference < 0 ? -difference : difference;
        }
        return SumLanes(lanes);
    }
};

template <typename F>
constexpr VmafKernels SimdVmafKernels(const char* name) {
    using S = VmafSimd<F>;
    return {name,
            S::WorkingRow,
            S::FilterVertical,
            S::VifVertical,
            S::FilterHorizontal,
            S::DecimateHorizontal,
            S::VifTerms,
            S::AbsoluteDifferenceRow};
}

}  // namespace
}  // namespace morvith
