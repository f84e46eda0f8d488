#include <atomic>

#include "row_kernels.h"

namespace morvith {
namespace {

// Until the first measurement asks, nothing is pinned: the best supported path runs.
std::atomic<int> kernel_ceiling{static_cast<int>(KernelPath::Avx2)};

}  // namespace

const char* KernelPathName(KernelPath path) {
    switch (path) {
        case KernelPath::Scalar: return "scalar";
        case KernelPath::Sse2: return "sse2";
        case KernelPath::Avx2: return "avx2";
    }
    return "unknown";
}

const RowKernels* RowKernelsFor(KernelPath path) {
    if (path == KernelPath::Scalar) return &ScalarRowKernels();
    return nullptr;
}

KernelPath BestSupportedPath() {
    static const KernelPath best = [] {
        for (KernelPath path : {KernelPath::Avx2, KernelPath::Sse2}) {
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
