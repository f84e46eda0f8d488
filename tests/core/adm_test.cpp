// adm2 against the reference implementation's values on the shared clips, and what holds
// whatever the pictures.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "build_team.h"
#include "guarded_picture.h"
#include "vmaf/adm_kernels.h"
#include "vmaf_cases.h"

namespace morvith {
namespace {

using testing::GuardedPicture;

// The rounding left between float32 pooling and ours is below 2.3e-7.
constexpr double kAdmTolerance = 1e-6;

LumaPlane Plane(const GuardedPicture& picture) { return {picture.data(), picture.pitch()}; }

void CopyY(const int16_t* y, GuardedPicture& picture) {
    for (int r = 0; r < picture.height(); ++r) {
        for (int c = 0; c < picture.width(); ++c) {
            picture.at(c, r) = PixelYC{y[r * picture.width() + c], 0, 0};
        }
    }
}

// Every frame of every clip, read from pictures with gaps between their rows; the active
// path with a team gives the reference's bits.
TEST(Adm, MatchesTheReferenceImplementationOnEveryClip) {
    for (const std::string& name : testing::VmafCaseNames()) {
        const testing::VmafCase clip = testing::LoadVmafCase(name);
        GuardedPicture reference(clip.width, clip.height, clip.width + 3);
        GuardedPicture distorted(clip.width, clip.height, clip.width + 3);
        AdmWorkspace workspace;
        ASSERT_TRUE(workspace.Prepare(clip.width, clip.height));
        for (int frame = 0; frame < clip.frame_count; ++frame) {
            CopyY(clip.ReferenceY(frame), reference);
            CopyY(clip.DistortedY(frame), distorted);
            const double adm2 = MeasureAdm2With(ScalarAdmKernels(), Plane(reference), Plane(distorted),
                                                clip.width, clip.height, workspace, nullptr);
            EXPECT_NEAR(adm2, clip.Metric(frame, "adm2"), kAdmTolerance) << name << " frame " << frame;
            EXPECT_EQ(MeasureAdm2(Plane(reference), Plane(distorted), clip.width, clip.height, workspace,
                                  &testing::BuildTeam()),
                      adm2)
                << name << " frame " << frame;
        }
    }
}

// Identical pictures restore every coefficient: exactly 1, at the smallest size, odd sizes
// and with samples far outside the host's range; a constant pair has only the noise floor.
TEST(Adm, IdenticalPicturesGiveExactlyOne) {
    struct Shape {
        int width, height, low, high;
    };
    for (const Shape shape : {Shape{17, 17, 0, 4096}, Shape{18, 31, -32768, 32767}, Shape{67, 45, -2048, 6000},
                              Shape{40, 17, 2048, 2048}}) {
        GuardedPicture picture(shape.width, shape.height, shape.width + 1);
        picture.FillRandom(shape.width * 100 + shape.height, shape.low, shape.high);
        AdmWorkspace workspace;
        ASSERT_TRUE(workspace.Prepare(shape.width, shape.height));
        EXPECT_EQ(MeasureAdm2(Plane(picture), Plane(picture), shape.width, shape.height, workspace, nullptr), 1.0)
            << shape.width << "x" << shape.height;
    }
}

// Distorted detail within 1 degree of the reference's only in float32's rounding: it counts
// as pointing the same way, so the stronger H is restored up to t and the weaker V is t;
// nothing is additive. A double angle test would mask it.
TEST(Adm, AngleTestRoundsInFloat32) {
    const float reference[3] = {-0x1.30b946p+6f, 0x1.2e528cp+6f, 0.0f};
    const float distorted[3] = {-0x1.33841ep+6f, 0x1.269f7ap+6f, 0.0f};
    const float* const reference_rows[3] = {&reference[0], &reference[1], &reference[2]};
    const float* const distorted_rows[3] = {&distorted[0], &distorted[1], &distorted[2]};
    double restored[3], masking = -1;
    double* const restored_rows[3] = {&restored[0], &restored[1], &restored[2]};
    ScalarAdmKernels().decouple(reference_rows, distorted_rows, 1, AdmWeights{{1, 1, 1}}, restored_rows,
                                &masking);
    EXPECT_EQ(masking, 0.0);
    EXPECT_EQ(restored[0], std::fabs(double{distorted[0]}));
}

// Below the smallest size, or with a workspace of another size, nothing is read: NaN. A
// size whose memory cannot be addressed is refused and leaves the workspace empty.
TEST(Adm, RefusesWhatItCannotMeasure) {
    GuardedPicture picture(17, 17, 17);
    picture.Fill(PixelYC{100, 0, 0});
    AdmWorkspace workspace;
    EXPECT_TRUE(std::isnan(MeasureAdm2(Plane(picture), Plane(picture), 17, 17, workspace, nullptr)));
    for (const auto& [width, height] : {std::pair{16, 17}, std::pair{17, 16}, std::pair{16, 16}}) {
        ASSERT_TRUE(workspace.Prepare(width, height));
        EXPECT_TRUE(std::isnan(MeasureAdm2(Plane(picture), Plane(picture), width, height, workspace, nullptr)))
            << width << "x" << height;
    }
    ASSERT_TRUE(workspace.Prepare(17, 17));
    EXPECT_EQ(MeasureAdm2(Plane(picture), Plane(picture), 17, 17, workspace, nullptr), 1.0);
    // Beyond a 32-bit address space: refused before any allocation (a 64-bit process would
    // ask the allocator, which a sanitizer answers by ending the test).
    if constexpr (sizeof(void*) == 4) {
        EXPECT_FALSE(workspace.Prepare(1 << 16, 1 << 16));
        EXPECT_TRUE(std::isnan(MeasureAdm2(Plane(picture), Plane(picture), 17, 17, workspace, nullptr)));
    }
    EXPECT_LE(AdmWorkspace::WorkingBytes(1920, 1080), 24 << 20);
}

}  // namespace
}  // namespace morvith
