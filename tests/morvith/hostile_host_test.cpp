// A measurement with "マルチスレッド" in a process that cannot give it a thread: the editor's
// address space used up by the time the reference has been fetched, or an environment
// that a thread runtime would obey. The title must be the serial one, and the process
// must live on.

#include "morvith_host.h"

#include "address_space_hog.h"

#include <cstdlib>

namespace morvith::testing {
namespace {

std::string MeasuredTitle(StandInHost& host, int32_t kind, int32_t multithread) {
    host.SetSlider(KIND, kind);
    host.SetSlider(OFFSET, 1);
    host.SetCheckbox(MULTITHREAD, multithread);
    const standin::FrameResult result = host.ProcessFrame(0);
    EXPECT_EQ(result.returned, 1);
    return WithoutMilliseconds(result.title);
}

TEST(MorvithHostileHost, NoAddressSpaceLeftForAThreadMeasuresSerially) {
    for (int32_t kind : {1, 2}) {
        SCOPED_TRACE(kind);
        StandInHost host(ModulePath(), ClipOfSharedRows(2));
        const std::string serial = MeasuredTitle(host, kind, 0);

        // From the fetch of the reference until the callback returns, no hole is left.
        AddressSpaceHog hog;
        host.SetCallHooks({[&](Service service) {
                               if (service == Service::FetchFilteredFrame) hog.Reserve();
                           },
                           [&] { hog.Release(); }});
        EXPECT_EQ(MeasuredTitle(host, kind, 1), serial);
        EXPECT_TRUE(hog.thread_refused) << "the test did not take the address space it meant to";
        host.SetCallHooks({});
        // And once there is room again, the threads come.
        EXPECT_EQ(MeasuredTitle(host, kind, 1), serial);
    }
}

// A thread runtime would read these when the module loads: a stack it cannot have, and a
// team of one, which would quietly measure without workers.
TEST(MorvithHostileHost, ThreadRuntimeVariablesInTheEnvironmentChangeNothing) {
    // Both the system's environment and the C library's copy, which getenv reads.
    _putenv("OMP_STACKSIZE=3000M");
    _putenv("OMP_NUM_THREADS=1");
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    for (int32_t kind : {1, 2}) {
        SCOPED_TRACE(kind);
        // A module still in memory from an earlier load keeps its workers.
        const bool first_load = GetModuleHandleA(ModulePath().c_str()) == nullptr;
        StandInHost host(ModulePath(), ClipOfSharedRows(2));
        const std::string serial = MeasuredTitle(host, kind, 0);
        const std::set<DWORD> before = ThreadsOfThisProcess();
        EXPECT_EQ(MeasuredTitle(host, kind, 1), serial);
        if (first_load && system.dwNumberOfProcessors > 1) {
            EXPECT_FALSE(StartedSince(before).empty()) << "no worker took part";
        }
    }
    _putenv("OMP_STACKSIZE=");
    _putenv("OMP_NUM_THREADS=");
}

}  // namespace
}  // namespace morvith::testing
