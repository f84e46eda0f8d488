// Every fast kernel against the scalar reference on the same inputs, once per kernel path
// that this processor supports.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "guarded_picture.h"
#include "psnr.h"
#include "row_kernels.h"
#include "ssim.h"

namespace morvith {
namespace {

using testing::GuardedPicture;
using testing::GuardPlacement;

// 241 is 15 blocks of 16 and a sample: a lone last block after the first flush of pass two.
constexpr int kWidths[] = {1, 2, 3, 7, 8, 9, 15, 16, 17, 31, 33, 241, 1921};
constexpr int kHeights[] = {1, 2, 5};
constexpr uint32_t kSeeds[] = {11, 12, 13};

// A rectangle of width samples. After: its last sample ends at the guard page and its
// first sample is not 16-byte aligned, one or two columns into a wider picture. Before: its
// first sample starts right after the guard page (and so is aligned).
class Rectangle {
public:
    Rectangle(int width, int height, int pitch_extra,
              GuardPlacement placement = GuardPlacement::After) {
        if (placement == GuardPlacement::Before) {
            picture_ = std::make_unique<GuardedPicture>(width, height, width + pitch_extra,
                                                        placement);
            skip_ = 0;
            return;
        }
        for (int skip = 1; skip <= 2; ++skip) {
            picture_ = std::make_unique<GuardedPicture>(width + skip, height,
                                                        width + skip + pitch_extra, placement);
            skip_ = skip;
            if (reinterpret_cast<uintptr_t>(first()) % 16 != 0) break;
        }
    }
    GuardedPicture& picture() { return *picture_; }
    const PixelYC* first() const { return picture_->data() + skip_; }
    PixelYC& at(int column, int row) { return picture_->at(column + skip_, row); }
    int pitch() const { return picture_->pitch(); }

private:
    std::unique_ptr<GuardedPicture> picture_;
    int skip_ = 1;
};

// Tolerance of a pass-two moment: relative to its own size or, for a covariance that
// cancels towards zero, to the geometric mean of the two variances.
void ExpectMomentsNear(const SsimMoments& fast, const SsimMoments& reference,
                       const std::string& where) {
    EXPECT_EQ(fast.mean_a, reference.mean_a) << where;
    EXPECT_EQ(fast.mean_b, reference.mean_b) << where;
    const double spread = std::sqrt(reference.variance_a * reference.variance_b);
    const auto near = [&](double value, double expected, const char* what) {
        const double scale = std::max({std::fabs(expected), spread, 1e-2});
        EXPECT_NEAR(value, expected, 1e-10 * scale) << what << ' ' << where;
    };
    near(fast.variance_a, reference.variance_a, "variance_a");
    near(fast.variance_b, reference.variance_b, "variance_b");
    near(fast.covariance, reference.covariance, "covariance");
}

class FastKernels : public ::testing::TestWithParam<KernelPath> {
protected:
    void SetUp() override {
        kernels_ = RowKernelsFor(GetParam());
        if (kernels_ == nullptr) GTEST_SKIP() << KernelPathName(GetParam()) << " unsupported";
    }
    void TearDown() override { LimitKernelPath(KernelPath::Avx2); }

    // Both measurements of one pair, fast serial and threaded against the reference.
    void ExpectMatchesReference(const Rectangle& a, const Rectangle& b, int width, int height,
                                const std::string& where) {
        const SquaredErrorTriple sse_reference = SumSquaredErrorReference(
            a.first(), b.first(), width, height, a.pitch(), false);
        const SsimMomentsTriple moments_reference = MeasureSsimMomentsReference(
            a.first(), b.first(), width, height, a.pitch(), false);
        for (bool parallel : {false, true}) {
            const std::string case_name = where + (parallel ? " threaded" : " serial");
            EXPECT_EQ(SumSquaredErrorWith(*kernels_, a.first(), b.first(), width, height,
                                          a.pitch(), parallel),
                      sse_reference)
                << case_name;
            const SsimMomentsTriple moments = MeasureSsimMomentsWith(
                *kernels_, a.first(), b.first(), width, height, a.pitch(), parallel);
            ExpectMomentsNear(moments.y, moments_reference.y, "y " + case_name);
            ExpectMomentsNear(moments.cb, moments_reference.cb, "cb " + case_name);
            ExpectMomentsNear(moments.cr, moments_reference.cr, "cr " + case_name);
        }
    }

