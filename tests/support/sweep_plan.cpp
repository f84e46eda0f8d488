#include "sweep_plan.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>

#include "guarded_picture.h"

namespace morvith::testing {
namespace {

std::optional<uint32_t> PositiveNumberFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] == '\0') return std::nullopt;
    char* end = nullptr;
    const unsigned long long number = std::strtoull(value, &end, 10);
    if (*end != '\0' || value[0] == '-' || number == 0 || number > UINT32_MAX)
        throw std::invalid_argument(std::string(name) + " is \"" + value + "\"; expected a positive number");
    return static_cast<uint32_t>(number);
}

// Wine shows the Unix root as drive Z.
std::string UnixPathOf(std::string path) {
    if (path.size() > 2 && path[1] == ':') path.erase(0, 2);
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

}  // namespace

uint32_t SweepCaseCount(uint32_t native_default, uint32_t emulated_default) {
    const char* route = std::getenv("MORVITH_WIN32_ROUTE");
    const bool emulated = route != nullptr && std::string(route) == "emulated";
    return PositiveNumberFromEnvironment("MORVITH_SWEEP_CASES").value_or(emulated ? emulated_default : native_default);
}

std::optional<uint32_t> OnlySweepSeed() { return PositiveNumberFromEnvironment("MORVITH_SWEEP_SEED"); }

std::string SweepRerunCommand(uint32_t seed) {
    char module[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    const std::string exe = UnixPathOf(module);
    // Test executables sit at <build>/tests/<folder>/: the wine-run beside them holds
    // wherever the build tree is mounted.
    const size_t tests = exe.rfind("/tests/");
    const std::string wine_run = tests == std::string::npos ? MORVITH_WINE_RUN : exe.substr(0, tests) + "/wine-run";
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string command = "MORVITH_SWEEP_SEED=" + std::to_string(seed) +
                          " MORVITH_GUARD_PLACEMENT=" + GuardPlacementName(DefaultGuardPlacement()) + ' ' +
                          wine_run + ' ' + exe;
    if (test != nullptr) command += std::string(" --gtest_filter=") + test->test_suite_name() + '.' + test->name();
    return command;
}

std::vector<const char*> SweptKernelPaths() {
#if defined(MORVITH_PINNED_MODULES)
    return {"", "sse2", "avx"};
#else
    return {""};
#endif
}

std::string PinnedModulePath(std::string shipped, const char* kernel_path) {
    if (kernel_path[0] != '\0') shipped.insert(shipped.rfind('.'), std::string("_") + kernel_path);
    return shipped;
}

}  // namespace morvith::testing
