#include "thread_team.h"

#include <algorithm>
#include <thread>
#include <vector>

namespace morvith {

ThreadTeam::ThreadTeam(int size, int workers_started)
    : size_(std::clamp(size, 1, MAX_TEAM_BLOCKS)),
      workers_started_(workers_started < 0 ? size_ - 1 : std::min(workers_started, size_ - 1)) {}

// Every pass is split, however small: the tests want the shared path on every shape.
int ThreadTeam::BlocksFor(int64_t) const { return size_; }

void ThreadTeam::RunBlocks(int block_count, BlockFunction run_block, void* context) {
    BlockQueue queue(block_count, run_block, context);
    std::vector<std::thread> workers;
    const int wanted = std::min(workers_started_, block_count - 1);
    for (int i = 0; i < wanted; ++i) workers.emplace_back([&queue] { queue.RunUnclaimed(); });
    queue.RunUnclaimed();
    for (std::thread& worker : workers) worker.join();
}

}  // namespace morvith
