#pragma once

// What every random sweep of the 32-bit tests reads from its environment: how many cases,
// the one case to run alone, and the command that reruns one case.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace morvith::testing {

// MORVITH_SWEEP_CASES, or else the default for the route the tests run on: the emulated
// one (MORVITH_WIN32_ROUTE=emulated) is many times slower. A value that is not a positive
// number throws std::invalid_argument rather than sweeping nothing and passing.
uint32_t SweepCaseCount(uint32_t native_default, uint32_t emulated_default);

// MORVITH_SWEEP_SEED, the one case to run, or nullopt when unset; throws like the above.
std::optional<uint32_t> OnlySweepSeed();

// The shell command that reruns the current test on `seed` alone in the current guard
// placement, through the wine-run of the build this executable belongs to.
std::string SweepRerunCommand(uint32_t seed);

// The kernel paths a sweep runs through: "" for the shipped module, which chooses by
// CPUID, and each path below AVX2 when the build has modules pinned at it.
std::vector<const char*> SweptKernelPaths();

// The module beside `shipped` pinned at `kernel_path` (morvith_sse2.auf beside
// morvith.auf), or `shipped` itself for "".
std::string PinnedModulePath(std::string shipped, const char* kernel_path);

// A sweep of a pinned module runs a fifth of the cases: it differs from the shipped one
// only in its kernels.
inline uint32_t SweepCaseCountFor(const char* kernel_path, uint32_t native_default, uint32_t emulated_default) {
    const uint32_t share = kernel_path[0] == '\0' ? 1 : 5;
    return SweepCaseCount(native_default / share, emulated_default / share);
}

}  // namespace morvith::testing
