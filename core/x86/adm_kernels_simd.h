#pragma once

// ADM's kernels written once against a small set of float and double vectors, compiled per
// instruction set. Every lane does the scalar reference's operations in its order, and the
// columns a vector does not fill go through the reference's own terms, so every path gives
// the reference's bits. Include only from a file compiled with the vectors' instruction set.

#include <emmintrin.h>

#include "vmaf/adm_kernels.h"
#include "vmaf/adm_terms.h"

namespace morvith {
namespace {

// Eight samples at a time; every step is exact, as in AdmSampleValue.
template <typename V>
void AdmConvertRow(const PixelYC* row, int width, float* out) {
    int c = 0;
    const __m128 scale = _mm_set1_ps(0x1p-12f), offset = _mm_set1_ps(112.0f);
    const __m128i factor = _mm_set1_epi32(219);
    for (; c + 8 <= width; c += 8) {
        const __m128i y = V::LoadEightY(row + c);
        // Each Y in the low word of a 32-bit lane, whose high word meets a 0 of the factor:
        // Y * 219, signed, below 2^23 in magnitude.
        const __m128i low = _mm_unpacklo_epi16(y, y);
        const __m128i high = _mm_unpackhi_epi16(y, y);
        const auto value = [&](__m128i lanes) {
            const __m128i scaled = _mm_madd_epi16(lanes, factor);
            return _mm_sub_ps(_mm_mul_ps(_mm_cvtepi32_ps(scaled), scale), offset);
        };
        _mm_storeu_ps(out + c, value(low));
        _mm_storeu_ps(out + c + 4, value(high));
    }
    for (; c < width; ++c) out[c] = AdmSampleValue(row[c].y);
}

template <typename V>
typename V::F AdmTaps(const float taps[4], typename V::F x0, typename V::F x1, typename V::F x2,
                      typename V::F x3) {
    const auto product = [&](int m, typename V::F x) { return V::MulF(V::SetF(taps[m]), x); };
    return V::AddF(V::AddF(V::AddF(product(0, x0), product(1, x1)), product(2, x2)),
                   product(3, x3));
}

template <typename V>
void AdmVertical(const float* const rows[4], int width, float* low, float* high) {
    int c = 0;
    for (; c + V::kFloats <= width; c += V::kFloats) {
        const typename V::F x0 = V::LoadF(rows[0] + c), x1 = V::LoadF(rows[1] + c),
                            x2 = V::LoadF(rows[2] + c), x3 = V::LoadF(rows[3] + c);
        V::StoreF(low + c, AdmTaps<V>(ADM_LOW, x0, x1, x2, x3));
        V::StoreF(high + c, AdmTaps<V>(ADM_HIGH, x0, x1, x2, x3));
    }
    if (c < width) {
        const float* const rest[4] = {rows[0] + c, rows[1] + c, rows[2] + c, rows[3] + c};
        ScalarAdmKernels().vertical(rest, width - c, low + c, high + c);
    }
}

template <typename V>
void AdmHorizontal(const float* padded, int count, float* low, float* high) {
    int j = 0;
    // A vector reads 2 * kFloats + 2 inputs from 2j: within the padded row while
    // j + kFloats <= count.
    for (; j + V::kFloats <= count; j += V::kFloats) {
        typename V::F even, odd, next_even, next_odd;
        V::LoadEvenOdd(padded + 2 * j, even, odd);
        V::LoadEvenOdd(padded + 2 * j + 2, next_even, next_odd);
        V::StoreF(low + j, AdmTaps<V>(ADM_LOW, even, odd, next_even, next_odd));
        V::StoreF(high + j, AdmTaps<V>(ADM_HIGH, even, odd, next_even, next_odd));
    }
    if (j < count) ScalarAdmKernels().horizontal(padded + 2 * j, count - j, low + j, high + j);
}

// AdmRestored on lanes. o * t is exact: both are floats.
template <typename V>
typename V::D AdmRestoredLanes(typename V::D o, typename V::D t, typename V::D aligned) {
    using D = typename V::D;
    const D zero = V::SetD(0.0);
    const D same_sign = V::GreaterD(V::MulD(o, t), zero);
    const D r = V::Select(V::NotGreaterD(V::AbsD(t), V::AbsD(o)), t, o);
    const D gained = V::MulD(V::SetD(ADM_GAIN_LIMIT), r);
    const D enhanced = V::Select(V::GreaterD(r, zero), V::MinD(gained, t), V::MaxD(gained, t));
    return V::AndD(same_sign, V::Select(aligned, enhanced, r));
}

template <typename V>
void AdmDecouple(const float* const reference[3], const float* const distorted[3], int count,
                 const AdmWeights& weights, double* const restored[3], double* masking) {
    using D = typename V::D;
    int j = 0;
    for (; j + V::kDoubles <= count; j += V::kDoubles) {
        const D aligned = V::AngleFlags(reference[0] + j, reference[1] + j, distorted[0] + j,
                                        distorted[1] + j);
        D additive[3];
        for (int o = 0; o < 3; ++o) {
            const D t = V::LoadFloatsD(distorted[o] + j);
            const D r = AdmRestoredLanes<V>(V::LoadFloatsD(reference[o] + j), t, aligned);
            const D w = V::SetD(weights.w[o]);
            V::StoreD(restored[o] + j, V::MulD(w, V::AbsD(r)));
            additive[o] = V::MulD(w, V::AbsD(V::SubD(t, r)));
        }
        V::StoreD(masking + j, V::AddD(V::AddD(additive[0], additive[1]), additive[2]));
    }
    if (j < count) {
        const float* const reference_rest[3] = {reference[0] + j, reference[1] + j,
                                                reference[2] + j};
        const float* const distorted_rest[3] = {distorted[0] + j, distorted[1] + j,
                                                distorted[2] + j};
        double* const restored_rest[3] = {restored[0] + j, restored[1] + j, restored[2] + j};
        ScalarAdmKernels().decouple(reference_rest, distorted_rest, count - j, weights,
                                    restored_rest, masking + j);
    }
}

template <typename V>
void AdmPool(const double* const masking[3], const double* const restored[3],
             const float* const reference[3], int first, int end, const AdmWeights& weights,
             double sums[6]) {
    using D = typename V::D;
    // Four columns a step, column first + m into accumulator m % 4, as the reference.
    constexpr int kVectors = 4 / V::kDoubles;
    D partial[6][kVectors];
    for (auto& sum : partial) {
        for (D& lanes : sum) lanes = V::SetD(0.0);
    }
    const auto row3 = [](const double* row) {
        return V::AddD(V::AddD(V::LoadD(row), V::LoadD(row + 1)), V::LoadD(row + 2));
    };
    int j = first;
    for (; j + 4 <= end; j += 4) {
        for (int v = 0; v < kVectors; ++v) {
            const int at = j + v * V::kDoubles;
            const D threshold = V::DivD(
                V::AddD(V::AddD(V::AddD(row3(masking[0] + at), row3(masking[1] + at)),
                                row3(masking[2] + at)),
                        V::LoadD(masking[1] + at + 1)),
                V::SetD(30.0));
            for (int o = 0; o < 3; ++o) {
                const D x = V::MaxD(V::SubD(V::LoadD(restored[o] + at), threshold), V::SetD(0.0));
                partial[o][v] = V::AddD(partial[o][v], V::MulD(V::MulD(x, x), x));
                const D c =
                    V::MulD(V::SetD(weights.w[o]), V::AbsD(V::LoadFloatsD(reference[o] + at)));
                partial[3 + o][v] = V::AddD(partial[3 + o][v], V::MulD(V::MulD(c, c), c));
            }
        }
    }
    alignas(32) double lanes[6][4];
    for (int k = 0; k < 6; ++k) {
        for (int v = 0; v < kVectors; ++v) V::StoreD(lanes[k] + v * V::kDoubles, partial[k][v]);
    }
    for (; j < end; ++j) AdmPoolColumn(masking, restored, reference, j, weights.w, lanes, (j - first) % 4);
    for (int k = 0; k < 6; ++k) {
        sums[k] = (lanes[k][0] + lanes[k][1]) + (lanes[k][2] + lanes[k][3]);
    }
}

template <typename V>
constexpr AdmKernels SimdAdmKernels(const char* name) {
    return AdmKernels{name, AdmConvertRow<V>, AdmVertical<V>, AdmHorizontal<V>, AdmDecouple<V>,
                      AdmPool<V>};
}

}  // namespace
}  // namespace morvith
