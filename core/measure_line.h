#pragma once

// One timed measurement of a rectangle pair, as both plug-ins show it: the stopwatch
// covers the passes only, the conversion and the composition of the text come after.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "pixel.h"
#include "psnr.h"

namespace morvith {

std::string MeasurePsnrLine(const RectanglePair& pair, bool parallel, PsnrForm form);
std::string MeasureSsimLine(const RectanglePair& pair, bool parallel);

// A measurement over frame_count frames, on the calling thread: frame(i) hands out the
// rectangle pair of frame i (from 0, all of one size), or nothing, which ends the
// measurement without a line. The stopwatch also covers every call of frame, since
// obtaining the frames is part of what a range costs. PSNR pools the squared errors of
// all frames (LogSum); SSIM is the mean of the per-frame values.
using RangeFrameSource = std::function<std::optional<RectanglePair>(int32_t index)>;
std::optional<std::string> MeasurePsnrRangeLine(int32_t frame_count,
                                                const RangeFrameSource& frame);
std::optional<std::string> MeasureSsimRangeLine(int32_t frame_count,
                                                const RangeFrameSource& frame);

}  // namespace morvith
