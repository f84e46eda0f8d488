// The fast VMAF kernels for sse2.

#include "x86/vmaf_kernels_x86.h"
#include "x86/vmaf_floats_sse2.h"
#include "x86/vmaf_kernels_simd.h"

namespace morvith {

const VmafKernels& Sse2VmafKernels() {
    static constexpr VmafKernels kernels = SimdVmafKernels<Sse2Floats>("sse2");
    return kernels;
}

}  // namespace morvith
