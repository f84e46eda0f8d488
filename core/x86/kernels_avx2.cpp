// The shared x86 kernels on 256-bit vectors. No FMA is involved: the kernels sum integers.

#include "x86/kernels_x86.h"
#include "x86/vector_avx2.h"
#include "x86/row_kernels_simd.h"

namespace morvith {

const RowKernels& Avx2RowKernels() {
    static constexpr RowKernels kernels = SimdRowKernels<Avx2Vectors>("avx2");
    return kernels;
}

}  // namespace morvith
