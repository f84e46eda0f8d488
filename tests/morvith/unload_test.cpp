// The module unloaded right after measurements on several threads: no thread that the
// module started may be left inside code that has gone away, and the process goes on.

#include "morvith_host.h"

#include <algorithm>
#include <set>
#include <vector>

namespace morvith::testing {
namespace {

bool ImageStillMapped(HMODULE module) {
    MEMORY_BASIC_INFORMATION info{};
    return VirtualQuery(module, &info, sizeof info) == sizeof info && info.State == MEM_COMMIT &&
           info.Type == MEM_IMAGE && info.AllocationBase == module;
}

// Allocates, computes and makes windows for two seconds, leaving the processor to other
// threads between rounds: a thread left running in freed code would crash the process.
bool KeepWorkingForTwoSeconds() {
    const ULONGLONG end = GetTickCount64() + 2000;
    while (GetTickCount64() < end) {
        std::vector<uint32_t> block(1 << 18);
        uint32_t sum = 0;
        for (size_t i = 0; i < block.size(); ++i) sum += block[i] = static_cast<uint32_t>(i) * 2654435761u;
        if (sum != static_cast<uint32_t>(block.size() / 2 * (block.size() - 1)) * 2654435761u) return false;
        const HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 8, 8, nullptr, nullptr,
                                            GetModuleHandleA(nullptr), nullptr);
        if (window == nullptr) return false;
        DestroyWindow(window);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        Sleep(1);
    }
    return true;
}

HMODULE LoadMeasureInParallelAndUnload(int32_t kind) {
    StandInHost host(ModulePath(), ClipOfSharedRows(1));
    host.SetSlider(KIND, kind);
    host.SetCheckbox(MULTITHREAD, 1);
    const standin::FrameResult result = host.ProcessFrame(0);
    EXPECT_EQ(result.returned, 1);
    EXPECT_NE(result.title.find("[ms]"), std::string::npos) << result.title;
    return host.module();
}

TEST(MorvithUnload, RightAfterAParallelMeasurementLeavesTheProcessWorking) {
    const std::set<DWORD> before = ThreadsOfThisProcess();
    const HMODULE module = LoadMeasureInParallelAndUnload(2);
    EXPECT_TRUE(KeepWorkingForTwoSeconds());
    const std::set<DWORD> started = StartedSince(before);
    // The workers may stay for the next measurement, but only with their code.
    if (!started.empty()) {
        EXPECT_TRUE(ImageStillMapped(module)) << started.size() << " threads outlive the module";
    }
}

TEST(MorvithUnload, HundredCyclesOfLoadMeasureUnload) {
    const std::set<DWORD> before = ThreadsOfThisProcess();
    const HMODULE first = LoadMeasureInParallelAndUnload(1);
    for (int cycle = 1; cycle < 100 && !HasFailure(); ++cycle) LoadMeasureInParallelAndUnload(1 + cycle % 2);
    EXPECT_TRUE(KeepWorkingForTwoSeconds());
    const std::set<DWORD> started = StartedSince(before);
    // One team of workers, reused by every load, rather than a team left behind by each.
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    EXPECT_LT(started.size(), std::max<size_t>(system.dwNumberOfProcessors, 2));
    if (!started.empty()) {
        EXPECT_TRUE(ImageStillMapped(first)) << started.size() << " threads outlive the module";
    }
}

// The module may stay in memory for its workers, but a new load starts as a first one.
TEST(MorvithUnload, ALoadAfterAParallelMeasurementStartsWithoutAReferenceFile) {
    {
        StandInHost host(ModulePath(), ClipOfSharedRows(1));
        host.SetSlider(KIND, 1);
        host.SetCheckbox(MULTITHREAD, 1);
        host.ProcessFrame(0);
        host.TypeIntoControl(PATH_EDIT, "C:\\clips\\kept.bmp");
    }
    StandInHost host(ModulePath(), standin::SampleClip(1, 64, 48));
    EXPECT_EQ(host.FindControl(PATH_EDIT).value().text, "");
    host.SetSlider(KIND, 1);
    host.SetCheckbox(LOAD_FILE, 1);
    host.ProcessFrame(0);
    const std::vector<standin::ServiceCall> loads = host.CallsOf(Service::LoadImageFile);
    ASSERT_EQ(loads.size(), 1u);
    EXPECT_EQ(loads[0].file_name, "");
}

// Morvith ex registers a window class for its report's graph: each load registers it and
// each teardown unregisters it after destroying the graph, so that no window of the class
// is left to call into a module that has gone.
TEST(MorvithUnload, HundredCyclesOfMorvithExShowingItsGraph) {
    constexpr char GRAPH_CLASS[] = "MorvithExReportGraph";
    HMODULE module = nullptr;
    for (int cycle = 0; cycle < 100 && !HasFailure(); ++cycle) {
        StandInHost host(MORVITH_EX_MODULE_PATH, standin::SampleClip(3, 32, 16));
        const int32_t sliders[] = {1 + cycle % 2, 8, 8, 0, 0, 16, 8, 0, 2};
        for (int i = 0; i < 9; ++i) host.SetSlider(i, sliders[i]);
        host.SetCheckbox(0, 1);
        EXPECT_EQ(host.ProcessFrame(1).returned, 1);
        const std::optional<standin::ControlInfo> graph = host.FindControl(40003);
        ASSERT_TRUE(graph.has_value());
        RedrawWindow(graph->handle, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        module = host.module();
    }
    EXPECT_TRUE(KeepWorkingForTwoSeconds());
    WNDCLASSA left{};
    EXPECT_FALSE(GetClassInfoA(module, GRAPH_CLASS, &left));
}

// Morvith ex shares VMAF's rows (kind 4) among the system's pool as morvith does with
// "マルチスレッド": once its first such pass has started workers, it pins itself, and the
// workers outlive the host's unload with their code.
TEST(MorvithUnload, MorvithExPinsItselfAfterItsFirstVmafPassWithWorkers) {
    const std::set<DWORD> before = ThreadsOfThisProcess();
    HMODULE module = nullptr;
    {
        StandInHost host(MORVITH_EX_MODULE_PATH, standin::SampleClip(1, 256, 64));
        const int32_t sliders[] = {4, 128, 64, 0, 0, 128, 0, 0, 0};
        for (int i = 0; i < 9; ++i) host.SetSlider(i, sliders[i]);
        const standin::FrameResult result = host.ProcessFrame(0);
        EXPECT_EQ(result.title.rfind("VMAF ", 0), 0u) << result.title;
        module = host.module();
    }
    EXPECT_TRUE(KeepWorkingForTwoSeconds());
    const std::set<DWORD> started = StartedSince(before);
    EXPECT_EQ(ImageStillMapped(module), !started.empty()) << started.size() << " threads started";
}

}  // namespace
}  // namespace morvith::testing
