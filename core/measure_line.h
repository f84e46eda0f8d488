#pragma once

// One timed measurement of a rectangle pair, as both plug-ins show it: the stopwatch
// covers the passes only, the conversion and the composition of the text come after.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <variant>

#include "pixel.h"
#include "psnr.h"

namespace morvith {

std::string MeasurePsnrLine(const RectanglePair& pair, bool parallel, PsnrForm form);
std::string MeasureSsimLine(const RectanglePair& pair, bool parallel);

// Why a range measurement ended before its last frame: a frame that could not be had,
// or the caller's own reason to go no further (the user asked to stop).
enum class RangeStop { FrameMissing, Cancelled };

// One frame of a range: its rectangle pair, or the end of the measurement.
using RangeFrame = std::variant<RectanglePair, RangeStop>;

struct RangeMeasurement {
    std::optional<RangeStop> stop;  // nothing once every frame has been measured
    int32_t frames_measured = 0;
    std::string line;               // the result line, when it did not stop
};

// A measurement over frame_count frames, on the calling thread: frame(i) hands out the
// rectangle pair of frame i (from 0, all of one size) or a reason to stop, which ends the
// measurement without a line. The stopwatch also covers every call of frame, since
// obtaining the frames is part of what a range costs. PSNR pools the squared errors of
// all frames (LogSum); SSIM is the mean of the per-frame values.
using RangeFrameSource = std::function<RangeFrame(int32_t index)>;
RangeMeasurement MeasurePsnrRangeLine(int32_t frame_count, const RangeFrameSource& frame);
RangeMeasurement MeasureSsimRangeLine(int32_t frame_count, const RangeFrameSource& frame);

}  // namespace morvith
