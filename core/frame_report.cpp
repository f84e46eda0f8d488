#include "frame_report.h"

#include <cmath>
#include <cstdio>

namespace morvith {

int32_t WorstFrameIndex(const ReportFrames& frames) {
    int32_t worst = frames.count > 0 && frames.values != nullptr ? 0 : -1;
    for (int32_t i = 1; worst >= 0 && i < frames.count; ++i) {
        if (frames.At(i, 0) < frames.At(worst, 0)) worst = i;
    }
    return worst;
}

CsvRow ComposeCsvRow(int32_t frame, const FrameValues& values) {
    CsvRow row;
    char number[12];
    std::snprintf(number, sizeof number, "%ld", static_cast<long>(frame));
    row.Append(number);
    for (const double value : {values.y, values.cb, values.cr}) {
        row.Append(',');
        if (std::isinf(value)) {
            row.Append(value > 0 ? "inf" : "-inf");
        } else {
            row.Append(FormatMeasure(value));
        }
    }
    row.Append("\r\n");
    return row;
}

namespace {

// Six decimals; the C library writes the locale's decimal sign, the row needs a point.
MeasureText FixedSixDecimals(double value) {
    char converted[48];
    const int length = std::snprintf(converted, sizeof converted, "%.6f", value);
    MeasureText text;
    if (length <= 0 || length >= static_cast<int>(sizeof converted)) return text;
    for (int i = 0; i < length; ++i) {
        const char c = converted[i];
        const bool kept = (c >= '0' && c <= '9') || c == '-' || (c >= 'a' && c <= 'z');
        converted[i] = kept ? c : '.';
    }
    text.Append(converted);
    return text;
}

}  // namespace

CsvRow ComposeVmafCsvRow(int32_t frame, const double* values) {
    CsvRow row;
    char number[12];
    std::snprintf(number, sizeof number, "%ld", static_cast<long>(frame));
    row.Append(number);
    row.Append(',');
    row.Append(FormatMeasure(values[0]));
    for (int32_t i = 1; i < VMAF_VALUES; ++i) {
        row.Append(',');
        row.Append(FixedSixDecimals(values[i]));
    }
    row.Append("\r\n");
    return row;
}

CsvRow ComposeCsvRow(int32_t frame, const ReportFrames& frames, int32_t index) {
    const double* values = frames.values + static_cast<int64_t>(index) * frames.stride;
    if (frames.stride == VMAF_VALUES) return ComposeVmafCsvRow(frame, values);
    return ComposeCsvRow(frame, FrameValues{values[0], values[1], values[2]});
}

}  // namespace morvith
