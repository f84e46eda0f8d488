// VMAF against the reference implementation's values on the shared clips, and the closed
// forms of the definition.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "guarded_picture.h"
#include "vmaf/vmaf.h"
#include "vmaf_cases.h"

namespace morvith {
namespace {

using testing::GuardedPicture;
using testing::LoadVmafCase;
using testing::VmafCase;


constexpr double kVifBound = 5e-5;
constexpr double kMotionBound = 5e-5;
constexpr double kAdmBound = 1e-6;
constexpr double kScoreBound = 5e-3;

// Each frame's pictures between guard pages, rows wider than the picture.
struct CaseFrames {
    std::vector<std::unique_ptr<GuardedPicture>> reference, distorted;

    explicit CaseFrames(const VmafCase& clip) {
        for (int t = 0; t < clip.frame_count; ++t) {
            reference.push_back(Picture(clip, clip.ReferenceY(t)));
            distorted.push_back(Picture(clip, clip.DistortedY(t)));
        }
    }
    static std::unique_ptr<GuardedPicture> Picture(const VmafCase& clip, const int16_t* y) {
        auto picture = std::make_unique<GuardedPicture>(clip.width, clip.height, clip.width + 3);
        for (int r = 0; r < clip.height; ++r) {
            for (int c = 0; c < clip.width; ++c) {
                picture->at(c, r) = PixelYC{y[r * clip.width + c], 0, 0};
            }
        }
        return picture;
    }
    static LumaPlane Plane(const GuardedPicture& picture) {
        return {picture.data(), picture.pitch()};
    }
};

// Frames first .. end - 1 of a clip as a series: after the frame before it and before the
// frame after it where the clip has them.
std::vector<VmafFrame> RunSeries(VmafSeries& series, const CaseFrames& frames, int first,
                                 int end, RowTeam* team = nullptr) {
    std::vector<VmafFrame> scored;
    VmafFrame frame;
    if (first == 0) {
        series.Begin();
    } else {
        series.BeginAfter(CaseFrames::Plane(*frames.reference[first - 1]), team);
    }
    for (int t = first; t < end; ++t) {
        const bool completed = series.TakeFrame(CaseFrames::Plane(*frames.reference[t]),
                                                CaseFrames::Plane(*frames.distorted[t]), team,
                                                &frame);
        EXPECT_EQ(completed, t > first);
        if (completed) scored.push_back(frame);
    }
    const bool last = end == static_cast<int>(frames.reference.size())
                          ? series.End(&frame)
                          : series.EndBefore(CaseFrames::Plane(*frames.reference[end]), team,
                                             &frame);
    EXPECT_TRUE(last);
    scored.push_back(frame);
    return scored;
}

void ExpectSameFrame(const VmafFrame& a, const VmafFrame& b, const std::string& where) {
    EXPECT_EQ(a.score, b.score) << where;
    EXPECT_EQ(a.features.adm2, b.features.adm2) << where;
    EXPECT_EQ(a.features.motion2, b.features.motion2) << where;
    for (int s = 0; s < 4; ++s) EXPECT_EQ(a.features.vif_scale[s], b.features.vif_scale[s]) << where;
}

TEST(Vmaf, MatchesTheReferenceOnEverySharedCase) {
    for (const std::string& name : testing::VmafCaseNames()) {
        const VmafCase clip = LoadVmafCase(name);
        const CaseFrames frames(clip);
        VmafSeries series;
        ASSERT_TRUE(series.Prepare(clip.width, clip.height)) << name;
        const std::vector<VmafFrame> scored = RunSeries(series, frames, 0, clip.frame_count);
        ASSERT_EQ(static_cast<int>(scored.size()), clip.frame_count) << name;
        std::vector<double> scores;
        for (int t = 0; t < clip.frame_count; ++t) {
            const std::string where = name + " frame " + std::to_string(t);
            const VmafFeatures& f = scored[t].features;
            const char* const vif_names[4] = {"vif_scale0", "vif_scale1", "vif_scale2", "vif_scale3"};
            for (int s = 0; s < 4; ++s) {
                EXPECT_NEAR(f.vif_scale[s], clip.Metric(t, vif_names[s]), kVifBound) << where;
            }
            EXPECT_NEAR(f.motion2, clip.Metric(t, "motion2"), kMotionBound) << where;
            // The model alone, on the reference's own features: both of its scores.
            const VmafFeatures float_features{
                clip.Metric(t, "adm2"), clip.Metric(t, "motion2"),
                {clip.Metric(t, "vif_scale0"), clip.Metric(t, "vif_scale1"),
                 clip.Metric(t, "vif_scale2"), clip.Metric(t, "vif_scale3")}};
            EXPECT_NEAR(VmafScore(float_features), clip.Metric(t, "vmaf_float"), 1e-6) << where;
            const VmafFeatures integer_features{
                clip.Metric(t, "integer_adm2"), clip.Metric(t, "integer_motion2"),
                {clip.Metric(t, "integer_vif_scale0"), clip.Metric(t, "integer_vif_scale1"),
                 clip.Metric(t, "integer_vif_scale2"), clip.Metric(t, "integer_vif_scale3")}};
            EXPECT_NEAR(VmafScore(integer_features), clip.Metric(t, "vmaf"), 1e-6) << where;
            EXPECT_NEAR(f.adm2, clip.Metric(t, "adm2"), kAdmBound) << where;
            EXPECT_NEAR(scored[t].score, clip.Metric(t, "vmaf_float"), kScoreBound) << where;
            scores.push_back(scored[t].score);
        }
        const VmafSummary summary = SummarizeVmaf(scores.data(), clip.frame_count);
        EXPECT_NEAR(summary.mean, clip.pooled_vmaf_float.mean, kScoreBound) << name;
        EXPECT_NEAR(summary.harmonic_mean, clip.pooled_vmaf_float.harmonic_mean, kScoreBound)
            << name;
        EXPECT_NEAR(summary.min, clip.pooled_vmaf_float.min, kScoreBound) << name;
        EXPECT_NEAR(summary.max, clip.pooled_vmaf_float.max, kScoreBound) << name;
        // Not 100: the faintly textured patches of identical pictures score below 1.
        if (name == "testsrc2-same") {
            EXPECT_NEAR(summary.mean, 97.428, 5e-4);
        }
        // The clip's middle frames as a series of their own, between its neighbours' references.
        if (clip.frame_count >= 3) {
            const std::vector<VmafFrame> middle =
                RunSeries(series, frames, 1, clip.frame_count - 1);
            for (int t = 1; t + 1 < clip.frame_count; ++t) {
                ExpectSameFrame(middle[t - 1], scored[t], name + " middle frame " + std::to_string(t));
            }
        }
    }
}

// Flat pictures take the low-variance branch everywhere with no variance at all.
TEST(Vmaf, ConstantPicturesGiveEveryScaleExactlyOneAndNoMotion) {
    for (const auto& [width, height] : {std::pair{17, 17}, std::pair{64, 48}, std::pair{33, 21}}) {
        GuardedPicture reference(width, height, width + 1), distorted(width, height, width);
        reference.Fill(PixelYC{1000, 7, -7});
        VmafSeries series;
        ASSERT_TRUE(series.Prepare(width, height));
        series.Begin();
        VmafFrame frame;
        for (int16_t y : {-300, 4096, 2000}) {
            distorted.Fill(PixelYC{y, 0, 0});
            series.TakeFrame({reference.data(), reference.pitch()},
                             {distorted.data(), distorted.pitch()}, nullptr, &frame);
        }
        ASSERT_TRUE(series.End(&frame));
        for (int s = 0; s < 4; ++s) EXPECT_EQ(frame.features.vif_scale[s], 1.0) << width;
        EXPECT_EQ(frame.features.motion2, 0.0) << width;
    }
}

TEST(Vmaf, RefusesAreasBelowTheSmallestAndKeepsItsMemoryWithinBounds) {
    VmafSeries series;
    EXPECT_TRUE(series.Prepare(VMAF_MIN_SIZE, VMAF_MIN_SIZE));
    EXPECT_FALSE(series.Prepare(VMAF_MIN_SIZE - 1, 1080));
    EXPECT_FALSE(series.Prepare(1920, VMAF_MIN_SIZE - 1));
    EXPECT_EQ(VmafSeries::WorkingBytes(VMAF_MIN_SIZE - 1, 1080), 0);
    // Refused, the series holds nothing and takes no picture.
    VmafFrame frame;
    series.Begin();
    EXPECT_FALSE(series.TakeFrame({nullptr, 0}, {nullptr, 0}, nullptr, &frame));
    EXPECT_FALSE(series.End(&frame));
    EXPECT_LE(VmafSeries::WorkingBytes(1920, 1080), int64_t{64} << 20);
    EXPECT_GT(VmafSeries::WorkingBytes(1920, 1080), VmafSeries::WorkingBytes(1280, 720));
}

}  // namespace
}  // namespace morvith
