#include "result_line.h"

#include <cstdio>

namespace morvith {
namespace {

// The infinity sign in code page 932, the code page of the host window's title.
constexpr char kInfinity[] = "\x81\x87";

constexpr int kSignificantDigits = 6;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

// The C library converts exactly (the streams call the same conversion), but writes the
// decimal point of whatever locale the host process has set. So only its digits and
// exponent are taken, from exponent notation with six significant digits, and the general
// notation is laid out here: the fixed form to that many digits has the same digits.
std::string FormatMeasure(double value) {
    char converted[32];
    const int length = std::snprintf(converted, sizeof converted, "%.*e",
                                     kSignificantDigits - 1, value);
    if (length <= 0 || length >= static_cast<int>(sizeof converted)) return {};
    const char* in = converted;
    const bool negative = *in == '-';
    if (negative) ++in;
    // Infinities and NaNs have no decimal point to take out.
    if (!IsDigit(*in)) return converted;

    char digits[kSignificantDigits];
    int digit_count = 0;
    for (; *in != 'e' && *in != '\0'; ++in) {
        if (IsDigit(*in) && digit_count < kSignificantDigits) digits[digit_count++] = *in;
    }
    if (*in != 'e' || digit_count != kSignificantDigits) return {};
    ++in;
    const bool negative_exponent = *in == '-';
    if (*in == '-' || *in == '+') ++in;
    int exponent = 0;
    for (; IsDigit(*in); ++in) exponent = exponent * 10 + (*in - '0');
    if (negative_exponent) exponent = -exponent;

    int kept = kSignificantDigits;  // trailing zeros of the fraction are dropped
    while (kept > 1 && digits[kept - 1] == '0') --kept;

    char text[32];
    char* out = text;
    if (negative) *out++ = '-';
    const auto put_digits = [&](int from, int to) {
        for (int i = from; i < to; ++i) *out++ = digits[i];
    };
    if (exponent < -4 || exponent >= kSignificantDigits) {
        *out++ = digits[0];
        if (kept > 1) {
            *out++ = '.';
            put_digits(1, kept);
        }
        *out++ = 'e';
        *out++ = negative_exponent ? '-' : '+';
        const int magnitude = negative_exponent ? -exponent : exponent;
        if (magnitude >= 100) *out++ = static_cast<char>('0' + magnitude / 100);
        *out++ = static_cast<char>('0' + magnitude / 10 % 10);
        *out++ = static_cast<char>('0' + magnitude % 10);
    } else if (exponent >= 0) {
        put_digits(0, exponent + 1);
        if (kept > exponent + 1) {
            *out++ = '.';
            put_digits(exponent + 1, kept);
        }
    } else {
        *out++ = '0';
        *out++ = '.';
        for (int i = -1; i > exponent; --i) *out++ = '0';
        put_digits(0, kept);
    }
    return std::string(text, out);
}

std::string ComposePsnrLine(const PsnrReadingTriple& readings, double elapsed_ms) {
    std::string line;
    for (const PsnrReading& reading : {readings.y, readings.cb, readings.cr}) {
        line += reading.infinite ? kInfinity : FormatMeasure(reading.decibels);
        line += "dB ";
    }
    line += FormatMeasure(elapsed_ms);
    line += "[ms]";
    return line;
}

std::string ComposeSsimLine(const ChannelTriple<double>& values, double elapsed_ms) {
    std::string line;
    for (double value : {values.y, values.cb, values.cr}) {
        line += FormatMeasure(value);
        line += ' ';
    }
    line += FormatMeasure(elapsed_ms);
    line += "[ms]";
    return line;
}

double ElapsedMilliseconds(int64_t elapsed_nanoseconds) {
    const int64_t microseconds = elapsed_nanoseconds / 1000;
    return static_cast<double>(microseconds) * 0.001;
}

}  // namespace morvith
