#include "vmaf/motion.h"

#include <bit>
#include <cstddef>

namespace morvith {
namespace {

using vmaf_rows::Mirror;

// The float32 taps of the reference implementation (not quite those of VIF's scale 2).
constexpr float TAPS[5] = {std::bit_cast<float>(0x3d5f2f87u), std::bit_cast<float>(0x3e7a0febu),
                           std::bit_cast<float>(0x3ece2434u), std::bit_cast<float>(0x3e7a0febu),
                           std::bit_cast<float>(0x3d5f2f87u)};
constexpr int RADIUS = 2;
constexpr int RING_ROWS = 2 * RADIUS + 1;

}  // namespace

void MotionWorkspace::Lay(vmaf_rows::WorkArea& area, int width, int height) {
    width_ = width;
    height_ = height;
    for (float*& plane : planes_) plane = area.Take<float>(int64_t{width} * height);
    row_sums_ = area.Take<double>(height);
    for (Block& block : blocks_) {
        block.ring = area.Take<float>(int64_t{RING_ROWS} * width);
        block.vertical = area.Take<float>(width + 2 * RADIUS);
    }
}

void MotionWorkspace::BlurRow(const VmafKernels& kernels, const float* const rows[5], int width,
                              float* vertical, float* out) {
    kernels.filter_vertical(rows, TAPS, RING_ROWS, width, vertical + RADIUS);
    vmaf_rows::MirrorBorders(vertical, width, RADIUS);
    kernels.filter_horizontal(vertical, TAPS, RING_ROWS, width, out);
}

void MotionWorkspace::Blur(const VmafKernels& kernels, LumaPlane reference, int plane,
                           RowTeam* team) {
    const int block_count = vmaf_rows::BlockCount(team, width_, height_);
    float* const out = planes_[plane];
    const auto pass = [&](int block_index) {
        const Block& block = blocks_[block_index];
        const int first = vmaf_rows::BlockStart(block_index, block_count, height_);
        const int end = vmaf_rows::BlockStart(block_index + 1, block_count, height_);
        vmaf_rows::RowRing ring(block.ring, RING_ROWS, width_);
        ring.Restart(std::max(0, first - RADIUS));
        const float* rows[RING_ROWS];
        for (int i = first; i < end; ++i) {
            ring.ConvertThrough(kernels, reference, std::min(height_ - 1, i + RADIUS));
            for (int k = 0; k < RING_ROWS; ++k) rows[k] = ring.Row(Mirror(i - RADIUS + k, height_));
            BlurRow(kernels, rows, width_, block.vertical, out + static_cast<ptrdiff_t>(i) * width_);
        }
    };
    vmaf_rows::RunBlocks(team, block_count, pass);
}

double MotionWorkspace::MeanAbsoluteDifference(const VmafKernels& kernels, int a, int b,
                                               RowTeam* team) {
    const int block_count = vmaf_rows::BlockCount(team, width_, height_);
    const auto pass = [&](int block_index) {
        const int first = vmaf_rows::BlockStart(block_index, block_count, height_);
        const int end = vmaf_rows::BlockStart(block_index + 1, block_count, height_);
        for (int i = first; i < end; ++i) {
            const ptrdiff_t offset = static_cast<ptrdiff_t>(i) * width_;
            row_sums_[i] = kernels.absolute_difference_row(planes_[a] + offset,
                                                           planes_[b] + offset, width_);
        }
    };
    vmaf_rows::RunBlocks(team, block_count, pass);
    double sum = 0;
    for (int i = 0; i < height_; ++i) sum += row_sums_[i];
    return sum / (static_cast<double>(width_) * height_);
}

}  // namespace morvith
