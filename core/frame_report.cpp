#include "frame_report.h"

#include <cmath>
#include <cstdio>

namespace morvith {

int32_t WorstFrameIndex(const FrameValues* values, int32_t count) {
    int32_t worst = count > 0 ? 0 : -1;
    for (int32_t i = 1; i < count; ++i) {
        if (values[i].y < values[worst].y) worst = i;
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

}  // namespace morvith
