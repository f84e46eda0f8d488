#pragma once

// A team of standard threads, for the tests and benchmarks of the native build: the
// modules take theirs from the system's thread pool instead. Each RunBlocks starts its
// workers and joins them before it returns.

#include "row_team.h"

namespace morvith {

class ThreadTeam final : public RowTeam {
public:
    // size threads share each pass, the caller's among them; a test may start fewer
    // (workers_started < size - 1) to play a system that refuses threads, whose blocks the
    // caller must then run itself.
    explicit ThreadTeam(int size, int workers_started = -1);

    int BlocksFor(int64_t samples) const override;
    void RunBlocks(int block_count, BlockFunction run_block, void* context) override;

private:
    int size_;
    int workers_started_;
};

}  // namespace morvith
