// The fast VMAF kernels for avx2.

#include "x86/vmaf_kernels_x86.h"
#include "x86/vmaf_floats_avx2.h"
#include "x86/vmaf_kernels_simd.h"

namespace morvith {

const VmafKernels& Avx2VmafKernels() {
    static constexpr VmafKernels kernels = SimdVmafKernels<Avx2Floats>("avx2");
    return kernels;
}

}  // namespace morvith
