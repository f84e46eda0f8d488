#pragma once

// Four floats to a vector for the VMAF kernels: SSE2, or the same operations in AVX's
// encoding when the including file is compiled with AVX.

#include <emmintrin.h>

#include <cstdint>

namespace morvith {
namespace {

struct Sse2Floats {
    using Vector = __m128;
    using Integers = __m128i;
    static constexpr int kFloats = 4;

    static Vector Load(const float* p) { return _mm_loadu_ps(p); }
    static void Store(float* p, Vector v) { _mm_storeu_ps(p, v); }
    static Vector Of(float value) { return _mm_set1_ps(value); }
    static Vector Add(Vector a, Vector b) { return _mm_add_ps(a, b); }
    static Vector Subtract(Vector a, Vector b) { return _mm_sub_ps(a, b); }
    static Vector Multiply(Vector a, Vector b) { return _mm_mul_ps(a, b); }
    static Vector Divide(Vector a, Vector b) { return _mm_div_ps(a, b); }
    static Vector Max(Vector a, Vector b) { return _mm_max_ps(a, b); }
    static Vector Min(Vector a, Vector b) { return _mm_min_ps(a, b); }
    static Vector Less(Vector a, Vector b) { return _mm_cmplt_ps(a, b); }
    static Vector LessOrEqual(Vector a, Vector b) { return _mm_cmple_ps(a, b); }
    static Vector Or(Vector a, Vector b) { return _mm_or_ps(a, b); }
    static Vector AndNot(Vector mask, Vector v) { return _mm_andnot_ps(mask, v); }
    static Vector Select(Vector mask, Vector if_set, Vector otherwise) {
        return _mm_or_ps(_mm_and_ps(mask, if_set), _mm_andnot_ps(mask, otherwise));
    }

    // The exponent and the mantissa in [1, 2) of positive normal floats.
    static Vector Exponent(Vector x) {
        const Integers biased = _mm_srli_epi32(_mm_castps_si128(x), 23);
        return _mm_cvtepi32_ps(_mm_sub_epi32(biased, _mm_set1_epi32(127)));
    }
    static Vector Mantissa(Vector x) {
        const Integers bits = _mm_and_si128(_mm_castps_si128(x), _mm_set1_epi32(0x7FFFFF));
        return _mm_castsi128_ps(_mm_or_si128(bits, _mm_set1_epi32(0x3F800000)));
    }

    // p[0], p[2], ... p[2 * kFloats - 2].
    static Vector LoadEven(const float* p) {
        return _mm_shuffle_ps(_mm_loadu_ps(p), _mm_loadu_ps(p + 4), _MM_SHUFFLE(2, 0, 2, 0));
    }

    // Eight double lanes; `part` says which four positions of the eight a vector holds.
    struct Lanes {
        __m128d sums[4] = {_mm_setzero_pd(), _mm_setzero_pd(), _mm_setzero_pd(),
                           _mm_setzero_pd()};
    };
    static void Accumulate(Lanes& lanes, Vector v, int part) {
        lanes.sums[2 * part] = _mm_add_pd(lanes.sums[2 * part], _mm_cvtps_pd(v));
        lanes.sums[2 * part + 1] =
            _mm_add_pd(lanes.sums[2 * part + 1], _mm_cvtps_pd(_mm_movehl_ps(v, v)));
    }
    static void StoreLanes(const Lanes& lanes, double out[8]) {
        for (int i = 0; i < 4; ++i) _mm_storeu_pd(out + 2 * i, lanes.sums[i]);
    }
};

}  // namespace
}  // namespace morvith
