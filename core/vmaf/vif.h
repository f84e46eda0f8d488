#pragma once

// VIF at four scales. Scale 0 streams through a ring of rows of both pictures (its 17-tap
// statistics and the 9-tap decimation into scale 1 made row by row); scales 1 to 3, a
// quarter of the samples and less, are held whole.

#include <cstdint>

#include "row_team.h"
#include "vmaf/vmaf.h"
#include "vmaf/vmaf_kernels.h"
#include "vmaf/vmaf_rows.h"

namespace morvith {

class VifWorkspace {
public:
    // Takes its buffers from `area` (counting only, when the area has no base).
    void Lay(vmaf_rows::WorkArea& area, int width, int height);

    // vif_scale0 .. vif_scale3 of the pair; the reference blurred for motion into
    // `blurred_reference` on the way, from the same working rows.
    void Measure(const VmafKernels& kernels, LumaPlane reference, LumaPlane distorted,
                 float* blurred_reference, RowTeam* team, double scores[4]);

    struct Block {
        float* ring[2];        // working rows of R and D at scale 0
        float* vertical[5];    // the statistics down the columns, with mirrored borders
        float* horizontal[5];  // and across
        float* decimation;     // one picture's next-scale filter down the columns
        float* blur;           // motion's filter down the columns
    };

private:
    int width_ = 0;
    int height_ = 0;
    float* planes_[4][2] = {};  // R_s, D_s for scales 1 .. 3
    VifRowSums* row_sums_[4] = {};
    Block blocks_[vmaf_rows::MAX_BLOCKS] = {};
};

}  // namespace morvith
