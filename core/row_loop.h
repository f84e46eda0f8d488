#pragma once

// The row loop of every pass: rows 0 .. height - 1, either on the calling thread or split
// into contiguous blocks of rows shared by a team, each block adding into private sums
// that start at zero and are combined once, in block order, after every block is done.

#include <algorithm>
#include <cstdint>

#include "row_kernels.h"
#include "row_team.h"

namespace morvith {

inline void Accumulate(SquaredErrorTriple& into, const SquaredErrorTriple& from) {
    into.y += from.y;
    into.cb += from.cb;
    into.cr += from.cr;
}

inline void Accumulate(MomentSums& into, const MomentSums& from) {
    into.a += from.a;
    into.b += from.b;
    into.aa += from.aa;
    into.bb += from.bb;
    into.ab += from.ab;
}

inline void Accumulate(MomentSumsTriple& into, const MomentSumsTriple& from) {
    Accumulate(into.y, from.y);
    Accumulate(into.cb, from.cb);
    Accumulate(into.cr, from.cr);
}

// add_row(r, sums) adds row r into sums. A null team runs every row on the calling thread.
template <typename Sums, typename AddRow>
Sums SumOverRows(int width, int height, RowTeam* team, const AddRow& add_row) {
    Sums sums{};
    const int blocks =
        team == nullptr
            ? 1
            : std::clamp(team->BlocksFor(int64_t{width} * height), 1,
                         std::min(height, MAX_TEAM_BLOCKS));
    if (blocks <= 1) {
        for (int r = 0; r < height; ++r) add_row(r, sums);
        return sums;
    }

    struct Pass {
        const AddRow& add_row;
        int height;
        int blocks;
        Sums block_sums[MAX_TEAM_BLOCKS];
    } pass{add_row, height, blocks, {}};
    team->RunBlocks(blocks, [](void* context, int block) {
        Pass& p = *static_cast<Pass*>(context);
        // Block b holds rows [b H / B, (b + 1) H / B); H < 2^31 and B <= 64 fit in 64 bits.
        const int first = static_cast<int>(int64_t{block} * p.height / p.blocks);
        const int end = static_cast<int>(int64_t{block + 1} * p.height / p.blocks);
        Sums own{};
        for (int r = first; r < end; ++r) p.add_row(r, own);
        p.block_sums[block] = own;
    }, &pass);
    for (int b = 0; b < blocks; ++b) Accumulate(sums, pass.block_sums[b]);
    return sums;
}

}  // namespace morvith
