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

// The first frame with the lowest Y value, or -1 when there are none.
int32_t WorstFrameIndex(const FrameValues* values, int32_t count);

inline constexpr char CSV_HEADER[] = "frame,Y,Cb,Cr\r\n";

// A frame number (10 digits and a sign) and three values of at most 13 bytes, separated.
using CsvRow = FixedText<63>;

// "17,38.5421,44.0123,inf\r\n": the digits of the title, with a point whatever the
// locale, and "inf" where the title shows the infinity sign.
CsvRow ComposeCsvRow(int32_t frame, const FrameValues& values);

}  // namespace morvith
