// ADM's kernels on 128-bit vectors: four floats, two doubles.

#include <emmintrin.h>

#include "x86/adm_kernels_simd.h"
#include "x86/adm_kernels_x86.h"

namespace morvith {
namespace {

struct Sse2AdmVectors {
    using F = __m128;
    using D = __m128d;
    static constexpr int kFloats = 4;
    static constexpr int kDoubles = 2;

    static F LoadF(const float* p) { return _mm_loadu_ps(p); }
    static void StoreF(float* p, F x) { _mm_storeu_ps(p, x); }
    static F SetF(float x) { return _mm_set1_ps(x); }
    static F AddF(F a, F b) { return _mm_add_ps(a, b); }
    static F MulF(F a, F b) { return _mm_mul_ps(a, b); }
    // p[0], p[2], p[4], p[6] and p[1], p[3], p[5], p[7].
    static void LoadEvenOdd(const float* p, F& even, F& odd) {
        const F a = _mm_loadu_ps(p), b = _mm_loadu_ps(p + 4);
        even = _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0));
        odd = _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1));
    }

    static D LoadD(const double* p) { return _mm_loadu_pd(p); }
    static void StoreD(double* p, D x) { _mm_storeu_pd(p, x); }
    static D SetD(double x) { return _mm_set1_pd(x); }
    static D AddD(D a, D b) { return _mm_add_pd(a, b); }
    static D SubD(D a, D b) { return _mm_sub_pd(a, b); }
    static D MulD(D a, D b) { return _mm_mul_pd(a, b); }
    static D DivD(D a, D b) { return _mm_div_pd(a, b); }
    static D MinD(D a, D b) { return _mm_min_pd(a, b); }
    static D MaxD(D a, D b) { return _mm_max_pd(a, b); }
    static D AbsD(D a) { return _mm_andnot_pd(_mm_set1_pd(-0.0), a); }
    static D AndD(D mask, D a) { return _mm_and_pd(mask, a); }
    static D GreaterD(D a, D b) { return _mm_cmpgt_pd(a, b); }
    static D NotGreaterD(D a, D b) { return _mm_cmple_pd(a, b); }
    static D Select(D mask, D a, D b) { return _mm_or_pd(_mm_and_pd(mask, a), _mm_andnot_pd(mask, b)); }

    static __m128i LoadEightY(const PixelYC* p) {
        return _mm_setr_epi16(p[0].y, p[1].y, p[2].y, p[3].y, p[4].y, p[5].y, p[6].y, p[7].y);
    }

    static __m128 LoadTwoFloats(const float* p) {
        return _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
    }
    static D LoadFloatsD(const float* p) { return _mm_cvtps_pd(LoadTwoFloats(p)); }

    // The angle test of two positions in float32, as masks of doubles.
    static D AngleFlags(const float* o_h, const float* o_v, const float* t_h, const float* t_v) {
        const __m128 oh = LoadTwoFloats(o_h), ov = LoadTwoFloats(o_v);
        const __m128 th = LoadTwoFloats(t_h), tv = LoadTwoFloats(t_v);
        const __m128 dot = _mm_add_ps(_mm_mul_ps(oh, th), _mm_mul_ps(ov, tv));
        const __m128 o_mag = _mm_add_ps(_mm_mul_ps(oh, oh), _mm_mul_ps(ov, ov));
        const __m128 t_mag = _mm_add_ps(_mm_mul_ps(th, th), _mm_mul_ps(tv, tv));
        const __m128 flags = _mm_and_ps(
            _mm_cmpge_ps(dot, _mm_setzero_ps()),
            _mm_cmpge_ps(_mm_mul_ps(dot, dot),
                         _mm_mul_ps(_mm_mul_ps(_mm_set1_ps(ADM_COS2_ONE_DEGREE), o_mag), t_mag)));
        return _mm_castps_pd(_mm_unpacklo_ps(flags, flags));
    }
};

}  // namespace

const AdmKernels& Sse2AdmKernels() {
    static constexpr AdmKernels kernels = SimdAdmKernels<Sse2AdmVectors>("sse2");
    return kernels;
}

}  // namespace morvith
