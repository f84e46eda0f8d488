#pragma once

// The team that the tests and benchmarks of this build share rows with: the system's
// thread pool in the 32-bit build, as morvith's module has it (but splitting every pass,
// however small), and standard threads natively.

#include <algorithm>

#include "row_team.h"

#ifdef _WIN32
#include "thread_pool_team.h"
#else
#include <thread>

#include "thread_team.h"
#endif

namespace morvith::testing {

inline RowTeam& BuildTeam() {
#ifdef _WIN32
    static host::ThreadPoolTeam team(GetModuleHandleA(nullptr), 1);
#else
    // Two at least, so that even a one-processor machine shares the rows.
    static ThreadTeam team(std::max(2u, std::thread::hardware_concurrency()));
#endif
    return team;
}

}  // namespace morvith::testing
