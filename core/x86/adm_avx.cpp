// ADM's kernels on 256-bit float and double vectors, which AVX has.

#include "x86/adm_avx.h"
#include "x86/adm_kernels_x86.h"

namespace morvith {

const AdmKernels& AvxAdmKernels() {
    static constexpr AdmKernels kernels = SimdAdmKernels<AvxAdmVectors>("avx");
    return kernels;
}

}  // namespace morvith
