#pragma once

// One timed measurement of a rectangle pair, as both plug-ins show it: the stopwatch
// covers the passes only, the conversion and the composition of the text come after.

#include <cstdint>
#include <optional>

#include "pixel.h"
#include "psnr.h"
#include "result_line.h"

namespace morvith {

ResultLine MeasurePsnrLine(const RectanglePair& pair, bool parallel, PsnrForm form);
ResultLine MeasureSsimLine(const RectanglePair& pair, bool parallel);

// A callable borrowed for one measurement, which must outlive it: no copy, no heap and
// no library behind the call.
class RangeFrameSource {
public:
    template <typename Source>
    RangeFrameSource(const Source& source)
        : source_(&source), call_([](const void* object, int32_t index) {
              return (*static_cast<const Source*>(object))(index);
          }) {}

    std::optional<RectanglePair> operator()(int32_t index) const { return call_(source_, index); }

private:
    const void* source_;
    std::optional<RectanglePair> (*call_)(const void* source, int32_t index);
};

// A measurement over frame_count frames, on the calling thread: frame(i) hands out the
// rectangle pair of frame i (from 0, all of one size), or nothing, which ends the
// measurement without a line. The stopwatch also covers every call of frame, since
// obtaining the frames is part of what a range costs. PSNR pools the squared errors of
// all frames (LogSum); SSIM is the mean of the per-frame values.
std::optional<ResultLine> MeasurePsnrRangeLine(int32_t frame_count, RangeFrameSource frame);
std::optional<ResultLine> MeasureSsimRangeLine(int32_t frame_count, RangeFrameSource frame);

}  // namespace morvith
