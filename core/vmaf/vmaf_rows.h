#pragma once

// What the VIF and motion passes share: the mirror at the borders, rings of working rows,
// the working memory carved from one allocation, and rows handed out to a team in blocks.

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "row_team.h"
#include "vmaf/vmaf.h"
#include "vmaf/vmaf_kernels.h"

namespace morvith::vmaf_rows {

// A pass is split into at most this many blocks of rows, each with its own ring and row
// buffers, all of them laid out in advance.
inline constexpr int MAX_BLOCKS = 8;

// Reflects an index about the edge sample without repeating it; the sizes keep every
// filter radius below n, so one reflection is enough.
inline int Mirror(int p, int n) {
    if (p < 0) return -p;
    if (p >= n) return 2 * (n - 1) - p;
    return p;
}

// A row held at buffer[radius .. radius + width - 1] gets its mirrored borders on both
// sides, for a horizontal filter of that radius.
inline void MirrorBorders(float* buffer, int width, int radius) {
    float* const row = buffer + radius;
    for (int k = 1; k <= radius; ++k) {
        row[-k] = row[k];
        row[width - 1 + k] = row[width - 1 - k];
    }
}

// Lays buffers out one after another, 64-byte aligned: first with no base, to count the
// bytes, then over the allocation.
class WorkArea {
public:
    explicit WorkArea(unsigned char* base) : base_(base) {}
    template <typename T>
    T* Take(int64_t count) {
        used_ = (used_ + 63) & ~int64_t{63};
        T* const taken = base_ == nullptr ? nullptr : reinterpret_cast<T*>(base_ + used_);
        used_ += count * static_cast<int64_t>(sizeof(T));
        return taken;
    }
    int64_t used() const { return used_; }

private:
    unsigned char* base_;
    int64_t used_ = 0;
};

// The working values of the picture's rows that a window of a filter needs, row p in slot
// p % slots: a window of `slots` consecutive rows, mirrored rows included, fits.
class RowRing {
public:
    RowRing(float* slots, int slot_count, int width)
        : slots_(slots), slot_count_(slot_count), width_(width) {}

    void Restart(int first_row) { next_row_ = first_row; }
    void ConvertThrough(const VmafKernels& kernels, LumaPlane picture, int last_row) {
        for (; next_row_ <= last_row; ++next_row_) {
            kernels.working_row(picture.first + static_cast<ptrdiff_t>(next_row_) * picture.pitch,
                                width_, Row(next_row_));
        }
    }
    float* Row(int row) const {
        return slots_ + static_cast<ptrdiff_t>(row % slot_count_) * width_;
    }

private:
    float* slots_;
    int slot_count_;
    int width_;
    int next_row_ = 0;
};

inline int BlockCount(RowTeam* team, int width, int rows) {
    if (team == nullptr) return 1;
    return std::clamp(team->BlocksFor(int64_t{width} * rows), 1, std::min(rows, MAX_BLOCKS));
}

inline int BlockStart(int block, int block_count, int rows) {
    return static_cast<int>(int64_t{block} * rows / block_count);
}

// Runs pass(block) for every block, on the team when there is more than one.
template <typename Pass>
void RunBlocks(RowTeam* team, int block_count, const Pass& pass) {
    if (block_count == 1) {
        pass(0);
        return;
    }
    team->RunBlocks(
        block_count,
        [](void* context, int block) { (*static_cast<const Pass*>(context))(block); },
        const_cast<Pass*>(&pass));
}

}  // namespace morvith::vmaf_rows
