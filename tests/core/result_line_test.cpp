#include "result_line.h"
#include "frame_report.h"

#include <gtest/gtest.h>

#include <bit>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <locale>
#include <random>
#include <sstream>
#include <string>
#include <vector>

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
    const std::string large(FormatMeasure(999999.5));
    EXPECT_TRUE(large == "1e+06" || large == "1e+006") << large;
    const std::string small(FormatMeasure(0.00009999));
    EXPECT_TRUE(small == "9.999e-05" || small == "9.999e-005") << small;
}

// What a default string stream writes, the text the title has always shown.
std::string StreamText(double value) {
    std::ostringstream stream;
    stream.imbue(std::locale::classic());
    stream << value;
    return stream.str();
}

double FromBits(uint64_t bits) {
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// The double nearest mantissa * 10^exponent and its three neighbours on each side, so
// that every six-digit tie and carry is met from both sides.
void AddAround(std::vector<double>& values, const char* mantissa, int exponent) {
    const std::string text = std::string(mantissa) + "e" + std::to_string(exponent);
    double below = std::strtod(text.c_str(), nullptr);
    double above = below;
    values.push_back(below);
    for (int step = 0; step < 3; ++step) {
        below = std::nextafter(below, -std::numeric_limits<double>::infinity());
        above = std::nextafter(above, std::numeric_limits<double>::infinity());
        values.push_back(below);
        values.push_back(above);
    }
}

std::vector<double> ValuesToFormat() {
    std::vector<double> values;
    // Ties and carries at the sixth digit in every decade, past both ends of the range:
    // 9999995e-6 rounds to 1 (10 in the next decade), 999999.5 to 1e+06, 99999995e-12
    // to 1e-04, 99999995e-13 to 1e-05.
    for (const char* mantissa : {"9999995", "10000005", "1", "12345650", "5000005", "25"}) {
        for (int exponent = -331; exponent <= 302; ++exponent) AddAround(values, mantissa, exponent);
    }
    std::mt19937_64 random(20261208);
    std::uniform_real_distribution<double> ssim(-1.0, 1.0), psnr(0.0, 200.0);
    for (int i = 0; i < 100000; ++i) {
        values.push_back(FromBits(random()));  // NaNs, infinities and subnormals among them
        values.push_back(ssim(random));
        values.push_back(psnr(random));
        values.push_back(static_cast<double>(random() % 2000000000) * 0.001);  // milliseconds
    }
    for (int whole = 0; whole <= 1100000; whole += 7) values.push_back(whole);
    for (int n = -1074; n <= 1023; ++n) values.push_back(std::ldexp(1.0, n));
    values.push_back(std::numeric_limits<double>::max());
    values.push_back(std::numeric_limits<double>::min());
    values.push_back(std::numeric_limits<double>::infinity());
    values.push_back(std::numeric_limits<double>::quiet_NaN());
    const size_t positive_count = values.size();
    for (size_t i = 0; i < positive_count; ++i) values.push_back(-values[i]);
    return values;
}

TEST(FormatMeasure, WritesWhatAStringStreamWrites) {
    int mismatches = 0;
    for (double value : ValuesToFormat()) {
        const std::string expected = StreamText(value);
        const std::string text(FormatMeasure(value));
        if (text != expected && ++mismatches <= 10) {
            ADD_FAILURE() << "value with bits " << std::hex
                          << std::bit_cast<uint64_t>(value) << ": \"" << text
                          << "\", a stream writes \"" << expected << "\"";
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(FormatMeasure, IgnoresTheGlobalLocale) {
    struct CommaDecimal : std::numpunct<char> {
        char do_decimal_point() const override { return ','; }
    };
    const std::locale previous =
        std::locale::global(std::locale(std::locale::classic(), new CommaDecimal));
    const std::string text(FormatMeasure(38.5421354));
    std::locale::global(previous);
    EXPECT_EQ(text, "38.5421");
}

// A host may set a C locale whose decimal point is a comma; the C library then writes one.
TEST(FormatMeasure, IgnoresTheProcessCLocale) {
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    bool comma = false;
    for (const char* name : {"French_France.1252", "fr_FR.UTF-8", "de_DE.UTF-8"}) {
        if (std::setlocale(LC_NUMERIC, name) != nullptr &&
            std::strcmp(std::localeconv()->decimal_point, ",") == 0) {
            comma = true;
            break;
        }
    }
    const std::string fixed(FormatMeasure(38.5421354));
    const std::string exponent(FormatMeasure(-1.5e-7));
    const double vmaf[VMAF_VALUES] = {93.45123, 0.5, 2.25, 1, 1, 1, 0.125};
    const std::string vmaf_row(ComposeVmafCsvRow(3, vmaf));
    std::setlocale(LC_NUMERIC, previous.c_str());
    if (!comma) GTEST_SKIP() << "no locale with a decimal comma on this system";
    EXPECT_EQ(fixed, "38.5421");
    EXPECT_EQ(exponent, "-1.5e-07");
    EXPECT_EQ(vmaf_row, "3,93.4512,0.500000,2.250000,1.000000,1.000000,1.000000,0.125000\r\n");
}

TEST(FixedText, KeepsWhatFitsAndStaysTerminated) {
    FixedText<4> text;
    text.Append("abc");
    text.Append("def");
    text.Append('g');
    EXPECT_EQ(text, "abcd");
    EXPECT_EQ(text.size(), 4u);
    EXPECT_EQ(text.c_str()[4], '\0');
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
    const std::string long_run(FormatMeasure(ElapsedMilliseconds(999999500000ll)));
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
