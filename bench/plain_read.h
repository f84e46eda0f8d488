#pragma once

// A plain streaming read of both rectangles with the row loop's own structure, 16 bytes
// at a time: the floor that any pass over the same samples is measured against.

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

#include "pixel.h"

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

// Serial like the passes: outside the OpenMP runtime.
inline uint32_t ReadBoth(const PixelYC* first_a, const PixelYC* first_b, int width, int height,
                         int pitch, bool parallel) {
    uint32_t folded = 0;
    if (parallel) {
#pragma omp parallel for reduction(^ : folded)
        for (int r = 0; r < height; ++r)
            folded ^= ReadRow(first_a, first_b, width, static_cast<ptrdiff_t>(r) * pitch);
    } else {
        for (int r = 0; r < height; ++r)
            folded ^= ReadRow(first_a, first_b, width, static_cast<ptrdiff_t>(r) * pitch);
    }
    return folded;
}

}  // namespace morvith
