#pragma once

// The x86 row kernels. Each set lives in a file of its own, compiled with that
// instruction set enabled, and must be called only when the processor supports it.

#include "row_kernels.h"

namespace morvith {

const RowKernels& Sse2RowKernels();
const RowKernels& AvxRowKernels();
const RowKernels& Avx2RowKernels();

}  // namespace morvith
