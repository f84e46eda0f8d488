#pragma once

// What the shared x86 kernels need of 128-bit vectors on processors with AVX but maybe
// without AVX2. Include only from a file compiled with AVX. The SSE2 operations compile
// to their three-operand forms, which need no register copies and read unaligned memory
// operands directly; SSE4.1, which every AVX processor has, checks and widens in fewer
// instructions.

#include <immintrin.h>

#include "x86/doubles_avx.h"
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

    using Doubles = AvxDoubles;
};

}  // namespace
}  // namespace morvith
