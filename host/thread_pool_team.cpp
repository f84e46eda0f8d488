#include "thread_pool_team.h"

#include <algorithm>

namespace morvith::host {
namespace {

// A pool of this module's own, made on the first pass that shares its rows and kept for
// the next ones: Wine's process-wide pool takes hundreds of microseconds to accept a
// submission, and a new thread for each pass takes about a millisecond. Its threads wait
// between passes inside the system, never in this module's code.
PTP_POOL kept_pool = nullptr;

int LogicalProcessorsOfProcess() {
    DWORD_PTR process_mask = 0;
    DWORD_PTR system_mask = 0;
    if (!GetProcessAffinityMask(GetCurrentProcess(), &process_mask, &system_mask)) return 1;
    int count = 0;
    for (; process_mask != 0; process_mask &= process_mask - 1) ++count;
    return std::max(count, 1);
}

// The pool with all its threads started, or null where the system refuses any of them:
// then this pass runs on the calling thread, and the next one asks again.
PTP_POOL PoolOfThreads(HMODULE module, int threads) {
    if (kept_pool != nullptr) return kept_pool;
    PTP_POOL pool = CreateThreadpool(nullptr);
    if (pool == nullptr) return nullptr;
    SetThreadpoolThreadMaximum(pool, static_cast<DWORD>(threads));
    // Starts the threads now, and says so if it cannot, where a submission would
    // otherwise be left to a pool with no thread.
    if (!SetThreadpoolThreadMinimum(pool, static_cast<DWORD>(threads))) {
        CloseThreadpool(pool);
        return nullptr;
    }
    // Nothing may close the pool at unload (the loader lock is held there), so the module
    // stays mapped with it: a later load of the module finds it and its threads again
    // instead of leaving one pool behind for each load.
    HMODULE pinned = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCSTR>(module), &pinned);
    kept_pool = pool;
    return pool;
}

VOID CALLBACK RunQueuedBlocks(PTP_CALLBACK_INSTANCE, PVOID queue, PTP_WORK) {
    static_cast<BlockQueue*>(queue)->RunUnclaimed();
}

}  // namespace

ThreadPoolTeam::ThreadPoolTeam(HMODULE module, int64_t min_samples_per_worker)
    : module_(module),
      min_samples_per_worker_(std::max<int64_t>(min_samples_per_worker, 1)),
      workers_(std::min(LogicalProcessorsOfProcess(), MAX_TEAM_BLOCKS)) {}

int ThreadPoolTeam::BlocksFor(int64_t samples) const {
    return static_cast<int>(std::clamp<int64_t>(samples / min_samples_per_worker_, 1, workers_));
}

void ThreadPoolTeam::RunBlocks(int block_count, BlockFunction run_block, void* context) {
    BlockQueue queue(block_count, run_block, context);
    PTP_WORK work = nullptr;
    const int helpers = std::min(block_count, workers_) - 1;
    if (helpers > 0) {
        if (PTP_POOL pool = PoolOfThreads(module_, workers_ - 1)) {
            TP_CALLBACK_ENVIRON environment;
            InitializeThreadpoolEnvironment(&environment);
            SetThreadpoolCallbackPool(&environment, pool);
            // The module stays loaded while a callback runs its code.
            SetThreadpoolCallbackLibrary(&environment, module_);
            work = CreateThreadpoolWork(&RunQueuedBlocks, &queue, &environment);
            DestroyThreadpoolEnvironment(&environment);
        }
    }
    if (work != nullptr) {
        for (int i = 0; i < helpers; ++i) SubmitThreadpoolWork(work);
    }
    queue.RunUnclaimed();
    if (work != nullptr) {
        // Every block is claimed by now: a callback not yet started would find none, so it
        // is cancelled, and the wait is only for blocks that workers are still running.
        WaitForThreadpoolWorkCallbacks(work, TRUE);
        CloseThreadpoolWork(work);
    }
}

}  // namespace morvith::host
