#pragma once

// A plain streaming read of both rectangles with the row loop's own structure, 16 bytes
// at a time: the floor that any pass over the same samples is measured against.

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

#include "pixel.h"
#include "row_loop.h"

namespace morvith {

inline uint32_t ReadRow(const PixelYC* first_a, const PixelYC* first_b, int width, ptrdiff_t offset) {
    const int16_t* a = reinterpret_cast<const int16_t*>(first_a + offset);
    const int16_t* b = reinterpret_cast<const int16_t*>(first_b + offset);
    const ptrdiff_t words = ptrdiff_t{3} * width;
    ptrdiff_t w = 0;
    __m128i row = _mm_setzero_si128();
    for (; w + 8 <= words; w += 8) {
        row = _mm_xor_si128(row, _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + w)));
        row = _mm_xor_si128(row, _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + w)));
    }
    uint32_t rest = static_cast<uint32_t>(_mm_cvtsi128_si32(row));
    for (; w < words; ++w) rest ^= static_cast<uint16_t>(a[w] ^ b[w]);
    return rest;
}

struct ReadFold {
    uint32_t bits = 0;
};

inline void Accumulate(ReadFold& into, const ReadFold& from) { into.bits ^= from.bits; }

// Shared by the same team and in the same blocks as the passes, when there is one.
inline uint32_t ReadBoth(const PixelYC* first_a, const PixelYC* first_b, int width, int height,
                         int pitch, RowTeam* team) {
    return SumOverRows<ReadFold>(width, height, team, [&](int r, ReadFold& fold) {
        fold.bits ^= ReadRow(first_a, first_b, width, static_cast<ptrdiff_t>(r) * pitch);
    }).bits;
}

}  // namespace morvith
