#pragma once

// ADM's x86 kernels, each set in a file of its own compiled with that instruction set.

#include "vmaf/adm_kernels.h"

namespace morvith {

const AdmKernels& Sse2AdmKernels();
const AdmKernels& Avx2AdmKernels();

}  // namespace morvith
