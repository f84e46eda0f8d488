#pragma once

// The threads that share a pass's rows. The core starts none of its own: a plug-in hands
// it the team its platform offers (the system's thread pool on Windows), the tests and
// benchmarks a portable one. The sums are exact integers, so how the rows are shared
// changes nothing in the result.

#include <atomic>
#include <cstdint>

namespace morvith {

// The most blocks one pass is split into: each block's private sums wait on the caller's
// stack until they are combined, 120 bytes a block for SSIM.
inline constexpr int MAX_TEAM_BLOCKS = 64;

class RowTeam {
public:
    using BlockFunction = void (*)(void* context, int block);

    // How many blocks of rows a pass over `samples` samples is worth splitting into; 1
    // keeps the pass on the calling thread alone.
    virtual int BlocksFor(int64_t samples) const = 0;

    // Calls run_block(context, b) exactly once for every b in 0 .. block_count - 1, on
    // whatever threads the team has, the caller's among them, and returns once every call
    // has returned.
    virtual void RunBlocks(int block_count, BlockFunction run_block, void* context) = 0;

protected:
    ~RowTeam() = default;
};

// Hands out each block once, to whichever thread asks first. The caller drains it too, so
// the blocks of a worker that never starts are run by the caller, not lost.
class BlockQueue {
public:
    BlockQueue(int block_count, RowTeam::BlockFunction run_block, void* context)
        : block_count_(block_count), run_block_(run_block), context_(context) {}

    // Runs blocks until every block has been claimed.
    void RunUnclaimed() {
        for (;;) {
            const int block = next_.fetch_add(1, std::memory_order_relaxed);
            if (block >= block_count_) return;
            run_block_(context_, block);
        }
    }

private:
    std::atomic<int> next_{0};
    const int block_count_;
    const RowTeam::BlockFunction run_block_;
    void* const context_;
};

}  // namespace morvith
