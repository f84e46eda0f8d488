#include "ssim.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <string_view>

#include "build_team.h"
#include "guarded_picture.h"
#include "literal_windowed_ssim.h"
#include "result_line.h"
#include "windowed_ssim.h"

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

// ---- Windowed SSIM -------------------------------------------------------------------

ChannelTriple<double> Windowed(const GuardedPicture& a, const GuardedPicture& b, int peak = 4096,
                               RowTeam* team = nullptr) {
    return MeasureWindowedSsim(a.data(), b.data(), a.width(), a.height(), a.pitch(), peak, team);
}

// Shapes with partial last blocks, more columns than one piece of blocks (1021: 255
// blocks) and more window rows than one chunk (2189 rows: 546), each serial and threaded,
// against the literal windows to the bit.
TEST(WindowedSsim, IsTheLiteralDefinitionOnEveryShape) {
    struct Shape {
        int width, height, low, high;
    };
    for (const Shape shape : {Shape{8, 8, 0, 4096}, Shape{9, 11, -2048, 4096}, Shape{11, 8, -32768, 32767},
                              Shape{33, 21, -2048, 4096}, Shape{1021, 9, -2048, 4096},
                              Shape{1021, 10, -32768, 32767}, Shape{21, 2189, -2048, 4096}}) {
        GuardedPicture a(shape.width, shape.height, shape.width + 3), b(shape.width, shape.height, shape.width + 3);
        a.FillRandom(41, shape.low, shape.high);
        b.FillRandom(42, shape.low, shape.high);
        for (int peak : {4096, 4095}) {
            const ChannelTriple<double> literal =
                testing::LiteralWindowedSsim(a.data(), b.data(), shape.width, shape.height, a.pitch(), peak);
            const std::string where = std::to_string(shape.width) + "x" + std::to_string(shape.height) + " peak " +
                                      std::to_string(peak);
            EXPECT_EQ(Windowed(a, b, peak), literal) << where;
            EXPECT_EQ(Windowed(a, b, peak, &testing::BuildTeam()), literal) << where << " threaded";
        }
    }
}

TEST(WindowedSsim, ClosedForms) {
    GuardedPicture a(19, 14, 21), b(19, 14, 21);
    a.FillRandom(5, -32768, 32767);
    b.FillRandom(5, -32768, 32767);
    EXPECT_EQ(Windowed(a, b), (ChannelTriple<double>{1.0, 1.0, 1.0}));

    // Flat chroma 10 apart enters as a file holds it, 2048 and 2058: only the mean term is
    // left, 1 - 10^2 64^2 / (S1^2 + S2^2 + C1). Signed, it would be about 0.21.
    a.Fill({1000, 0, -5});
    b.Fill({1000, 10, -5});
    const double s1 = 64.0 * 2048, s2 = 64.0 * 2058, c1 = 0.0001 * 4096.0 * 4096.0 * 64;
    const ChannelTriple<double> flat = Windowed(a, b);
    EXPECT_NEAR(flat.cb, (2 * s1 * s2 + c1) / (s1 * s1 + s2 * s2 + c1), 1e-15);
    EXPECT_EQ(std::string(FormatMeasure(flat.cb)), "0.999988");
    EXPECT_EQ(flat.cr, 1.0);

    // Below 8 samples across or down there is no window, and nothing is read.
    EXPECT_EQ(MeasureWindowedSsim(nullptr, nullptr, 7, 30, 30, 4096, nullptr), ChannelTriple<double>{});
    EXPECT_EQ(MeasureWindowedSsim(nullptr, nullptr, 30, 7, 30, 4096, nullptr), ChannelTriple<double>{});
}

}  // namespace
}  // namespace morvith
