#include "sweep_plan.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// What the crash report prints: set up before the crash, so that the handler itself needs
// no allocation.
volatile uint32_t crashing_seed = 0;
const char* crashing_unit = "case";
std::string crash_rerun_prefix, crash_rerun_suffix;

LONG CALLBACK ReportCrash(EXCEPTION_POINTERS* exception) {
    const DWORD code = exception->ExceptionRecord->ExceptionCode;
    if (code == EXCEPTION_ACCESS_VIOLATION || code == EXCEPTION_ILLEGAL_INSTRUCTION ||
        code == EXCEPTION_INT_DIVIDE_BY_ZERO || code == EXCEPTION_STACK_OVERFLOW) {
        const unsigned seed = crashing_seed;
        std::fprintf(stderr, "\n%s %u crashed (exception 0x%08lx at %p); rerun it alone with:\n  %s%u%s\n",
                     crashing_unit, seed, static_cast<unsigned long>(code), exception->ExceptionRecord->ExceptionAddress,
                     crash_rerun_prefix.c_str(), seed, crash_rerun_suffix.c_str());
        std::fflush(stderr);
    }
    return EXCEPTION_CONTINUE_SEARCH;
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

SweepCrashReport::SweepCrashReport(const char* unit) {
    const std::string command = SweepRerunCommand(0);
    const size_t seed_at = command.find("MORVITH_SWEEP_SEED=0") + std::strlen("MORVITH_SWEEP_SEED=");
    crash_rerun_prefix = command.substr(0, seed_at);
    crash_rerun_suffix = command.substr(seed_at + 1);
    crashing_unit = unit;
    // First in line, so that the case is named whatever handles the exception after it.
    handler_ = AddVectoredExceptionHandler(1, ReportCrash);
}

SweepCrashReport::~SweepCrashReport() { RemoveVectoredExceptionHandler(handler_); }

void SweepCrashReport::SetCase(uint32_t seed) { crashing_seed = seed; }

int RunSweep(uint32_t native_cases, uint32_t emulated_cases, const std::function<std::string(uint32_t seed)>& run) {
    const std::optional<uint32_t> only = OnlySweepSeed();
    const uint32_t count = only ? 1 : SweepCaseCount(native_cases, emulated_cases);
    SweepCrashReport crash_report;
    int failures = 0;
    for (uint32_t i = 0; i < count && failures < 5; ++i) {
        const uint32_t seed = only ? *only : i + 1;
        crash_report.SetCase(seed);
        const std::string failure = run(seed);
        if (failure.empty()) continue;
        ++failures;
        ADD_FAILURE() << "case " << seed << ": " << failure << "\nrerun it alone with:\n  " << SweepRerunCommand(seed);
    }
    return static_cast<int>(count);
}

}  // namespace morvith::testing
