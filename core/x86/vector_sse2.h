#pragma once

// What the shared x86 kernels need of 128-bit vectors. Include only from a file compiled
// with SSE2.

#include <emmintrin.h>

#include <cstdint>

namespace morvith {
namespace {

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
};

}  // namespace
}  // namespace morvith
