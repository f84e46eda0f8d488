#include <atomic>

#include "row_kernels.h"

#if defined(MORVITH_X86_KERNELS)
#include <cpuid.h>

#include "x86/kernels_x86.h"
#endif

namespace morvith {
namespace {

#if defined(MORVITH_X86_KERNELS)
bool CpuHasSse2() {
    unsigned eax, ebx, ecx, edx;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
    return (edx & bit_SSE2) != 0;
}

// AVX, even on 128-bit vectors, needs a system that saves the YMM registers on a switch.
// The AVX kernels also use SSE4.1, which a virtual processor may leave out.
bool CpuHasAvx() {
    unsigned eax, ebx, ecx, edx;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
    if ((ecx & bit_OSXSAVE) == 0 || (ecx & bit_AVX) == 0 || (ecx & bit_SSE4_1) == 0) return false;
    unsigned xcr0_low, xcr0_high;
    __asm__("xgetbv" : "=a"(xcr0_low), "=d"(xcr0_high) : "c"(0));
    return (xcr0_low & 0x6) == 0x6;  // XMM and YMM state
}

bool CpuHasAvx2() {
    unsigned eax, ebx, ecx, edx;
    if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return false;
    return (ebx & bit_AVX2) != 0;
}
#endif

// Until the first measurement asks, nothing is pinned: the best supported path runs. The
// benchmark-only builds of the modules start pinned (MORVITH_KERNEL_CEILING), so that one
// machine can time every path through them.
#if defined(MORVITH_KERNEL_CEILING)
std::atomic<int> kernel_ceiling{static_cast<int>(KernelPath::MORVITH_KERNEL_CEILING)};
#else
std::atomic<int> kernel_ceiling{static_cast<int>(KernelPath::Avx2)};
#endif

}  // namespace

const char* KernelPathName(KernelPath path) {
    switch (path) {
        case KernelPath::Scalar: return "scalar";
        case KernelPath::Sse2: return "sse2";
        case KernelPath::Avx: return "avx";
        case KernelPath::Avx2: return "avx2";
    }
    return "unknown";
}

const RowKernels* RowKernelsFor(KernelPath path) {
#if defined(MORVITH_X86_KERNELS)
    static const bool has_sse2 = CpuHasSse2();
    static const bool has_avx = has_sse2 && CpuHasAvx();
    static const bool has_avx2 = has_avx && CpuHasAvx2();
    if (path == KernelPath::Sse2 && has_sse2) return &Sse2RowKernels();
    if (path == KernelPath::Avx && has_avx) return &AvxRowKernels();
#if defined(MORVITH_AVX2_KERNELS)
    if (path == KernelPath::Avx2 && has_avx2) return &Avx2RowKernels();
#else
    (void)has_avx2;
#endif
#endif
    if (path == KernelPath::Scalar) return &ScalarRowKernels();
    return nullptr;
}

KernelPath BestSupportedPath() {
    static const KernelPath best = [] {
        for (KernelPath path : {KernelPath::Avx2, KernelPath::Avx, KernelPath::Sse2}) {
            if (RowKernelsFor(path) != nullptr) return path;
        }
        return KernelPath::Scalar;
    }();
    return best;
}

void LimitKernelPath(KernelPath ceiling) { kernel_ceiling = static_cast<int>(ceiling); }

KernelPath ActiveKernelPath() {
    const int best = static_cast<int>(BestSupportedPath());
    const int ceiling = kernel_ceiling.load(std::memory_order_relaxed);
    return static_cast<KernelPath>(best < ceiling ? best : ceiling);
}

const RowKernels& ActiveRowKernels() {
    // Every path up to the best supported one is supported too.
    return *RowKernelsFor(ActiveKernelPath());
}

}  // namespace morvith
