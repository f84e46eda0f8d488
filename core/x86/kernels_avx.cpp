// The shared x86 kernels on 128-bit vectors in AVX's encoding.

#include "x86/kernels_x86.h"
#include "x86/vector_avx.h"
#include "x86/row_kernels_simd.h"

namespace morvith {

const RowKernels& AvxRowKernels() {
    static constexpr RowKernels kernels = SimdRowKernels<AvxVectors>("avx");
    return kernels;
}

}  // namespace morvith
