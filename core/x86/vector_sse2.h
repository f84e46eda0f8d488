#pragma once

// What the shared x86 kernels need of 128-bit vectors. Include only from a file compiled
// with SSE2.

#include <emmintrin.h>

#include <cstdint>

namespace morvith {
namespace {

// Two doubles to a vector, for the window values of windowed SSIM.
struct Sse2Doubles {
    using Vector = __m128d;
    static constexpr int kLanes = 2;

    // Four 32-bit lanes as four doubles at out, which is 16-byte aligned.
    static void StoreConverted(__m128i lanes, double* out) {
        _mm_store_pd(out, _mm_cvtepi32_pd(lanes));
        _mm_store_pd(out + 2, _mm_cvtepi32_pd(_mm_unpackhi_epi64(lanes, lanes)));
    }

    static Vector Load(const double* values) { return _mm_load_pd(values); }
    static void Store(double* values, Vector d) { _mm_store_pd(values, d); }
    static Vector Of(double value) { return _mm_set1_pd(value); }
    static Vector Add(Vector a, Vector b) { return _mm_add_pd(a, b); }
    static Vector Subtract(Vector a, Vector b) { return _mm_sub_pd(a, b); }
    static Vector Multiply(Vector a, Vector b) { return _mm_mul_pd(a, b); }
    static Vector Divide(Vector a, Vector b) { return _mm_div_pd(a, b); }
};

struct Sse2Vectors {
    using Vector = __m128i;
    static constexpr int kWords = 8;  // int16 words
    static constexpr int kLanes = 4;  // 32-bit lanes

    static Vector Load(const int16_t* words) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(words));
    }
    static Vector Zero() { return _mm_setzero_si128(); }
    static Vector Words(int16_t value) { return _mm_set1_epi16(value); }
    static Vector SubtractSaturated(Vector a, Vector b) { return _mm_subs_epi16(a, b); }
    static Vector InterleaveLow(Vector a, Vector b) { return _mm_unpacklo_epi16(a, b); }
    static Vector InterleaveHigh(Vector a, Vector b) { return _mm_unpackhi_epi16(a, b); }
    static Vector MultiplyAdd(Vector a, Vector b) { return _mm_madd_epi16(a, b); }
    static Vector AddWords(Vector a, Vector b) { return _mm_add_epi16(a, b); }
    static Vector Add(Vector a, Vector b) { return _mm_add_epi32(a, b); }
    static Vector Or(Vector a, Vector b) { return _mm_or_si128(a, b); }

    // Every 32-bit lane, read unsigned, below 2^bits.
    static bool AllBelow(Vector lanes, int bits) {
        const Vector above = _mm_srl_epi32(lanes, _mm_cvtsi32_si128(bits));
        return _mm_movemask_epi8(_mm_cmpeq_epi32(above, Zero())) == 0xFFFF;
    }

    // Adds signed 32-bit lanes into 64-bit ones, lanes 0-1 into wide[0], 2-3 into wide[1].
    static void Widen(Vector lanes, Vector wide[2]) {
        const Vector sign = _mm_srai_epi32(lanes, 31);
        wide[0] = _mm_add_epi64(wide[0], _mm_unpacklo_epi32(lanes, sign));
        wide[1] = _mm_add_epi64(wide[1], _mm_unpackhi_epi32(lanes, sign));
    }
    static void StoreWide(const Vector wide[2], int64_t lanes[kLanes]) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), wide[0]);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes + 2), wide[1]);
    }

    // The channel of 32-bit lane `lane` of an interleaved vector whose lane 0 holds
    // channel `first`: lane m holds word m of the block's vector.
    static constexpr int LaneChannel(int first, int lane) { return (first + lane) % 3; }

    // The channel sums of one block in lanes 0 .. 2 (lane 3 is 0) from its 12 word
    // positions in three quarters, whose channels run 0 1 2 0, 1 2 0 1 and 2 0 1 2: each
    // adds its lane 3 into lane 0, the last two are turned to 0 1 2, and the three added.
    static __m128i BlockChannels(__m128i first, __m128i second, __m128i third) {
        const auto fold = [](__m128i q) { return _mm_add_epi32(q, _mm_srli_si128(q, 12)); };
        const __m128i sum = _mm_add_epi32(
            fold(first), _mm_add_epi32(_mm_shuffle_epi32(fold(second), _MM_SHUFFLE(3, 1, 0, 2)),
                                       _mm_shuffle_epi32(fold(third), _MM_SHUFFLE(3, 0, 2, 1))));
        return _mm_and_si128(sum, _mm_set_epi32(0, -1, -1, -1));
    }

    // One quantity of the two blocks of a group, from the low and high interleaves of its
    // three vectors (position sums, each interleave four positions in order), as doubles
    // into block[0][quantity] and block[1][quantity].
    template <typename Store>
    static void StoreBlockChannels(const Vector low[3], const Vector high[3], const Store& store) {
        store(0, BlockChannels(low[0], high[0], low[1]));
        store(1, BlockChannels(high[1], low[2], high[2]));
    }

    using Doubles = Sse2Doubles;
};

}  // namespace
}  // namespace morvith
