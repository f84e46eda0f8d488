#pragma once

// ADM's kernels on 256-bit vectors: eight floats, four doubles. AVX has them without
// AVX2; the AVX2 file compiles the same code for the processors that have it. Include only
// from a file compiled with AVX.

#include <immintrin.h>

#include "x86/adm_kernels_simd.h"

namespace morvith {
namespace {

struct AvxAdmVectors {
    using F = __m256;
    using D = __m256d;
    static constexpr int kFloats = 8;
    static constexpr int kDoubles = 4;

    static F LoadF(const float* p) { return _mm256_loadu_ps(p); }
    static void StoreF(float* p, F x) { _mm256_storeu_ps(p, x); }
    static F SetF(float x) { return _mm256_set1_ps(x); }
    static F AddF(F a, F b) { return _mm256_add_ps(a, b); }
    static F MulF(F a, F b) { return _mm256_mul_ps(a, b); }
    // p[0], p[2] .. p[14] and p[1], p[3] .. p[15]: the halves regrouped, then split.
    static void LoadEvenOdd(const float* p, F& even, F& odd) {
        const F a = _mm256_loadu_ps(p), b = _mm256_loadu_ps(p + 8);
        const F low = _mm256_permute2f128_ps(a, b, 0x20), high = _mm256_permute2f128_ps(a, b, 0x31);
        even = _mm256_shuffle_ps(low, high, _MM_SHUFFLE(2, 0, 2, 0));
        odd = _mm256_shuffle_ps(low, high, _MM_SHUFFLE(3, 1, 3, 1));
    }

    static D LoadD(const double* p) { return _mm256_loadu_pd(p); }
    static void StoreD(double* p, D x) { _mm256_storeu_pd(p, x); }
    static D SetD(double x) { return _mm256_set1_pd(x); }
    static D AddD(D a, D b) { return _mm256_add_pd(a, b); }
    static D SubD(D a, D b) { return _mm256_sub_pd(a, b); }
    static D MulD(D a, D b) { return _mm256_mul_pd(a, b); }
    static D DivD(D a, D b) { return _mm256_div_pd(a, b); }
    static D MinD(D a, D b) { return _mm256_min_pd(a, b); }
    static D MaxD(D a, D b) { return _mm256_max_pd(a, b); }
    static D AbsD(D a) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), a); }
    static D AndD(D mask, D a) { return _mm256_and_pd(mask, a); }
    static D GreaterD(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_GT_OQ); }
    static D NotGreaterD(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_LE_OQ); }
    // Masks of whole lanes, and-ed: GCC takes a blend apart lane by lane without AVX2.
    static D Select(D mask, D a, D b) {
        return _mm256_or_pd(_mm256_and_pd(mask, a), _mm256_andnot_pd(mask, b));
    }

    // The Y words of eight samples, picked from their 48 bytes by byte shuffles (SSSE3).
    static __m128i LoadEightY(const PixelYC* p) {
        const char* bytes = reinterpret_cast<const char*>(p);
        const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
        const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16));
        const __m128i third = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 32));
        return _mm_or_si128(
            _mm_or_si128(_mm_shuffle_epi8(first, _mm_setr_epi8(0, 1, 6, 7, 12, 13, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1)),
                         _mm_shuffle_epi8(second, _mm_setr_epi8(-1, -1, -1, -1, -1, -1, 2, 3, 8, 9, 14, 15, -1, -1, -1, -1))),
            _mm_shuffle_epi8(third, _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 4, 5, 10, 11)));
    }

    static D LoadFloatsD(const float* p) { return _mm256_cvtps_pd(_mm_loadu_ps(p)); }

    // The angle test of four positions in float32, as masks of doubles.
    static D AngleFlags(const float* o_h, const float* o_v, const float* t_h, const float* t_v) {
        const __m128 oh = _mm_loadu_ps(o_h), ov = _mm_loadu_ps(o_v);
        const __m128 th = _mm_loadu_ps(t_h), tv = _mm_loadu_ps(t_v);
        const __m128 dot = _mm_add_ps(_mm_mul_ps(oh, th), _mm_mul_ps(ov, tv));
        const __m128 o_mag = _mm_add_ps(_mm_mul_ps(oh, oh), _mm_mul_ps(ov, ov));
        const __m128 t_mag = _mm_add_ps(_mm_mul_ps(th, th), _mm_mul_ps(tv, tv));
        const __m128 flags = _mm_and_ps(
            _mm_cmp_ps(dot, _mm_setzero_ps(), _CMP_GE_OQ),
            _mm_cmp_ps(_mm_mul_ps(dot, dot),
                       _mm_mul_ps(_mm_mul_ps(_mm_set1_ps(ADM_COS2_ONE_DEGREE), o_mag), t_mag),
                       _CMP_GE_OQ));
        return _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_castps_pd(_mm_unpacklo_ps(flags, flags))),
                                    _mm_castps_pd(_mm_unpackhi_ps(flags, flags)), 1);
    }
};

}  // namespace
}  // namespace morvith
