// Every fast kernel against the scalar reference on the same inputs, once per kernel path
// that this processor supports.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "build_team.h"
#include "guarded_picture.h"
#include "literal_ssim.h"
#include "literal_windowed_ssim.h"
#include "psnr.h"
#include "result_line.h"
#include "row_kernels.h"
#include "ssim.h"
#include "vmaf/adm_kernels.h"
#include "vmaf/vmaf.h"
#include "vmaf/vmaf_kernels.h"

namespace morvith {
namespace {

using testing::GuardedPicture;
using testing::GuardPlacement;

// 241 is 15 blocks of 16 and a sample: a lone last block. A stretch of 32-bit lanes is 256
// samples with SSE2 and 512 with AVX2: 513 passes both, 1921 several of each.
constexpr int kWidths[] = {1, 2, 3, 7, 8, 9, 15, 16, 17, 31, 33, 241, 513, 1921};
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

// The exact moments against the literal two-pass ones, and what the user is shown of them.
void ExpectMomentsMatchLiteral(const SsimMoments& exact, const SsimMoments& literal, double n,
                               const std::string& where) {
    EXPECT_EQ(exact.mean_a, literal.mean_a) << where;
    EXPECT_EQ(exact.mean_b, literal.mean_b) << where;
    EXPECT_NEAR(exact.variance_a, literal.variance_a,
                testing::MomentTolerance(literal, literal.variance_a)) << "variance_a " << where;
    EXPECT_NEAR(exact.variance_b, literal.variance_b,
                testing::MomentTolerance(literal, literal.variance_b)) << "variance_b " << where;
    EXPECT_NEAR(exact.covariance, literal.covariance,
                testing::MomentTolerance(literal, literal.covariance)) << "covariance " << where;
    EXPECT_EQ(testing::CheckShownSsim(testing::OracleFromMoments(n, exact, literal),
                                      FormatMeasure(SsimFromMoments(exact))),
              "")
        << where;
}

class FastKernels : public ::testing::TestWithParam<KernelPath> {
protected:
    void SetUp() override {
        kernels_ = RowKernelsFor(GetParam());
        if (kernels_ == nullptr) GTEST_SKIP() << KernelPathName(GetParam()) << " unsupported";
    }
    void TearDown() override { LimitKernelPath(KernelPath::Avx2); }

    // Both measurements of one pair, fast serial and threaded, identical to the reference;
    // the reference's moments against the literal ones.
    void ExpectMatchesReference(const Rectangle& a, const Rectangle& b, int width, int height,
                                const std::string& where) {
        const SquaredErrorTriple sse_reference = SumSquaredErrorReference(
            a.first(), b.first(), width, height, a.pitch(), nullptr);
        const MomentSumsTriple sums_reference = SumMomentsWith(
            ScalarRowKernels(), a.first(), b.first(), width, height, a.pitch(), nullptr);
        for (RowTeam* team : {static_cast<RowTeam*>(nullptr), &testing::BuildTeam()}) {
            const std::string case_name = where + (team != nullptr ? " threaded" : " serial");
            EXPECT_EQ(SumSquaredErrorWith(*kernels_, a.first(), b.first(), width, height,
                                          a.pitch(), team),
                      sse_reference)
                << case_name;
            EXPECT_EQ(SumMomentsWith(*kernels_, a.first(), b.first(), width, height, a.pitch(),
                                     team),
                      sums_reference)
                << case_name;
        }
        const SsimMomentsTriple exact = MeasureSsimMomentsReference(
            a.first(), b.first(), width, height, a.pitch(), nullptr);
        const SsimMomentsTriple literal =
            testing::LiteralTwoPassMoments(a.first(), b.first(), width, height, a.pitch());
        const double n = static_cast<double>(width) * height;
        ExpectMomentsMatchLiteral(exact.y, literal.y, n, "y " + where);
        ExpectMomentsMatchLiteral(exact.cb, literal.cb, n, "cb " + where);
        ExpectMomentsMatchLiteral(exact.cr, literal.cr, n, "cr " + where);
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
                                      nullptr),
                  (SquaredErrorTriple{expected, expected, expected}));
    }
}

