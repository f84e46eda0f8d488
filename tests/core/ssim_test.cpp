#include "ssim.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <string_view>

#include "build_team.h"
#include "guarded_picture.h"
#include "result_line.h"

namespace morvith {
namespace {

using testing::GuardedPicture;

SsimMomentsTriple Moments(const GuardedPicture& a, const GuardedPicture& b, bool parallel = false) {
    return MeasureSsimMoments(a.data(), b.data(), a.width(), a.height(), a.pitch(),
                           parallel ? &testing::BuildTeam() : nullptr);
}

// The three values as the title shows them, "y cb cr".
std::string Shown(const SsimMomentsTriple& m) {
    const std::string line(
        ComposeSsimLine({SsimFromMoments(m.y), SsimFromMoments(m.cb), SsimFromMoments(m.cr)}, 0));
    return line.substr(0, line.size() - std::string_view(" 0[ms]").size());
}

TEST(Ssim, ConstantsAreTheNearestDoublesOfTheirProducts) {
    EXPECT_EQ(SSIM_C1, (0.01 * 4096) * (0.01 * 4096));
    EXPECT_EQ(SSIM_C2, (0.03 * 4096) * (0.03 * 4096));
}

TEST(Ssim, IdenticalRectanglesShowOne) {
    GuardedPicture a(33, 17, 40), b(33, 17, 40);
    a.FillRandom(9, -4000, 4000);
    b.FillRandom(9, -4000, 4000);
    EXPECT_EQ(Shown(Moments(a, b)), "1 1 1");
}

TEST(Ssim, ConstantRectanglesReduceToTheMeanTerm) {
    GuardedPicture a(64, 8, 64), b(64, 8, 64);
    a.Fill({1024, 0, 0});
    b.Fill({2048, 0, 0});
    const SsimMomentsTriple m = Moments(a, b);
    EXPECT_EQ(m.y.mean_a, 1024.0);
    EXPECT_EQ(m.y.mean_b, 2048.0);
    EXPECT_EQ(m.y.variance_a, 0.0);
    EXPECT_EQ(m.y.covariance, 0.0);
    // Gray: Cb and Cr are 0 in both, whatever Y is.
    EXPECT_EQ(Shown(m), "0.800064 1 1");
}

TEST(Ssim, BlackAgainstWhiteIsShownInExponentNotation) {
    GuardedPicture a(3, 3, 3), b(3, 3, 3);
    a.Fill({0, 0, 0});
    b.Fill({4096, 0, 0});
    const double y = SsimFromMoments(Moments(a, b).y);
    EXPECT_NEAR(y, 1677.7216 / (4096.0 * 4096.0 + 1677.7216), 1e-15);
    const std::string text(FormatMeasure(y));
    EXPECT_TRUE(text == "9.999e-05" || text == "9.999e-005") << text;
}

TEST(Ssim, SingleSampleHasNoVarianceOrCovariance) {
    GuardedPicture a(1, 1, 1), b(1, 1, 1);
    a.Fill({100, -50, 7});
    b.Fill({300, -50, 9});
    const SsimMomentsTriple m = Moments(a, b);
    EXPECT_EQ(m.y.variance_a, 0.0);
    EXPECT_EQ(m.y.variance_b, 0.0);
    EXPECT_EQ(m.y.covariance, 0.0);
    const double mean_term = (2.0 * 100 * 300 + SSIM_C1) / (100.0 * 100 + 300.0 * 300 + SSIM_C1);
    EXPECT_NEAR(SsimFromMoments(m.y), mean_term, 1e-15);
    EXPECT_EQ(SsimFromMoments(m.cb), 1.0);
}

TEST(Ssim, MirroredPatternsHaveNegativeCovariance) {
    GuardedPicture a(20, 10, 23), b(20, 10, 23);
    for (int r = 0; r < 10; ++r) {
        for (int c = 0; c < 20; ++c) {
            const int16_t delta = ((r + c) % 2 == 0) ? 100 : -100;
            a.at(c, r) = PixelYC{static_cast<int16_t>(2048 + delta), 0, 0};
            b.at(c, r) = PixelYC{static_cast<int16_t>(2048 - delta), 0, 0};
        }
    }
    const SsimMomentsTriple m = Moments(a, b);
    EXPECT_EQ(m.y.variance_a, 10000.0);
    EXPECT_EQ(m.y.covariance, -10000.0);
    EXPECT_EQ(FormatMeasure(SsimFromMoments(m.y)), "-0.139618");
}

TEST(Ssim, MomentsAreCentredNotRawSumsOfSquares) {
    // Large means with a tiny spread: raw sums of squares would lose the variance.
    GuardedPicture a(1000, 100, 1000), b(1000, 100, 1000);
    for (int r = 0; r < 100; ++r)
        for (int c = 0; c < 1000; ++c)
            a.at(c, r) = b.at(c, r) = PixelYC{static_cast<int16_t>(30000 + (c % 2)), 0, 0};
    const SsimMomentsTriple m = Moments(a, b);
    EXPECT_EQ(m.y.mean_a, 30000.5);
    EXPECT_EQ(m.y.variance_a, 0.25);
    EXPECT_EQ(m.y.covariance, 0.25);
}

TEST(Ssim, ParallelRunEqualsSerialToTheBit) {
    GuardedPicture a(1920, 270, 1930), b(1920, 270, 1930);
    a.FillRandom(21, -2048, 4096);
    b.FillRandom(22, -2048, 4096);
    EXPECT_EQ(Moments(a, b, false), Moments(a, b, true));
}

// The moments come from N^2 variance = N S(aa) - S(a)^2 in integers past 64 bits: a full
// 4K picture of extremes makes N S(aa) about 2^75, and a carry or a high word lost anywhere
// moves the result far from the exact value.
TEST(Ssim, ExactMomentsOfExtremePicturesPastSixtyFourBits) {
    GuardedPicture a(3840, 2160, 3840), b(3840, 2160, 3840);
    for (int r = 0; r < 2160; ++r) {
        for (int c = 0; c < 3840; ++c) {
            const bool odd = (c + r) % 2 != 0;
            a.at(c, r) = PixelYC{static_cast<int16_t>(odd ? 32767 : -32768), -32768, 32767};
            b.at(c, r) = PixelYC{static_cast<int16_t>(odd ? -32768 : 32767), -32768, -32768};
        }
    }
    const SsimMomentsTriple m = Moments(a, b, true);
    // Half the samples at each end: mean -1/2, variance 32767.5^2, covariance its negative.
    EXPECT_EQ(m.y.mean_a, -0.5);
    EXPECT_DOUBLE_EQ(m.y.variance_a, 32767.5 * 32767.5);
    EXPECT_DOUBLE_EQ(m.y.covariance, -32767.5 * 32767.5);
    EXPECT_EQ(m.cb.variance_a, 0.0);
    EXPECT_EQ(m.cb.covariance, 0.0);
    EXPECT_EQ(m.cr.mean_b, -32768.0);
    EXPECT_EQ(m.cr.covariance, 0.0);
}

TEST(Ssim, ExtremeSamplesKeepExactMeans) {
    GuardedPicture a(300, 7, 301), b(300, 7, 301);
    a.Fill({32767, -32768, 32767});
    b.Fill({-32768, 32767, -32768});
    const SsimMomentsTriple m = Moments(a, b, true);
    EXPECT_EQ(m.y.mean_a, 32767.0);
    EXPECT_EQ(m.y.mean_b, -32768.0);
    EXPECT_EQ(m.cb.variance_a, 0.0);
    EXPECT_LT(SsimFromMoments(m.y), 0.0);
}

}  // namespace
}  // namespace morvith
