#include "psnr.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "build_team.h"
#include "guarded_picture.h"
#include "result_line.h"
#include "wide_integer.h"

namespace morvith {
namespace {

using testing::GuardedPicture;

SquaredErrorTriple Sse(const GuardedPicture& a, const GuardedPicture& b, bool parallel = false) {
    return SumSquaredError(a.data(), b.data(), a.width(), a.height(), a.pitch(),
                           parallel ? &testing::BuildTeam() : nullptr);
}

TEST(SumSquaredError, IdenticalPicturesSumToZeroAndReadInfinite) {
    GuardedPicture a(37, 11, 40), b(37, 11, 40);
    a.FillRandom(1);
    b.FillRandom(1);
    const SquaredErrorTriple sse = Sse(a, b);
    EXPECT_EQ(sse, (SquaredErrorTriple{0, 0, 0}));
    const PsnrReadingTriple readings = ReadPsnr(sse, 37 * 11, 1, PsnrForm::LogSum);
    EXPECT_TRUE(readings.y.infinite && readings.cb.infinite && readings.cr.infinite);
}

TEST(SumSquaredError, ConstantOffsetInYOnlyOnFullHd) {
    GuardedPicture a(1920, 1080, 1920), b(1920, 1080, 1920);
    a.Fill({1000, -20, 30});
    b.Fill({1004, -20, 30});
    const SquaredErrorTriple sse = Sse(a, b);
    EXPECT_EQ(sse, (SquaredErrorTriple{33177600, 0, 0}));
    for (PsnrForm form : {PsnrForm::LogSum, PsnrForm::Quotient}) {
        const PsnrReadingTriple readings = ReadPsnr(sse, 1920 * 1080, 1, form);
        EXPECT_FALSE(readings.y.infinite);
        EXPECT_NEAR(readings.y.decibels, 10 * std::log10(4096.0 * 4096.0 / 16.0), 1e-9);
        EXPECT_EQ(FormatMeasure(readings.y.decibels), "60.206");
        EXPECT_TRUE(readings.cb.infinite);
        EXPECT_TRUE(readings.cr.infinite);
    }
}

TEST(SumSquaredError, SingleSampleDifferingByOneReadsTwentyLogFullScale) {
    GuardedPicture a(1, 1, 1), b(1, 1, 1);
    a.Fill({7, 0, 0});
    b.Fill({8, 0, 0});
    const SquaredErrorTriple sse = Sse(a, b);
    EXPECT_EQ(sse.y, 1u);
    for (PsnrForm form : {PsnrForm::LogSum, PsnrForm::Quotient}) {
        EXPECT_EQ(FormatMeasure(ReadPsnr(sse, 1, 1, form).y.decibels), "72.2472");
    }
}

TEST(SumSquaredError, ExtremeSamplesNeedAllBitsOfTheSquareAndOfTheSum) {
    // 65535^2 = 4294836225 per channel and sample; 3000 of them pass 2^32 many times.
    GuardedPicture a(1000, 3, 1003), b(1000, 3, 1003);
    a.Fill({32767, -32768, 32767});
    b.Fill({-32768, 32767, -32768});
    const uint64_t expected = 3000ull * 4294836225ull;
    EXPECT_EQ(Sse(a, b), (SquaredErrorTriple{expected, expected, expected}));
    EXPECT_EQ(Sse(a, b, true), (SquaredErrorTriple{expected, expected, expected}));
}

TEST(SumSquaredError, ParallelEqualsSerialOnRandomPictures) {
    for (uint32_t seed : {3u, 4u, 5u}) {
        GuardedPicture a(641, 97, 700), b(641, 97, 700);
        a.FillRandom(seed);
        b.FillRandom(seed + 100);
        EXPECT_EQ(Sse(a, b, false), Sse(a, b, true)) << "seed " << seed;
        EXPECT_EQ(Sse(a, b, false),
                  SumSquaredErrorReference(a.data(), b.data(), 641, 97, 700, nullptr));
    }
}

TEST(SumSquaredError, ReadsOnlyTheRowsWidthNotThePitchGap) {
    // The gap holds marker samples; if they were read the sum would not be zero.
    GuardedPicture a(5, 4, 9), b(5, 4, 9);
    a.Fill({1, 2, 3});
    b.Fill({1, 2, 3});
    for (int r = 0; r < 3; ++r)
        for (int c = 5; c < 9; ++c) b.at(c, r) = PixelYC{999, 999, 999};
    EXPECT_EQ(Sse(a, b), (SquaredErrorTriple{0, 0, 0}));
}

TEST(SumSquaredError, OverlappingRectanglesOfOnePicture) {
    // Rectangle 2 one column to the right of rectangle 1: each pair is neighbours in a row.
    GuardedPicture picture(10, 2, 10);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 10; ++c)
            picture.at(c, r) = PixelYC{static_cast<int16_t>(c * c), 0, static_cast<int16_t>(r)};
    const SquaredErrorTriple sse =
        SumSquaredError(&picture.at(0, 0), &picture.at(1, 0), 9, 2, 10, nullptr);
    uint64_t expected = 0;
    for (int c = 0; c < 9; ++c) expected += uint64_t((2 * c + 1) * (2 * c + 1));
    EXPECT_EQ(sse, (SquaredErrorTriple{2 * expected, 0, 0}));
}

TEST(ReadPsnr, FormsAgreeToTheLastBitsOnOrdinarySums) {
    const SquaredErrorTriple sse{123456789, 98765, 1};
    const PsnrReadingTriple log_sum = ReadPsnr(sse, 1920 * 1080, 1, PsnrForm::LogSum);
    const PsnrReadingTriple quotient = ReadPsnr(sse, 1920 * 1080, 1, PsnrForm::Quotient);
    EXPECT_NEAR(log_sum.y.decibels, quotient.y.decibels, 1e-12);
    EXPECT_NEAR(log_sum.cb.decibels, quotient.cb.decibels, 1e-12);
    EXPECT_NEAR(log_sum.cr.decibels, quotient.cr.decibels, 1e-12);
}

TEST(ReadPsnr, QuotientIgnoresTheFrameCount) {
    const SquaredErrorTriple sse{5000, 6000, 7000};
    EXPECT_EQ(ReadPsnr(sse, 100, 1, PsnrForm::Quotient), ReadPsnr(sse, 100, 77, PsnrForm::Quotient));
}

TEST(PooledSquaredError, FramesWithEqualSumsReadAsOneFrame) {
    const SquaredErrorTriple frame{4000, 0, 12};
    PooledSquaredErrorTriple pool;
    for (int f = 0; f < 25; ++f) AddToPool(pool, frame);
    EXPECT_EQ(pool.y.low, 100000u);
    const PsnrReadingTriple pooled = ReadPsnr(pool, 640 * 480, 25, PsnrForm::LogSum);
    const PsnrReadingTriple single = ReadPsnr(frame, 640 * 480, 1, PsnrForm::LogSum);
    EXPECT_NEAR(pooled.y.decibels, single.y.decibels, 1e-12);
    EXPECT_TRUE(pooled.cb.infinite);
    EXPECT_NEAR(pooled.cr.decibels, single.cr.decibels, 1e-12);
}

TEST(PooledSquaredError, CarriesPastSixtyFourBitsAndRoundsToNearest) {
    // 999999 frames of 1920 x 1080 extreme samples: 8905763490387603840000, about 2^72.9.
    PooledSquaredError pool;
    const uint64_t frame = 1920ull * 1080ull * 4294836225ull;
    for (int f = 0; f < 999999; ++f) pool.Add(frame);
    EXPECT_EQ(pool.high, 482u);
    EXPECT_EQ(pool.ToDouble(), 0x1.e2c84bc5c0141p+72);

    // Around 2^64 a double's spacing is 2^12: half of it is a tie that rounds to even.
    const auto value = [](uint64_t high, uint64_t low) {
        PooledSquaredError p;
        p.high = high;
        p.low = low;
        return p.ToDouble();
    };
    EXPECT_EQ(value(1, 0), 0x1p64);
    EXPECT_EQ(value(1, 2048), 0x1p64);
    EXPECT_EQ(value(1, 2049), 0x1p64 + 4096);
    EXPECT_EQ(value(1, 4096 + 2048), 0x1p64 + 8192);
    EXPECT_EQ(value(0, ~0ull), 0x1p64);
    EXPECT_EQ(value(0, (1ull << 53) + 1), 0x1p53);
    EXPECT_EQ(value(0, (1ull << 53) + 3), 0x1p53 + 4);
    EXPECT_EQ(value(0, 12345), 12345.0);
    // Past 2^117 the rounding bits lie in the high word, the low word only breaks ties.
    EXPECT_EQ(value((1ull << 60) + (1ull << 7), 0), 0x1p124);
    EXPECT_EQ(value((1ull << 60) + (1ull << 7), 1), 0x1p124 + 0x1p72);
    EXPECT_EQ(value((1ull << 60) + (1ull << 8) + (1ull << 7), 0), 0x1p124 + 0x1p73);
}

TEST(PooledSquaredError, ReadsPastSixtyFourBitsWithoutWrapping) {
    PooledSquaredErrorTriple pool;
    const uint64_t frame = 1920ull * 1080ull * 4294836225ull;
    for (int f = 0; f < 999999; ++f) AddToPool(pool, {frame, frame, 0});
    const PsnrReadingTriple readings = ReadPsnr(pool, 1920 * 1080, 999999, PsnrForm::LogSum);
    // MSE is 65535^2: 20 log10(4096 / 65535).
    EXPECT_NEAR(readings.y.decibels, 20 * std::log10(4096.0 / 65535.0), 1e-9);
    EXPECT_EQ(readings.y, readings.cb);
    EXPECT_TRUE(readings.cr.infinite);
}

}  // namespace
}  // namespace morvith

