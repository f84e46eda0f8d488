#include "result_line.h"

#include <gtest/gtest.h>

#include <cmath>
#include <locale>

#include "stopwatch.h"

namespace morvith {
namespace {

TEST(FormatMeasure, GeneralNotationWithSixSignificantDigits) {
    EXPECT_EQ(FormatMeasure(38.5421354), "38.5421");
    EXPECT_EQ(FormatMeasure(60.20599913), "60.206");
    EXPECT_EQ(FormatMeasure(0.9876543), "0.987654");
    EXPECT_EQ(FormatMeasure(0.99999987), "1");
    EXPECT_EQ(FormatMeasure(1234.567), "1234.57");
    EXPECT_EQ(FormatMeasure(0.0001), "0.0001");
    EXPECT_EQ(FormatMeasure(-0.139618), "-0.139618");
}

TEST(FormatMeasure, ExponentNotationKeepsTheRuntimesDigitCount) {
    // Current runtimes write two exponent digits, the system's own three.
    const std::string large = FormatMeasure(999999.5);
    EXPECT_TRUE(large == "1e+06" || large == "1e+006") << large;
    const std::string small = FormatMeasure(0.00009999);
    EXPECT_TRUE(small == "9.999e-05" || small == "9.999e-005") << small;
}

TEST(FormatMeasure, IgnoresTheGlobalLocale) {
    struct CommaDecimal : std::numpunct<char> {
        char do_decimal_point() const override { return ','; }
    };
    const std::locale previous =
        std::locale::global(std::locale(std::locale::classic(), new CommaDecimal));
    const std::string text = FormatMeasure(38.5421354);
    std::locale::global(previous);
    EXPECT_EQ(text, "38.5421");
}

TEST(ComposeLine, PsnrWithAnInfiniteChannel) {
    const PsnrReadingTriple readings{{false, 38.5421354}, {false, 44.0123}, {true, 0.0}};
    EXPECT_EQ(ComposePsnrLine(readings, ElapsedMilliseconds(16001000)),
              "38.5421dB 44.0123dB \x81\x87" "dB 16.001[ms]");
}

TEST(ComposeLine, PsnrOfIdenticalPicturesInNoTime) {
    const PsnrReadingTriple readings{{true, 0}, {true, 0}, {true, 0}};
    EXPECT_EQ(ComposePsnrLine(readings, ElapsedMilliseconds(999)),
              "\x81\x87" "dB \x81\x87" "dB \x81\x87" "dB 0[ms]");
}

TEST(ComposeLine, Ssim) {
    EXPECT_EQ(ComposeSsimLine({0.9876543, 0.998765, 1.0}, ElapsedMilliseconds(31200000)),
              "0.987654 0.998765 1 31.2[ms]");
}

TEST(ElapsedMilliseconds, WholeMicrosecondsTruncatedTowardZero) {
    EXPECT_EQ(FormatMeasure(ElapsedMilliseconds(0)), "0");
    EXPECT_EQ(FormatMeasure(ElapsedMilliseconds(999)), "0");
    EXPECT_EQ(FormatMeasure(ElapsedMilliseconds(1000)), "0.001");
    EXPECT_EQ(FormatMeasure(ElapsedMilliseconds(1999)), "0.001");
    EXPECT_EQ(FormatMeasure(ElapsedMilliseconds(123456000)), "123.456");
    EXPECT_EQ(FormatMeasure(ElapsedMilliseconds(1234567000)), "1234.57");
    EXPECT_EQ(FormatMeasure(ElapsedMilliseconds(-1999)), "-0.001");
    // A multiplication by the double nearest 0.001, not a division by 1000.
    EXPECT_EQ(ElapsedMilliseconds(3000), 3.0 * 0.001);
    const std::string long_run = FormatMeasure(ElapsedMilliseconds(999999500000ll));
    EXPECT_TRUE(long_run == "1e+06" || long_run == "1e+006") << long_run;
}

TEST(Stopwatch, MeasuresWholeMicrosecondsForward) {
    Stopwatch stopwatch;
    stopwatch.Start();
    volatile double sink = 0;
    for (int i = 0; i < 200000; ++i) sink = sink + std::sqrt(double(i));
    const double first = stopwatch.Stop();
    const double second = stopwatch.Stop();
    EXPECT_GE(first, 0.0);
    EXPECT_GE(second, first);
    const double microseconds = first * 1000.0;
    EXPECT_NEAR(microseconds, std::round(microseconds), 1e-6);
}

}  // namespace
}  // namespace morvith
