// The shared x86 kernels on 128-bit vectors.

#include "x86/kernels_x86.h"
#include "x86/vector_sse2.h"
#include "x86/row_kernels_simd.h"

namespace morvith {

const RowKernels& Sse2RowKernels() {
    static constexpr RowKernels kernels = SimdRowKernels<Sse2Vectors>("sse2");
    return kernels;
}

}  // namespace morvith