    const RowKernels* kernels_ = nullptr;
};

TEST_P(FastKernels, MatchReferenceOnRandomPicturesOfEveryShape) {
    struct Range {
        int low, high;
    };
    // The full int16 range, where deviations leave the integer moment path, and the host's
    // own range, where they stay in it.
    for (GuardPlacement placement : {GuardPlacement::After, GuardPlacement::Before}) {
        for (Range range : {Range{-32768, 32767}, Range{-2048, 4096}}) {
            for (int width : kWidths) {
                for (int height : kHeights) {
                    for (uint32_t seed : kSeeds) {
                        Rectangle a(width, height, 3, placement), b(width, height, 3, placement);
                        a.picture().FillRandom(seed, range.low, range.high);
                        b.picture().FillRandom(seed + 1000, range.low, range.high);
                        ExpectMatchesReference(
                            a, b, width, height,
                            std::to_string(width) + "x" + std::to_string(height) + " seed " +
                                std::to_string(seed) + " range " + std::to_string(range.low) +
                                " guard " + GuardPlacementName(placement));
                    }
                }
            }
        }
    }
}

TEST_P(FastKernels, ExtremesAgainstEachOther) {
    for (int width : kWidths) {
        Rectangle a(width, 5, 7), b(width, 5, 7);
        a.picture().Fill({-32768, 32767, -32768});
        b.picture().Fill({32767, -32768, 32767});
        ExpectMatchesReference(a, b, width, 5, "extremes " + std::to_string(width));
        const uint64_t expected = uint64_t(width) * 5 * 4294836225ull;
        EXPECT_EQ(SumSquaredErrorWith(*kernels_, a.first(), b.first(), width, 5, a.pitch(),
                                      false),
                  (SquaredErrorTriple{expected, expected, expected}));
    }
}

TEST_P(FastKernels, DeviationsAtTheIntegerPathLimitAreExact) {
    // y alternates 0 and 16382 around the mean 8191: every deviation is +-8191 and every
    // product 8191^2, the most that the 32-bit lanes take between flushes.
    for (int width : {16, 640, 1922}) {
        Rectangle a(width, 3, 2), b(width, 3, 2);
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < width; ++c) {
                const int16_t y = c % 2 == 0 ? 0 : 16382;
                a.at(c, r) = {y, static_cast<int16_t>(-y), y};
                b.at(c, r) = {y, y, static_cast<int16_t>(-y)};
            }
        }
        const SsimMomentsTriple m =
            MeasureSsimMomentsWith(*kernels_, a.first(), b.first(), width, 3, a.pitch(), false);
        EXPECT_EQ(m.y.variance_a, 8191.0 * 8191.0);
        EXPECT_EQ(m.y.covariance, 8191.0 * 8191.0);
        EXPECT_EQ(m.cb.covariance, -8191.0 * 8191.0);
        EXPECT_EQ(m.cr.covariance, -8191.0 * 8191.0);
    }
}

TEST_P(FastKernels, RowWithAnOutlierAmongOrdinaryRows) {
    // One sample far from the mean sends its row the long way; the others stay fast.
    Rectangle a(1921, 5, 3), b(1921, 5, 3);
    a.picture().FillRandom(21, 0, 4096);
    b.picture().FillRandom(22, 0, 4096);
    a.at(700, 2).cb = 32767;
    b.at(1920, 4).y = -32768;
    ExpectMatchesReference(a, b, 1921, 5, "outliers");
}

TEST_P(FastKernels, PinnedPathServesThePublicCalls) {
    LimitKernelPath(GetParam());
    EXPECT_EQ(ActiveKernelPath(), GetParam());
    Rectangle a(33, 5, 4), b(33, 5, 4);
    a.picture().FillRandom(31, 0, 4096);
    b.picture().FillRandom(32, 0, 4096);
    EXPECT_EQ(SumSquaredError(a.first(), b.first(), 33, 5, a.pitch(), true),
              SumSquaredErrorReference(a.first(), b.first(), 33, 5, a.pitch(), false));
    const SsimMomentsTriple fast = MeasureSsimMoments(a.first(), b.first(), 33, 5, a.pitch(), true);
    const SsimMomentsTriple reference =
        MeasureSsimMomentsReference(a.first(), b.first(), 33, 5, a.pitch(), false);
    ExpectMomentsNear(fast.y, reference.y, "y");
    ExpectMomentsNear(fast.cr, reference.cr, "cr");
}

INSTANTIATE_TEST_SUITE_P(Paths, FastKernels, ::testing::Values(KernelPath::Sse2, KernelPath::Avx2),
                         [](const ::testing::TestParamInfo<KernelPath>& info) {
                             return std::string(KernelPathName(info.param));
                         });

TEST(KernelDispatch, LimitCapsAtScalarAndBestIsSupported) {
    EXPECT_NE(RowKernelsFor(KernelPath::Scalar), nullptr);
    EXPECT_NE(RowKernelsFor(BestSupportedPath()), nullptr);
    LimitKernelPath(KernelPath::Scalar);
    EXPECT_EQ(ActiveKernelPath(), KernelPath::Scalar);
    EXPECT_EQ(&ActiveRowKernels(), &ScalarRowKernels());
    LimitKernelPath(KernelPath::Avx2);
    EXPECT_EQ(ActiveKernelPath(), BestSupportedPath());
}

}  // namespace
}  // namespace morvith
