// The fast VMAF kernels for AVX: SSE2's 128-bit operations in AVX's encoding.

#include "x86/vmaf_kernels_x86.h"
#include "x86/vmaf_floats_sse2.h"
#include "x86/vmaf_kernels_simd.h"

namespace morvith {

const VmafKernels& AvxVmafKernels() {
    static constexpr VmafKernels kernels = SimdVmafKernels<Sse2Floats>("avx");
    return kernels;
}

}  // namespace morvith
