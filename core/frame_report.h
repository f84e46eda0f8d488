#pragma once

// Each frame of a range as that frame alone would read, and the rows in which a report
// of them is written out.

#include <cstdint>

#include "pixel.h"
#include "result_line.h"

namespace morvith {

// PSNR in decibels, +infinity for a channel without difference, or SSIM: 24 bytes a
// frame, so that a range of 999999 frames keeps its values in 24 MB.
using FrameValues = ChannelTriple<double>;
static_assert(sizeof(FrameValues) == 24);

// The doubles a report keeps for each frame of a kind: the three channels, or VMAF's
// score followed by its six features (VmafFrame's layout).
inline constexpr int32_t CHANNEL_VALUES = 3;
inline constexpr int32_t VMAF_VALUES = 7;

// A report's frames, `stride` doubles each. The first `curves` of a frame are what the
// graph draws and scales; the first of all decides the worst frame.
struct ReportFrames {
    const double* values = nullptr;
    int32_t count = 0;
    int32_t stride = CHANNEL_VALUES;
    int32_t curves = CHANNEL_VALUES;

    double At(int32_t frame, int32_t value) const {
        return values[static_cast<int64_t>(frame) * stride + value];
    }
};

// Three channels a frame, as PSNR and both SSIMs keep them.
inline ReportFrames ChannelFrames(const FrameValues* values, int32_t count) {
    static_assert(sizeof(FrameValues) == CHANNEL_VALUES * sizeof(double));
    return {reinterpret_cast<const double*>(values), count};
}
// VMAF: the score alone is drawn.
inline ReportFrames VmafFrames(const double* values, int32_t count) {
    return {values, count, VMAF_VALUES, 1};
}

// The first frame with the lowest first value, or -1 when there are none.
int32_t WorstFrameIndex(const ReportFrames& frames);
inline int32_t WorstFrameIndex(const FrameValues* values, int32_t count) {
    return WorstFrameIndex(ChannelFrames(values, count));
}

inline constexpr char CSV_HEADER[] = "frame,Y,Cb,Cr\r\n";
inline constexpr char VMAF_CSV_HEADER[] =
    "frame,VMAF,adm2,motion2,vif_scale0,vif_scale1,vif_scale2,vif_scale3\r\n";

// A frame number (10 digits and a sign) and seven values of at most 15 bytes, separated.
using CsvRow = FixedText<127>;

// "17,38.5421,44.0123,inf\r\n": the digits of the title, with a point whatever the
// locale, and "inf" where the title shows the infinity sign.
CsvRow ComposeCsvRow(int32_t frame, const FrameValues& values);
// "17,93.4512,0.981234,3.520000,...": the score as the title shows it, the features with
// six decimals; `values` holds VMAF_VALUES doubles.
CsvRow ComposeVmafCsvRow(int32_t frame, const double* values);
// The row of a frame of the report, for its kind.
CsvRow ComposeCsvRow(int32_t frame, const ReportFrames& frames, int32_t index);

}  // namespace morvith
