#pragma once

// VMAF with the model vmaf_v0.6.1 on the Y of the host's pictures, computed from the
// float features (VIF at four scales, ADM's adm2, the reference's motion2) as the
// reference implementation's float path defines them.
//
// A picture the host hands out is valid only until the plug-in's next service call, so a
// series takes one picture (or one pair) at a time, in display order: the reference of
// the frame before the first one (where the clip has one), each frame's pair, then the
// reference of the frame after the last one (where the clip has one). A frame's score is
// complete once its motion2 is: when the next frame's reference has been taken, or when
// the series ends without one.

#include <cstdint>

#include "pixel.h"
#include "row_team.h"

namespace morvith {

// Narrower or lower pictures leave ADM's and VIF's filters reading past their mirrors.
inline constexpr int VMAF_MIN_SIZE = 17;

// The six features the model reads, in the model's order.
struct VmafFeatures {
    double adm2 = 0;
    double motion2 = 0;
    double vif_scale[4] = {};
};

struct VmafFrame {
    double score = 0;  // 0 .. 100
    VmafFeatures features;
};

// The model: normalisation, the support vector regression, clipping to 0 .. 100.
double VmafScore(const VmafFeatures& features);

// The pooled scores of a clip's frames (count at least 1).
struct VmafSummary {
    double mean = 0;
    double harmonic_mean = 0;
    double min = 0;
    double max = 0;
};
VmafSummary SummarizeVmaf(const double* scores, int count);

// The Y samples of a picture as the host lays it out: sample (r, c) is
// first[r * pitch + c].y. A Y outside 0 .. FULL_SCALE is used as it is.
struct LumaPlane {
    const PixelYC* first;
    int pitch;
};

// A series of frames of one size, with the working memory it needs, kept between series
// of that size.
class VmafSeries {
public:
    VmafSeries();
    ~VmafSeries();
    VmafSeries(const VmafSeries&) = delete;
    VmafSeries& operator=(const VmafSeries&) = delete;

    // Has the working memory for width x height (each at least VMAF_MIN_SIZE), keeping
    // what it has when the size is the same; false when memory is refused, and then it
    // holds none.
    bool Prepare(int width, int height);
    void Release();

    // The bytes Prepare asks for at that size.
    static int64_t WorkingBytes(int width, int height);

    // Starts a series at the clip's first frame (no frame before it: motion 0), or after
    // the reference of the frame before the series' first frame.
    void Begin();
    void BeginAfter(LumaPlane reference_before, RowTeam* team);

    // The next frame's pair. True when this completes the previous frame, whose score and
    // features it writes to `completed`.
    bool TakeFrame(LumaPlane reference, LumaPlane distorted, RowTeam* team,
                   VmafFrame* completed);

    // Ends the series with the reference of the frame after its last one, or at the
    // clip's last frame. True when a frame was pending: its score goes to `last`.
    bool EndBefore(LumaPlane reference_after, RowTeam* team, VmafFrame* last);
    bool End(VmafFrame* last);

private:
    struct State;
    State* state_ = nullptr;
};

}  // namespace morvith
