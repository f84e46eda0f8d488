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
MeasureText FormatMeasure(double value) {
    MeasureText text;
    char converted[32];
    const int length = std::snprintf(converted, sizeof converted, "%.*e",
                                     kSignificantDigits - 1, value);
    if (length <= 0 || length >= static_cast<int>(sizeof converted)) return text;
    const char* in = converted;
    const bool negative = *in == '-';
    if (negative) ++in;
    if (!IsDigit(*in)) {  // infinities and NaNs have no decimal point to take out
        text.Append(converted);
        return text;
    }

    char digits[kSignificantDigits];
    int digit_count = 0;
    for (; *in != 'e' && *in != '\0'; ++in) {
        if (IsDigit(*in) && digit_count < kSignificantDigits) digits[digit_count++] = *in;
    }
    if (*in != 'e' || digit_count != kSignificantDigits) return text;
    ++in;
    const bool negative_exponent = *in == '-';
    if (*in == '-' || *in == '+') ++in;
    int magnitude = 0;
    for (; IsDigit(*in); ++in) magnitude = magnitude * 10 + (*in - '0');
    const int exponent = negative_exponent ? -magnitude : magnitude;

    int kept = kSignificantDigits;  // trailing zeros of the fraction are dropped
    while (kept > 1 && digits[kept - 1] == '0') --kept;
    const auto put_digits = [&](int from, int to) {
        text.Append(std::string_view(digits + from, static_cast<size_t>(to - from)));
    };

    if (negative) text.Append('-');
    if (exponent < -4 || exponent >= kSignificantDigits) {
        put_digits(0, 1);
        if (kept > 1) {
            text.Append('.');
            put_digits(1, kept);
        }
        text.Append(negative_exponent ? "e-" : "e+");
        if (magnitude >= 100) text.Append(static_cast<char>('0' + magnitude / 100));
        text.Append(static_cast<char>('0' + magnitude / 10 % 10));
        text.Append(static_cast<char>('0' + magnitude % 10));
    } else if (exponent >= 0) {
        put_digits(0, exponent + 1);
        if (kept > exponent + 1) {
            text.Append('.');
            put_digits(exponent + 1, kept);
        }
    } else {
        text.Append("0.");
        for (int i = -1; i > exponent; --i) text.Append('0');
        put_digits(0, kept);
    }
    return text;
}

ResultLine ComposePsnrLine(const PsnrReadingTriple& readings, double elapsed_ms) {
    ResultLine line;
    for (const PsnrReading& reading : {readings.y, readings.cb, readings.cr}) {
        if (reading.infinite) {
            line.Append(kInfinity);
        } else {
            line.Append(FormatMeasure(reading.decibels));
        }
        line.Append("dB ");
    }
    line.Append(FormatMeasure(elapsed_ms));
    line.Append("[ms]");
    return line;
}

ResultLine ComposeSsimLine(const ChannelTriple<double>& values, double elapsed_ms) {
    ResultLine line;
    for (double value : {values.y, values.cb, values.cr}) {
        line.Append(FormatMeasure(value));
        line.Append(' ');
    }
    line.Append(FormatMeasure(elapsed_ms));
    line.Append("[ms]");
    return line;
}

ResultLine ComposeVmafLine(double score, double elapsed_ms) {
    ResultLine line;
    line.Append("VMAF ");
    line.Append(FormatMeasure(score));
    line.Append(' ');
    line.Append(FormatMeasure(elapsed_ms));
    line.Append("[ms]");
    return line;
}

double ElapsedMilliseconds(int64_t elapsed_nanoseconds) {
    const int64_t microseconds = elapsed_nanoseconds / 1000;
    return static_cast<double>(microseconds) * 0.001;
}

}  // namespace morvith
