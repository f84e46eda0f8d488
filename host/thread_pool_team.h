#pragma once

// The rows of a pass shared among the system's thread pool: one worker for each logical
// processor available to the process, the host's calling thread among them. Nothing here
// can end or stall the host: where the pool cannot take the work (no memory, no thread,
// or workers that do not start in time), the calling thread runs the blocks nobody took.

#include <windows.h>

#include <cstdint>

#include "row_team.h"

namespace morvith::host {

// Below this many samples for each further worker, handing rows to the pool costs more
// than they take to measure: measured for PSNR and SSIM under Wine on two hardware
// threads; VMAF's passes cost some sixty reads a sample, so its threshold is that much lower.
inline constexpr int64_t MIN_SAMPLES_PER_WORKER = 1 << 18;
inline constexpr int64_t VMAF_SAMPLES_PER_WORKER = MIN_SAMPLES_PER_WORKER >> 6;

class ThreadPoolTeam final : public RowTeam {
public:
    // The module whose code the callbacks run: the pool keeps it loaded while one runs.
    // Each further worker needs at least min_samples_per_worker samples of the pass.
    explicit ThreadPoolTeam(HMODULE module, int64_t min_samples_per_worker);

    int BlocksFor(int64_t samples) const override;
    void RunBlocks(int block_count, BlockFunction run_block, void* context) override;

private:
    HMODULE module_;
    int64_t min_samples_per_worker_;
    int workers_;
};

}  // namespace morvith::host
