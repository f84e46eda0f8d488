#include "windowed_ssim.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "row_kernels.h"

namespace morvith {
namespace {

// Window rows whose sums wait on the caller's stack until they are added in order, 13 KB:
// a 3840x2160 picture in one hand-off to the team.
constexpr int CHUNK_WINDOW_ROWS = 544;

struct WindowPass {
    const RowKernels& kernels;
    const PixelYC* first_a;
    const PixelYC* first_b;
    int pitch;
    int block_columns;
    WindowedSsimConstants constants;
    int first_row;  // of the chunk, in window rows
    int rows;
    int shares;
    ChannelTriple<double>* row_sums;  // one per window row of the chunk, from zero
};

// Window rows [first, end) of a chunk. Window row j spans block rows j and j + 1, so a
// share sums the block row below each of its window rows and the one its first row starts
// on. The columns go in pieces of at most MAX_PIECE_BLOCKS blocks, the last block of a
// piece being the first of the next; every window adds into its row's sum left to right.
void RunShare(const WindowPass& p, int share) {
    const int first = static_cast<int>(int64_t{share} * p.rows / p.shares);
    const int end = static_cast<int>(int64_t{share + 1} * p.rows / p.shares);
    BlockSumRow rows[2];
    const auto block_row = [&](int block_row, int first_block, int blocks, BlockSumRow& sums) {
        const ptrdiff_t offset = static_cast<ptrdiff_t>(block_row) * 4 * p.pitch + 4 * first_block;
        p.kernels.block_sum_row(p.first_a + offset, p.first_b + offset, p.pitch, 0, blocks, sums);
    };
    for (int first_block = 0; first_block + 1 < p.block_columns;
         first_block += MAX_PIECE_BLOCKS - 1) {
        const int blocks = std::min(MAX_PIECE_BLOCKS, p.block_columns - first_block);
        BlockSumRow* top = &rows[0];
        BlockSumRow* bottom = &rows[1];
        block_row(p.first_row + first, first_block, blocks, *top);
        for (int j = first; j < end; ++j) {
            block_row(p.first_row + j + 1, first_block, blocks, *bottom);
            p.kernels.window_row(*top, *bottom, blocks - 1, p.constants, p.row_sums[j]);
            std::swap(top, bottom);
        }
    }
}

}  // namespace

WindowedSsimConstants WindowedSsimConstantsFor(int peak) {
    const double squared_peak = static_cast<double>(peak) * peak;
    return {0.0001 * squared_peak * 64, 0.0009 * squared_peak * 64 * 63};
}

ChannelTriple<double> MeasureWindowedSsimWith(const RowKernels& kernels, const PixelYC* first_a,
                                              const PixelYC* first_b, int width, int height,
                                              int pitch, int peak, RowTeam* team) {
    if (width < WINDOWED_SSIM_MIN_SIZE || height < WINDOWED_SSIM_MIN_SIZE) return {};
    const int block_columns = width / 4;
    const int window_rows = height / 4 - 1;
    WindowPass pass{kernels, first_a, first_b, pitch, block_columns,
                    WindowedSsimConstantsFor(peak), 0, 0, 1, nullptr};

    ChannelTriple<double> total;
    ChannelTriple<double> row_sums[CHUNK_WINDOW_ROWS];
    for (int first_row = 0; first_row < window_rows; first_row += CHUNK_WINDOW_ROWS) {
        pass.first_row = first_row;
        pass.rows = std::min(CHUNK_WINDOW_ROWS, window_rows - first_row);
        pass.row_sums = row_sums;
        std::fill(row_sums, row_sums + pass.rows, ChannelTriple<double>{});
        const int64_t samples = int64_t{pass.rows} * 4 * width;
        pass.shares = team == nullptr ? 1
                                      : std::clamp(team->BlocksFor(samples), 1,
                                                   std::min(pass.rows, MAX_TEAM_BLOCKS));
        if (pass.shares == 1) {
            RunShare(pass, 0);
        } else {
            team->RunBlocks(
                pass.shares,
                [](void* context, int share) {
                    RunShare(*static_cast<const WindowPass*>(context), share);
                },
                &pass);
        }
        for (int j = 0; j < pass.rows; ++j) {
            total.y += row_sums[j].y;
            total.cb += row_sums[j].cb;
            total.cr += row_sums[j].cr;
        }
    }
    const double windows = static_cast<double>(block_columns - 1) * window_rows;
    return {total.y / windows, total.cb / windows, total.cr / windows};
}

ChannelTriple<double> MeasureWindowedSsim(const PixelYC* first_a, const PixelYC* first_b,
                                          int width, int height, int pitch, int peak,
                                          RowTeam* team) {
    return MeasureWindowedSsimWith(ActiveRowKernels(), first_a, first_b, width, height, pitch,
                                   peak, team);
}

}  // namespace morvith
