#pragma once

// What every random sweep of the 32-bit tests shares: how many cases, the one case to run
// alone, the command that reruns one case, and the driver that runs them and names a
// case that fails or crashes.

#include <cstdint>
#include <functional>
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
inline uint32_t SweepCasesFor(const char* kernel_path, uint32_t cases) {
    return kernel_path[0] == '\0' ? cases : cases / 5;
}

// While it lives, a crash (a read or write outside a picture) prints the seed of the case
// that was running and the command that reruns it, before the process ends.
class SweepCrashReport {
public:
    explicit SweepCrashReport(const char* unit = "case");
    ~SweepCrashReport();
    SweepCrashReport(const SweepCrashReport&) = delete;
    SweepCrashReport& operator=(const SweepCrashReport&) = delete;

    void SetCase(uint32_t seed);

private:
    void* handler_ = nullptr;
};

// Runs the cases 1, 2, ... (MORVITH_SWEEP_CASES of them, or the defaults) or the one of
// MORVITH_SWEEP_SEED; run(seed) returns the case's failure, or "" when it passed. Each
// failure is reported with the command that reruns its case, and the fifth ends the
// sweep. Returns the number of cases run.
int RunSweep(uint32_t native_cases, uint32_t emulated_cases,
             const std::function<std::string(uint32_t seed)>& run);

}  // namespace morvith::testing
