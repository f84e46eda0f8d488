#pragma once

// Eight floats to a vector for the VMAF kernels. Include only from a file compiled with
// AVX2 (and without FMA).

#include <immintrin.h>

#include <cstdint>

namespace morvith {
namespace {

struct Avx2Floats {
    using Vector = __m256;
    using Integers = __m256i;
    static constexpr int kFloats = 8;

    static Vector Load(const float* p) { return _mm256_loadu_ps(p); }
    static void Store(float* p, Vector v) { _mm256_storeu_ps(p, v); }
    static Vector Of(float value) { return _mm256_set1_ps(value); }
    static Vector Add(Vector a, Vector b) { return _mm256_add_ps(a, b); }
    static Vector Subtract(Vector a, Vector b) { return _mm256_sub_ps(a, b); }
    static Vector Multiply(Vector a, Vector b) { return _mm256_mul_ps(a, b); }
    static Vector Divide(Vector a, Vector b) { return _mm256_div_ps(a, b); }
    static Vector Max(Vector a, Vector b) { return _mm256_max_ps(a, b); }
    static Vector Min(Vector a, Vector b) { return _mm256_min_ps(a, b); }
    static Vector Less(Vector a, Vector b) { return _mm256_cmp_ps(a, b, _CMP_LT_OQ); }
    static Vector LessOrEqual(Vector a, Vector b) { return _mm256_cmp_ps(a, b, _CMP_LE_OQ); }
    static Vector Or(Vector a, Vector b) { return _mm256_or_ps(a, b); }
    static Vector AndNot(Vector mask, Vector v) { return _mm256_andnot_ps(mask, v); }
    static Vector Select(Vector mask, Vector if_set, Vector otherwise) {
        return _mm256_blendv_ps(otherwise, if_set, mask);
    }

    static Vector Exponent(Vector x) {
        const Integers biased = _mm256_srli_epi32(_mm256_castps_si256(x), 23);
        return _mm256_cvtepi32_ps(_mm256_sub_epi32(biased, _mm256_set1_epi32(127)));
    }
    static Vector Mantissa(Vector x) {
        const Integers bits =
            _mm256_and_si256(_mm256_castps_si256(x), _mm256_set1_epi32(0x7FFFFF));
        return _mm256_castsi256_ps(_mm256_or_si256(bits, _mm256_set1_epi32(0x3F800000)));
    }

    static Vector LoadEven(const float* p) {
        // Within each 128-bit half: the evens of the first vector, then of the second.
        const Vector mixed =
            _mm256_shuffle_ps(_mm256_loadu_ps(p), _mm256_loadu_ps(p + 8), _MM_SHUFFLE(2, 0, 2, 0));
        return _mm256_castpd_ps(
            _mm256_permute4x64_pd(_mm256_castps_pd(mixed), _MM_SHUFFLE(3, 1, 2, 0)));
    }

    struct Lanes {
        __m256d sums[2] = {_mm256_setzero_pd(), _mm256_setzero_pd()};
    };
    static void Accumulate(Lanes& lanes, Vector v, int) {
        lanes.sums[0] = _mm256_add_pd(lanes.sums[0], _mm256_cvtps_pd(_mm256_castps256_ps128(v)));
        lanes.sums[1] = _mm256_add_pd(lanes.sums[1], _mm256_cvtps_pd(_mm256_extractf128_ps(v, 1)));
    }
    static void StoreLanes(const Lanes& lanes, double out[8]) {
        _mm256_storeu_pd(out, lanes.sums[0]);
        _mm256_storeu_pd(out + 4, lanes.sums[1]);
    }
};

}  // namespace
}  // namespace morvith
