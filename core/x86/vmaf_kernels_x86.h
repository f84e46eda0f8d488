#pragma once

// The x86 VMAF kernels, each set in a file compiled with its instruction set; call only
// where the processor supports it.

#include "vmaf/vmaf_kernels.h"

namespace morvith {

const VmafKernels& Sse2VmafKernels();
const VmafKernels& Avx2VmafKernels();

}  // namespace morvith
