#include "vmaf/vif.h"

#include "vmaf/motion.h"

#include <bit>
#include <initializer_list>
#include <cstddef>

namespace morvith {
namespace {

using vmaf_rows::Mirror;
using vmaf_rows::MirrorBorders;

// The Gaussian taps of each scale in the reference implementation's float32 bits (its own
// rounding of them, which moves the scores by more than the bounds allow a double's).
struct Taps {
    int count;
    float w[17];
};

constexpr float Bits(uint32_t bits) { return std::bit_cast<float>(bits); }

constexpr Taps Symmetric(std::initializer_list<uint32_t> centre_out) {
    Taps taps{static_cast<int>(centre_out.size()) * 2 - 1, {}};
    const int radius = static_cast<int>(centre_out.size()) - 1;
    int k = 0;
    for (uint32_t bits : centre_out) {
        taps.w[radius + k] = Bits(bits);
        taps.w[radius - k] = Bits(bits);
        ++k;
    }
    return taps;
}

constexpr Taps SCALE_TAPS[4] = {
    Symmetric({0x3df33fb2, 0x3de8f3b3, 0x3dcc9a86, 0x3da4d021, 0x3d738495, 0x3d24fecf,
               0x3ccd0e7b, 0x3c69b9d9, 0x3bf453b8}),
    Symmetric({0x3e658dc1, 0x3e44ba13, 0x3df7a562, 0x3d64f57b, 0x3c9b77ec}),
    Symmetric({0x3ece2433, 0x3e7a0fea, 0x3d5f2f86}),
    Symmetric({0x3f2ad06f, 0x3e2a5f21}),
};

constexpr int MAX_RADIUS = 8;
constexpr int RING_ROWS = 2 * MAX_RADIUS + 1;

struct ScalePass {
    const VmafKernels& kernels;
    int scale;
    int width;
    int height;
    LumaPlane pictures[2];      // scale 0
    const float* planes[2];     // scales 1 .. 3
    float* next_planes[2];      // null at scale 3
    float* blurred;             // scale 0: the reference blurred for motion
    VifRowSums* row_sums;
    VifWorkspace::Block* blocks;
    int block_count;

    void operator()(int block_index) const {
        const VifWorkspace::Block& block = blocks[block_index];
        const Taps& taps = SCALE_TAPS[scale];
        const int radius = taps.count / 2;
        const int first = vmaf_rows::BlockStart(block_index, block_count, height);
        const int end = vmaf_rows::BlockStart(block_index + 1, block_count, height);
        vmaf_rows::RowRing rings[2] = {{block.ring[0], RING_ROWS, width},
                                       {block.ring[1], RING_ROWS, width}};
        for (vmaf_rows::RowRing& ring : rings) ring.Restart(std::max(0, first - radius));
        const auto row = [&](int picture, int r) -> const float* {
            if (scale == 0) return rings[picture].Row(r);
            return planes[picture] + static_cast<ptrdiff_t>(r) * width;
        };
        const VifStatistics vertical{block.vertical[0] + radius, block.vertical[1] + radius,
                                     block.vertical[2] + radius, block.vertical[3] + radius,
                                     block.vertical[4] + radius};
        const VifStatistics horizontal{block.horizontal[0], block.horizontal[1],
                                       block.horizontal[2], block.horizontal[3],
                                       block.horizontal[4]};
        const float* rows[2][17];
        for (int i = first; i < end; ++i) {
            if (scale == 0) {
                for (int picture = 0; picture < 2; ++picture) {
                    rings[picture].ConvertThrough(kernels, pictures[picture],
                                                  std::min(height - 1, i + radius));
                }
            }
            for (int k = 0; k < taps.count; ++k) {
                const int r = Mirror(i - radius + k, height);
                rows[0][k] = row(0, r);
                rows[1][k] = row(1, r);
            }
            kernels.vif_vertical(rows[0], rows[1], taps.w, taps.count, width, vertical);
            for (int q = 0; q < 5; ++q) {
                MirrorBorders(block.vertical[q], width, radius);
                kernels.filter_horizontal(block.vertical[q], taps.w, taps.count, width,
                                          block.horizontal[q]);
            }
            row_sums[i] = kernels.vif_terms(horizontal, width);
            if (scale == 0) {
                constexpr int blur_radius = MotionWorkspace::BLUR_RADIUS;
                const float* blur_rows[2 * blur_radius + 1];
                for (int k = 0; k <= 2 * blur_radius; ++k) {
                    blur_rows[k] = row(0, Mirror(i - blur_radius + k, height));
                }
                MotionWorkspace::BlurRow(kernels, blur_rows, width, block.blur,
                                         blurred + static_cast<ptrdiff_t>(i) * width);
            }

            if (next_planes[0] == nullptr || i % 2 != 0 || i / 2 >= height / 2) continue;
            const Taps& next = SCALE_TAPS[scale + 1];
            const int next_radius = next.count / 2;
            for (int picture = 0; picture < 2; ++picture) {
                for (int k = 0; k < next.count; ++k) {
                    rows[0][k] = row(picture, Mirror(i - next_radius + k, height));
                }
                kernels.filter_vertical(rows[0], next.w, next.count, width,
                                        block.decimation + next_radius);
                MirrorBorders(block.decimation, width, next_radius);
                kernels.decimate_horizontal(block.decimation, next.w, next.count, width / 2,
                            next_planes[picture] + static_cast<ptrdiff_t>(i / 2) * (width / 2));
            }
        }
    }
};

}  // namespace

void VifWorkspace::Lay(vmaf_rows::WorkArea& area, int width, int height) {
    width_ = width;
    height_ = height;
    for (int s = 0; s < 4; ++s) {
        const int64_t samples = int64_t{width >> s} * (height >> s);
        for (float*& plane : planes_[s]) plane = s == 0 ? nullptr : area.Take<float>(samples);
        row_sums_[s] = area.Take<VifRowSums>(height >> s);
    }
    for (Block& block : blocks_) {
        for (float*& ring : block.ring) ring = area.Take<float>(int64_t{RING_ROWS} * width);
        for (float*& row : block.vertical) row = area.Take<float>(width + 2 * MAX_RADIUS);
        for (float*& row : block.horizontal) row = area.Take<float>(width);
        block.decimation = area.Take<float>(width + 2 * MAX_RADIUS);
        block.blur = area.Take<float>(width + 2 * MotionWorkspace::BLUR_RADIUS);
    }
}

void VifWorkspace::Measure(const VmafKernels& kernels, LumaPlane reference,
                           LumaPlane distorted, float* blurred_reference, RowTeam* team,
                           double scores[4]) {
    for (int s = 0; s < 4; ++s) {
        const int width = width_ >> s;
        const int height = height_ >> s;
        ScalePass pass{kernels,
                       s,
                       width,
                       height,
                       {reference, distorted},
                       {planes_[s][0], planes_[s][1]},
                       {nullptr, nullptr},
                       blurred_reference,
                       row_sums_[s],
                       blocks_,
                       vmaf_rows::BlockCount(team, width, height)};
        if (s < 3) {
            pass.next_planes[0] = planes_[s + 1][0];
            pass.next_planes[1] = planes_[s + 1][1];
        }
        vmaf_rows::RunBlocks(team, pass.block_count, pass);
        double num = 0;
        double den = 0;
        for (int i = 0; i < height; ++i) {
            num += row_sums_[s][i].num;
            den += row_sums_[s][i].den;
        }
        const double score = num / den;
        scores[s] = s == 0 || score > 0 ? score : 0.0;
    }
}

}  // namespace morvith
