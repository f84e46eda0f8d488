#pragma once

// What the shared x86 kernels need of 128-bit vectors on processors with AVX but maybe
// without AVX2. Include only from a file compiled with AVX. The SSE2 operations compile
// to their three-operand forms, which need no register copies and read unaligned memory
// operands directly; SSE4.1, which every AVX processor has, checks and widens in fewer
// instructions.

#include <immintrin.h>

#include "x86/vector_sse2.h"

namespace morvith {
namespace {

struct AvxVectors : Sse2Vectors {
    static bool AllBelow(Vector lanes, int bits) {
        return _mm_testz_si128(lanes, _mm_set1_epi32(static_cast<int>(~0u << bits))) != 0;
    }

    static void Widen(Vector lanes, Vector wide[2]) {
        wide[0] = _mm_add_epi64(wide[0], _mm_cvtepi32_epi64(lanes));
        wide[1] = _mm_add_epi64(wide[1], _mm_cvtepi32_epi64(_mm_unpackhi_epi64(lanes, lanes)));
    }

    // Doubles take AVX's full width, which needs no AVX2.
    static void StoreAsDoubles(__m128i lanes, double* out) {
        _mm256_store_pd(out, _mm256_cvtepi32_pd(lanes));
    }

    using Doubles = __m256d;
    static constexpr int kDoubles = 4;
    static Doubles LoadDoubles(const double* values) { return _mm256_load_pd(values); }
    static void StoreDoubles(double* values, Doubles d) { _mm256_store_pd(values, d); }
    static Doubles DoublesOf(double value) { return _mm256_set1_pd(value); }
    static Doubles Add(Doubles a, Doubles b) { return _mm256_add_pd(a, b); }
    static Doubles Subtract(Doubles a, Doubles b) { return _mm256_sub_pd(a, b); }
    static Doubles Multiply(Doubles a, Doubles b) { return _mm256_mul_pd(a, b); }
    static Doubles Divide(Doubles a, Doubles b) { return _mm256_div_pd(a, b); }
    using Sse2Vectors::Add;
};

}  // namespace
}  // namespace morvith
