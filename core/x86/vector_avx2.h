#pragma once

// What the shared x86 kernels need of 256-bit vectors. Include only from a file compiled
// with AVX2.

#include <immintrin.h>

#include <cstdint>

#include "x86/doubles_avx.h"

namespace morvith {
namespace {

struct Avx2Vectors {
    using Vector = __m256i;
    static constexpr int kWords = 16;  // int16 words
    static constexpr int kLanes = 8;   // 32-bit lanes

    static Vector Load(const int16_t* words) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(words));
    }
    static Vector Zero() { return _mm256_setzero_si256(); }
    static Vector Words(int16_t value) { return _mm256_set1_epi16(value); }
    static Vector SubtractSaturated(Vector a, Vector b) { return _mm256_subs_epi16(a, b); }
    static Vector InterleaveLow(Vector a, Vector b) { return _mm256_unpacklo_epi16(a, b); }
    static Vector InterleaveHigh(Vector a, Vector b) { return _mm256_unpackhi_epi16(a, b); }
    static Vector MultiplyAdd(Vector a, Vector b) { return _mm256_madd_epi16(a, b); }
    static Vector AddWords(Vector a, Vector b) { return _mm256_add_epi16(a, b); }
    static Vector Add(Vector a, Vector b) { return _mm256_add_epi32(a, b); }
    static Vector Or(Vector a, Vector b) { return _mm256_or_si256(a, b); }

    // Every 32-bit lane, read unsigned, below 2^bits.
    static bool AllBelow(Vector lanes, int bits) {
        const Vector above = _mm256_srl_epi32(lanes, _mm_cvtsi32_si128(bits));
        return _mm256_movemask_epi8(_mm256_cmpeq_epi32(above, Zero())) == -1;
    }

    // Adds signed 32-bit lanes into 64-bit ones, lanes 0-3 into wide[0], 4-7 into wide[1].
    static void Widen(Vector lanes, Vector wide[2]) {
        wide[0] = _mm256_add_epi64(wide[0], _mm256_cvtepi32_epi64(_mm256_castsi256_si128(lanes)));
        wide[1] = _mm256_add_epi64(wide[1],
                                   _mm256_cvtepi32_epi64(_mm256_extracti128_si256(lanes, 1)));
    }
    static void StoreWide(const Vector wide[2], int64_t lanes[kLanes]) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(lanes), wide[0]);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(lanes + 4), wide[1]);
    }

    // The channel of 32-bit lane `lane` of an interleaved vector whose lane 0 holds
    // channel `first`. Interleaving works within each 128-bit half, so lanes 4-7 hold the
    // words 8 further on, not 4: one channel more.
    static constexpr int LaneChannel(int first, int lane) {
        return (first + lane + (lane >= 4 ? 1 : 0)) % 3;
    }

    // One quantity of the four blocks of a group, from the low and high interleaves of its
    // three vectors, whose 128-bit halves hold the position quarters Q0 | Q2 and Q1 | Q3 of
    // vector 0, Q4 | Q6 and Q5 | Q7 of vector 1, Q8 | Q10 and Q9 | Q11 of vector 2. Blocks 0
    // and 2 (Q0-Q2, Q6-Q8) share one vector's halves, blocks 1 and 3 (Q3-Q5, Q9-Q11)
    // another, and fold as 128-bit blocks do (vector_sse2.h), per half.
    template <typename Store>
    static void StoreBlockChannels(const Vector low[3], const Vector high[3], const Store& store) {
        const Vector even[3] = {_mm256_blend_epi32(low[0], low[1], 0xF0),
                                _mm256_blend_epi32(high[0], high[1], 0xF0),
                                _mm256_permute2x128_si256(low[0], low[2], 0x21)};
        const Vector odd[3] = {_mm256_permute2x128_si256(high[0], high[2], 0x21),
                               _mm256_blend_epi32(low[1], low[2], 0xF0),
                               _mm256_blend_epi32(high[1], high[2], 0xF0)};
        const Vector both_even = BlockChannels(even[0], even[1], even[2]);
        const Vector both_odd = BlockChannels(odd[0], odd[1], odd[2]);
        store(0, _mm256_castsi256_si128(both_even));
        store(1, _mm256_castsi256_si128(both_odd));
        store(2, _mm256_extracti128_si256(both_even, 1));
        store(3, _mm256_extracti128_si256(both_odd, 1));
    }

    static Vector BlockChannels(Vector first, Vector second, Vector third) {
        const auto fold = [](Vector q) { return _mm256_add_epi32(q, _mm256_srli_si256(q, 12)); };
        const Vector sum = _mm256_add_epi32(
            fold(first),
            _mm256_add_epi32(_mm256_shuffle_epi32(fold(second), _MM_SHUFFLE(3, 1, 0, 2)),
                             _mm256_shuffle_epi32(fold(third), _MM_SHUFFLE(3, 0, 2, 1))));
        return _mm256_and_si256(sum, _mm256_set_epi32(0, -1, -1, -1, 0, -1, -1, -1));
    }

    using Doubles = AvxDoubles;
};

}  // namespace
}  // namespace morvith