// Constant pictures whose sums are known: the int16 ends, where one pmaddwd of
// (-32768)^2 + (-32768)^2 wraps its 32-bit lane, and 5792, the largest sample whose sums
// of two squares stay on the fast path (2 * 5792^2 < 2^26), which fills every 32-bit lane
// to just below 2^31 at the end of a stretch. Rows of up to 3841 samples run through many
// stretches and end with lone blocks and tails.
TEST_P(FastKernels, ConstantPicturesAtTheEndsOfEveryPath) {
    struct Pair {
        int16_t a, b;
    };
    for (const Pair values : {Pair{-32768, -32768}, Pair{32767, 32767}, Pair{-32768, 32767},
                              Pair{5792, 5792}, Pair{-5792, 5792}, Pair{5792, -5793},
                              Pair{4096, 0}, Pair{-2048, 2048}}) {
        for (int width : {1, 16, 255, 256, 257, 511, 512, 513, 3840, 3841}) {
            const int height = 3;
            Rectangle a(width, height, 5), b(width, height, 5);
            a.picture().Fill({values.a, values.b, values.a});
            b.picture().Fill({values.b, values.a, values.a});
            const MomentSumsTriple sums = SumMomentsWith(*kernels_, a.first(), b.first(), width,
                                                         height, a.pitch(), nullptr);
            const int64_t n = int64_t{width} * height;
            const MomentSums expected_y{n * values.a, n * values.b, n * values.a * values.a,
                                        n * values.b * values.b, n * values.a * values.b};
            const MomentSums expected_cr{n * values.a, n * values.a, n * values.a * values.a,
                                         n * values.a * values.a, n * values.a * values.a};
            const std::string where = std::to_string(values.a) + "/" + std::to_string(values.b) +
                                      " width " + std::to_string(width);
            EXPECT_EQ(sums.y, expected_y) << where;
            EXPECT_EQ(sums.cr, expected_cr) << where;
            const int64_t d = int64_t{values.a} - values.b;
            EXPECT_EQ(SumSquaredErrorWith(*kernels_, a.first(), b.first(), width, height,
                                          a.pitch(), nullptr),
                      (SquaredErrorTriple{static_cast<uint64_t>(n * d * d),
                                          static_cast<uint64_t>(n * d * d), 0}))
                << where;
            ExpectMatchesReference(a, b, width, height, where);
        }
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

// Where a term of SSIM cancels exactly the value is 0, and only exact moments show it so:
// the literal two-pass covariance of this pair is off in its last bits and shows
// -2.58959e-15. Y: a checkerboard 2048 +- 87 against its mirror, three samples moved so
// that N^2 covariance = -2949120000 = -N^2 C2 / 2 with N = 625, and the structure term
// 2 covariance + C2 is 0. Cb: 32 in A against a mean of -16384 / 625 in B, so that the
// mean term 2 mean_a mean_b + C1 is 0.
TEST_P(FastKernels, TermsThatCancelExactlyShowZero) {
    Rectangle a(25, 25, 3), b(25, 25, 3);
    for (int r = 0; r < 25; ++r) {
        for (int c = 0; c < 25; ++c) {
            const int swing = (r + c) % 2 == 0 ? 87 : -87;
            a.at(c, r) = PixelYC{static_cast<int16_t>(2048 + swing), 32, 0};
            b.at(c, r) = PixelYC{static_cast<int16_t>(2048 - swing),
                                 static_cast<int16_t>(25 * r + c < 134 ? -27 : -26), 0};
        }
    }
    a.at(24, 24).y = 2048 + 25;
    b.at(24, 24).y = 2048 + 1;
    b.at(23, 24).y = 2048 + 87 - 51;
    ExpectMatchesReference(a, b, 25, 25, "cancelling terms");
    EXPECT_EQ(FormatMeasure(testing::OracleSsim(a.first(), b.first(), 25, 25, a.pitch()).y.literal),
              "-2.58959e-15");
    LimitKernelPath(GetParam());
    const SsimMomentsTriple m = MeasureSsimMoments(a.first(), b.first(), 25, 25, a.pitch(), nullptr);
    EXPECT_EQ(ComposeSsimLine({SsimFromMoments(m.y), SsimFromMoments(m.cb), SsimFromMoments(m.cr)}, 0),
              "0 0 1 0[ms]");
}

// Windowed SSIM on every path, serial and threaded, to the bit: random pictures of both
// ranges and both guard placements, constant ones at the int16 ends and at the fast path's
// limit, and host-range ones whose third and fourth rows of every block are -32768, whose
// squares wrap where the first two rows' do not; with rows that end in lone blocks,
// partial blocks and several pieces.
TEST_P(FastKernels, WindowedSsimMatchesTheReference) {
    enum class Wrapping { None, InA, InB };
    struct Fill {
        int low, high;
        Wrapping lower_block_rows = Wrapping::None;
    };
    for (GuardPlacement placement : {GuardPlacement::After, GuardPlacement::Before}) {
        for (const Fill fill : {Fill{-32768, 32767}, Fill{-2048, 4096}, Fill{-32768, -32768}, Fill{32767, 32767},
                                Fill{5792, 5792}, Fill{-5793, -5793}, Fill{-2048, 4096, Wrapping::InA},
                                Fill{-2048, 4096, Wrapping::InB}}) {
            for (int width : {8, 9, 15, 16, 17, 31, 33, 241, 513, 1921}) {
                for (int height : {8, 13}) {
                    Rectangle a(width, height, 3, placement), b(width, height, 3, placement);
                    a.picture().FillRandom(width, fill.low, fill.high);
                    b.picture().FillRandom(width + 1, fill.low == fill.high ? -fill.high - 1 : fill.low, fill.high);
                    Rectangle& wrapped = fill.lower_block_rows == Wrapping::InA ? a : b;
                    for (int y = 0; fill.lower_block_rows != Wrapping::None && y < height; ++y) {
                        if (y % 4 < 2) continue;
                        for (int x = 0; x < width; ++x) wrapped.at(x, y) = PixelYC{-32768, -32768, -32768};
                    }
                    const ChannelTriple<double> reference = MeasureWindowedSsimWith(
                        ScalarRowKernels(), a.first(), b.first(), width, height, a.pitch(), FULL_SCALE, nullptr);
                    const std::string where = std::to_string(width) + "x" + std::to_string(height) + " fill " +
                                              std::to_string(fill.low) + " guard " + GuardPlacementName(placement);
                    EXPECT_EQ(reference, testing::LiteralWindowedSsim(a.first(), b.first(), width, height, a.pitch(),
                                                                      FULL_SCALE))
                        << where;
                    for (RowTeam* team : {static_cast<RowTeam*>(nullptr), &testing::BuildTeam()}) {
                        EXPECT_EQ(MeasureWindowedSsimWith(*kernels_, a.first(), b.first(), width, height, a.pitch(),
                                                          FULL_SCALE, team),
                                  reference)
                            << where << (team != nullptr ? " threaded" : " serial");
                    }
                }
            }
        }
    }
}

// ADM on pairs that take each branch of the decoupling: detail kept, weakened, enhanced (and
// past the gain limit), inverted, flat against the float32 residues of a constant picture, and
// samples far outside the host's range; sizes around every vector's tail and odd band sizes.
TEST_P(FastKernels, AdmMatchesTheReference) {
    const AdmKernels* adm = AdmKernelsFor(GetParam());
    ASSERT_NE(adm, nullptr);
    enum class Pair { Independent, Noisy, Same, Stronger, Amplified, Inverted, FlatReference };
    for (GuardPlacement placement : {GuardPlacement::After, GuardPlacement::Before}) {
        for (const Pair pair : {Pair::Independent, Pair::Noisy, Pair::Same, Pair::Stronger, Pair::Amplified,
                                Pair::Inverted, Pair::FlatReference}) {
            for (const auto& [width, height] : {std::pair{17, 17}, std::pair{18, 35}, std::pair{35, 18},
                                                std::pair{47, 21}, std::pair{67, 45}, std::pair{130, 19}}) {
                const int low = pair == Pair::Independent ? -32768 : 0;
                const int high = pair == Pair::Independent ? 32767 : 4096;
                Rectangle a(width, height, 3, placement), b(width, height, 3, placement);
                a.picture().FillRandom(width * height, low, high);
                b.picture().FillRandom(width + height, low, high);
                for (int y = 0; y < height; ++y) {
                    for (int x = 0; x < width; ++x) {
                        int16_t& ay = a.at(x, y).y;
                        const int16_t noise = b.at(x, y).y % 64;
                        int16_t& by = b.at(x, y).y;
                        if (pair == Pair::FlatReference) ay = 1234;
                        if (pair == Pair::Noisy || pair == Pair::FlatReference) by = static_cast<int16_t>(ay + noise);
                        if (pair == Pair::Same) by = ay;
                        if (pair == Pair::Stronger) by = static_cast<int16_t>(3 * (ay - 2048) + noise);
                        if (pair == Pair::Amplified) ay = static_cast<int16_t>(2048 + ay % 5), by = static_cast<int16_t>(2048 + 150 * (ay - 2048));
                        if (pair == Pair::Inverted) by = static_cast<int16_t>(4096 - ay);
                    }
                }
                AdmWorkspace workspace;
                ASSERT_TRUE(workspace.Prepare(width, height));
                const LumaPlane pa{a.first(), a.pitch()}, pb{b.first(), b.pitch()};
                const double reference = MeasureAdm2With(ScalarAdmKernels(), pa, pb, width, height, workspace, nullptr);
                for (RowTeam* team : {static_cast<RowTeam*>(nullptr), &testing::BuildTeam()}) {
                    EXPECT_EQ(MeasureAdm2With(*adm, pa, pb, width, height, workspace, team), reference)
                        << width << "x" << height << " pair " << static_cast<int>(pair) << " guard "
                        << GuardPlacementName(placement) << (team != nullptr ? " threaded" : " serial");
                }
            }
        }
    }
}

// Each ADM kernel alone, output for output, on rows whose values repeat, vanish, change sign
// and sit far apart in magnitude, over every tail: where a rounding difference would drown
// in adm2's sums.
TEST_P(FastKernels, AdmKernelsMatchTheReferenceBitForBit) {
    const AdmKernels& fast = *AdmKernelsFor(GetParam());
    const AdmKernels& scalar = ScalarAdmKernels();
    std::mt19937 random(35);
    const float kinds[] = {0.0f, -0.0f, 1e-6f, -3e-7f, 1.0f, -1.0f, 100.0f, -2000.0f};
    const auto draw = [&] {
        const uint32_t pick = random();
        return pick % 3 == 0 ? kinds[pick / 3 % 8] : std::ldexp(static_cast<float>(pick % 20001) - 10000.0f, pick / 20001 % 16 - 12);
    };
    const auto same = [](const auto& x, const auto& y) { return std::memcmp(x.data(), y.data(), x.size() * sizeof x[0]) == 0; };
    for (int count = 1; count <= 41; ++count) {
        for (int round = 0; round < 8; ++round) {
            std::vector<float> in(8 * count + 8);
            for (float& v : in) v = draw();
            const float* const rows[4] = {&in[0], &in[2 * count], &in[4 * count], &in[6 * count]};
            std::vector<float> out[2][2];
            for (auto& pair : out) pair[0].assign(2 * count, 0), pair[1].assign(2 * count, 0);
            scalar.vertical(rows, 2 * count, out[0][0].data(), out[0][1].data());
            fast.vertical(rows, 2 * count, out[1][0].data(), out[1][1].data());
            EXPECT_TRUE(same(out[0][0], out[1][0]) && same(out[0][1], out[1][1])) << "vertical " << count;
            scalar.horizontal(in.data(), count, out[0][0].data(), out[0][1].data());
            fast.horizontal(in.data(), count, out[1][0].data(), out[1][1].data());
            EXPECT_TRUE(same(out[0][0], out[1][0]) && same(out[0][1], out[1][1])) << "horizontal " << count;

            // H and V of the distorted picture near a scaled copy of the reference's, or not.
            const float* const reference[3] = {&in[0], &in[count], &in[2 * count]};
            for (int j = 0; j < 3 * count; ++j) in[3 * count + j] = round % 2 == 0 ? in[j] * (0.5f + j % 3) : draw();
            const float* const distorted[3] = {&in[3 * count], &in[4 * count], &in[5 * count]};
            const AdmWeights weights{{0.017, 0.017, 0.0059}};
            std::vector<double> restored[2][3], masking[2];
            for (int path = 0; path < 2; ++path) {
                for (auto& row : restored[path]) row.assign(count, 0);
                masking[path].assign(count + 2, 0);
                double* const restored_rows[3] = {restored[path][0].data(), restored[path][1].data(), restored[path][2].data()};
                (path == 0 ? scalar : fast).decouple(reference, distorted, count, weights, restored_rows, masking[path].data() + 1);
                EXPECT_TRUE(path == 0 || (same(restored[0][0], restored[1][0]) && same(restored[0][1], restored[1][1]) &&
                                          same(restored[0][2], restored[1][2]) && same(masking[0], masking[1])))
                    << "decouple " << count << " round " << round;
            }
            const double* const masks[3] = {masking[0].data(), masking[1].data(), masking[0].data()};
            const double* const restored_rows[3] = {restored[0][0].data(), restored[0][1].data(), restored[0][2].data()};
            for (int first : {0, 1, 2}) {
                double sums[2][6];
                scalar.pool(masks, restored_rows, reference, std::min(first, count - 1), count, weights, sums[0]);
                fast.pool(masks, restored_rows, reference, std::min(first, count - 1), count, weights, sums[1]);
                EXPECT_EQ(std::memcmp(sums[0], sums[1], sizeof sums[0]), 0) << "pool " << count << " from " << first;
            }
        }
    }
}

TEST_P(FastKernels, PinnedPathServesThePublicCalls) {
    LimitKernelPath(GetParam());
    EXPECT_EQ(ActiveKernelPath(), GetParam());
    Rectangle a(33, 5, 4), b(33, 5, 4);
    a.picture().FillRandom(31, 0, 4096);
    b.picture().FillRandom(32, 0, 4096);
    EXPECT_EQ(SumSquaredError(a.first(), b.first(), 33, 5, a.pitch(), &testing::BuildTeam()),
              SumSquaredErrorReference(a.first(), b.first(), 33, 5, a.pitch(), nullptr));
    EXPECT_EQ(MeasureSsimMoments(a.first(), b.first(), 33, 5, a.pitch(), &testing::BuildTeam()),
              MeasureSsimMomentsReference(a.first(), b.first(), 33, 5, a.pitch(), nullptr));
}

// Bit for bit, NaN and the sign of zero included.
template <typename T>
bool SameBits(const std::vector<T>& a, const std::vector<T>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0;
}
bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// VMAF's kernels on rows of every width, with every filter length, and statistics that
// reach every branch of VIF's terms (negative and tiny variances, gains past the limit);
// then whole series of random pictures, serial and threaded, against the scalar path.
TEST_P(FastKernels, VmafMatchesTheReference) {
    const VmafKernels* fast = VmafKernelsFor(GetParam());
    ASSERT_NE(fast, nullptr);
    const VmafKernels& scalar = ScalarVmafKernels();
    uint32_t state = 7;
    const auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return static_cast<float>(state >> 8) / 16777216.0f;  // [0, 1)
    };
    const float taps[17] = {0.01f, 0.02f, 0.05f, 0.07f, 0.09f, 0.11f, 0.12f, 0.13f, 0.14f,
                            0.13f, 0.12f, 0.11f, 0.09f, 0.07f, 0.05f, 0.02f, 0.01f};
    for (int width : kWidths) {
        const std::string where = "width " + std::to_string(width);
        Rectangle picture(width, 1, 3);
        picture.picture().FillRandom(width, -32768, 32767);
        std::vector<float> working(width), fast_working(width);
        scalar.working_row(picture.first(), width, working.data());
        fast->working_row(picture.first(), width, fast_working.data());
        EXPECT_TRUE(SameBits(working, fast_working)) << where;

        std::vector<std::vector<float>> rows(34, std::vector<float>(width + 16));
        for (auto& row : rows) for (float& v : row) v = next() * 2000 - 1000;
        const float* r_rows[17];
        const float* d_rows[17];
        for (int k = 0; k < 17; ++k) {
            r_rows[k] = rows[k].data();
            d_rows[k] = rows[k + 17].data();
        }
        for (int count : {17, 9, 5, 3}) {
            const std::string filter = where + " taps " + std::to_string(count);
            std::vector<float> out[2];
            for (auto& o : out) o.assign(width, 0);
            scalar.filter_vertical(r_rows, taps, count, width, out[0].data());
            fast->filter_vertical(r_rows, taps, count, width, out[1].data());
            EXPECT_TRUE(SameBits(out[0], out[1])) << filter << " vertical";
            scalar.filter_horizontal(rows[0].data(), taps, count, width, out[0].data());
            fast->filter_horizontal(rows[0].data(), taps, count, width, out[1].data());
            EXPECT_TRUE(SameBits(out[0], out[1])) << filter << " horizontal";
            std::vector<float> wide(2 * width + count - 1);
            for (float& v : wide) v = next() * 200 - 100;
            scalar.decimate_horizontal(wide.data(), taps, count, width, out[0].data());
            fast->decimate_horizontal(wide.data(), taps, count, width, out[1].data());
            EXPECT_TRUE(SameBits(out[0], out[1])) << filter << " decimation";
            std::vector<float> statistics[2][5];
            for (auto& side : statistics) for (auto& q : side) q.assign(width, 0);
            const auto as_statistics = [](std::vector<float>* q) {
                return VifStatistics{q[0].data(), q[1].data(), q[2].data(), q[3].data(), q[4].data()};
            };
            scalar.vif_vertical(r_rows, d_rows, taps, count, width, as_statistics(statistics[0]));
            fast->vif_vertical(r_rows, d_rows, taps, count, width, as_statistics(statistics[1]));
            for (int q = 0; q < 5; ++q) EXPECT_TRUE(SameBits(statistics[0][q], statistics[1][q])) << filter;
        }
        // Means and variances around VIF's switches: variances below 0, below 2, near 0,
        // a gain above 100, covariances of both signs.
        std::vector<float> q[5];
        for (auto& v : q) v.resize(width);
        for (int j = 0; j < width; ++j) {
            const float mu1 = next() * 250 - 125, mu2 = next() * 250 - 125;
            const float scales[] = {0.0f, 1e-6f, 1.0f, 3.0f, 100.0f, 5000.0f};
            const float var1 = scales[j % 6] * (next() * 1.2f - 0.1f);
            const float var2 = scales[(j / 6) % 6] * (next() * 1.2f - 0.1f);
            const float gain = j % 7 == 0 ? 150.0f : next() * 4 - 1;
            q[0][j] = mu1;
            q[1][j] = mu2;
            q[2][j] = var1 + mu1 * mu1;
            q[3][j] = var2 + mu2 * mu2;
            q[4][j] = gain * var1 + mu1 * mu2;
        }
        const VifStatistics statistics{q[0].data(), q[1].data(), q[2].data(), q[3].data(), q[4].data()};
        const VifRowSums expected = scalar.vif_terms(statistics, width);
        const VifRowSums sums = fast->vif_terms(statistics, width);
        EXPECT_TRUE(SameBits(sums.num, expected.num) && SameBits(sums.den, expected.den)) << where;
        EXPECT_TRUE(SameBits(fast->absolute_difference_row(rows[1].data(), rows[2].data(), width),
                             scalar.absolute_difference_row(rows[1].data(), rows[2].data(), width)))
            << where;
    }

    struct Size {
        int width, height;
    };
    for (const Size size : {Size{17, 17}, Size{33, 21}, Size{67, 45}, Size{130, 40}, Size{257, 19}}) {
        std::vector<std::unique_ptr<Rectangle>> pictures;
        for (int i = 0; i < 6; ++i) {
            pictures.push_back(std::make_unique<Rectangle>(size.width, size.height, 2));
            // Frames alike enough to give VIF texture to keep, the extremes in one of them.
            pictures.back()->picture().FillRandom(size.width + i % 2, 0, 4096);
            if (i == 5) pictures.back()->picture().FillRandom(3, -32768, 32767);
        }
        // The clip's frames 1 .. 4 as two pairs, between the references of frames 0 and 5.
        const auto run = [&](KernelPath path, RowTeam* team) {
            LimitKernelPath(path);
            const auto plane = [&](int i) { return LumaPlane{pictures[i]->first(), pictures[i]->pitch()}; };
            VmafSeries series;
            std::vector<VmafFrame> frames(2);
            EXPECT_TRUE(series.Prepare(size.width, size.height));
            series.BeginAfter(plane(0), team);
            EXPECT_FALSE(series.TakeFrame(plane(1), plane(2), team, &frames[0]));
            EXPECT_TRUE(series.TakeFrame(plane(3), plane(4), team, &frames[0]));
            EXPECT_TRUE(series.EndBefore(plane(5), team, &frames[1]));
            return frames;
        };
        const std::vector<VmafFrame> expected = run(KernelPath::Scalar, nullptr);
        for (RowTeam* team : {static_cast<RowTeam*>(nullptr), &testing::BuildTeam()}) {
            const std::vector<VmafFrame> frames = run(GetParam(), team);
            for (size_t t = 0; t < frames.size(); ++t) {
                const std::string where = std::to_string(size.width) + "x" + std::to_string(size.height) +
                                          " frame " + std::to_string(t) + (team ? " threaded" : " serial");
                EXPECT_TRUE(SameBits(frames[t].score, expected[t].score)) << where;
                EXPECT_TRUE(SameBits(frames[t].features.adm2, expected[t].features.adm2)) << where;
                EXPECT_TRUE(SameBits(frames[t].features.motion2, expected[t].features.motion2)) << where;
                for (int s = 0; s < 4; ++s) {
                    EXPECT_TRUE(SameBits(frames[t].features.vif_scale[s], expected[t].features.vif_scale[s]))
                        << where << " scale " << s;
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, FastKernels,
                         ::testing::Values(KernelPath::Sse2, KernelPath::Avx, KernelPath::Avx2),
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