namespace morvith {
namespace {

// The portable 128-bit arithmetic against the compiler's own type where it has one, and
// against products whose words are known everywhere.
TEST(WideInteger, ProductsAndDifferencesAreExact) {
    EXPECT_EQ(MultiplyWide(INT64_MIN, INT64_MIN), (Int128{uint64_t{1} << 62, 0}));
    EXPECT_EQ(MultiplyWide(-1, 1), (Int128{~uint64_t{0}, ~uint64_t{0}}));
    EXPECT_EQ(MultiplyWide(uint64_t{1} << 32, uint64_t{1} << 32), (Int128{1, 0}));
    EXPECT_EQ((Int128{} - Int128{0, 1}), (Int128{~uint64_t{0}, ~uint64_t{0}}));
    EXPECT_EQ(NearestDouble(MultiplyWide(-3, uint64_t{1} << 62)), -3.0 * 0x1p62);
#if defined(__SIZEOF_INT128__)
    __extension__ typedef __int128 Native;
    __extension__ typedef unsigned __int128 NativeUnsigned;
    testing::TestRandom random(5);
    const auto next64 = [&] {
        const uint64_t value = uint64_t{random.Next()} << 32 | random.Next();
        return static_cast<int64_t>(value >> (random.Next() % 64));
    };
    for (int i = 0; i < 100000; ++i) {
        const int64_t a = i % 2 ? next64() : -next64(), b = i % 3 ? next64() : -next64();
        const int64_t c = next64(), d = -next64();
        const Native expected = static_cast<Native>(a) * b - static_cast<Native>(c) * d;
        const Int128 got = MultiplyWide(a, b) - MultiplyWide(c, d);
        ASSERT_EQ(got.high, static_cast<uint64_t>(static_cast<NativeUnsigned>(expected) >> 64));
        ASSERT_EQ(got.low, static_cast<uint64_t>(expected));
        ASSERT_EQ(NearestDouble(got), static_cast<double>(expected)) << i;
    }
#endif
}

}  // namespace
}  // namespace morvith
