// ADM's AVX kernels compiled for AVX2 processors. No FMA: a fused multiply-add would round
// differently from the other paths.

#include "x86/adm_avx.h"
#include "x86/adm_kernels_x86.h"

namespace morvith {

const AdmKernels& Avx2AdmKernels() {
    static constexpr AdmKernels kernels = SimdAdmKernels<AvxAdmVectors>("avx2");
    return kernels;
}

}  // namespace morvith
