#pragma once

// Four doubles to a vector, for the window values of windowed SSIM: AVX has them without
// AVX2. Include only from a file compiled with AVX.

#include <immintrin.h>

namespace morvith {
namespace {

struct AvxDoubles {
    using Vector = __m256d;
    static constexpr int kLanes = 4;

    // Four 32-bit lanes as four doubles at out, which is 32-byte aligned.
    static void StoreConverted(__m128i lanes, double* out) {
        _mm256_store_pd(out, _mm256_cvtepi32_pd(lanes));
    }

    static Vector Load(const double* values) { return _mm256_load_pd(values); }
    static void Store(double* values, Vector d) { _mm256_store_pd(values, d); }
    static Vector Of(double value) { return _mm256_set1_pd(value); }
    static Vector Add(Vector a, Vector b) { return _mm256_add_pd(a, b); }
    static Vector Subtract(Vector a, Vector b) { return _mm256_sub_pd(a, b); }
    static Vector Multiply(Vector a, Vector b) { return _mm256_mul_pd(a, b); }
    static Vector Divide(Vector a, Vector b) { return _mm256_div_pd(a, b); }
};

}  // namespace
}  // namespace morvith
