#pragma once

// The reference's blur for motion (5 taps down the columns, then across, in float32) into
// a plane kept for the next frame, and the mean absolute difference of two such planes.

#include <cstdint>

#include "row_team.h"
#include "vmaf/vmaf.h"
#include "vmaf/vmaf_kernels.h"
#include "vmaf/vmaf_rows.h"

namespace morvith {

class MotionWorkspace {
public:
    void Lay(vmaf_rows::WorkArea& area, int width, int height);

    // Blurs the reference into plane 0 or 1.
    void Blur(const VmafKernels& kernels, LumaPlane reference, int plane, RowTeam* team);
    float* Plane(int plane) const { return planes_[plane]; }

    // One blurred row from the working rows around it (rows[k] at row i - 2 + k, mirrored),
    // `vertical` holding width + 4 samples: for a pass that has those rows at hand.
    static void BlurRow(const VmafKernels& kernels, const float* const rows[5], int width,
                        float* vertical, float* out);
    static constexpr int BLUR_RADIUS = 2;
    // The mean of |plane a - plane b|.
    double MeanAbsoluteDifference(const VmafKernels& kernels, int a, int b, RowTeam* team);

    struct Block {
        float* ring;
        float* vertical;  // with mirrored borders
    };

private:
    int width_ = 0;
    int height_ = 0;
    float* planes_[2] = {};
    double* row_sums_ = nullptr;
    Block blocks_[vmaf_rows::MAX_BLOCKS] = {};
};

}  // namespace morvith
