#pragma once

// One timed measurement of a rectangle pair, as both plug-ins show it: the stopwatch
// covers the passes only, the conversion and the composition of the text come after.

#include <cstdint>
#include <optional>

#include "frame_report.h"
#include "pixel.h"
#include "psnr.h"
#include "result_line.h"
#include "vmaf/vmaf.h"

namespace morvith {

ResultLine MeasurePsnrLine(const RectanglePair& pair, RowTeam* team, PsnrForm form);
ResultLine MeasureSsimLine(const RectanglePair& pair, RowTeam* team);
// Over 8 x 8 windows with the peak FULL_SCALE; the pair at least WINDOWED_SSIM_MIN_SIZE
// samples across and down.
ResultLine MeasureWindowedSsimLine(const RectanglePair& pair, RowTeam* team);

// Why a range measurement ended before its last frame: a frame that could not be had,
// or the caller's own reason to go no further (the user asked to stop).
enum class RangeStop { FrameMissing, Cancelled };

// One frame of a range: its rectangle pair, or the end of the measurement.
struct RangeFrame {
    RangeFrame(const RectanglePair& pair) : pair(pair) {}
    RangeFrame(RangeStop stop) : stop(stop) {}

    std::optional<RectanglePair> pair;
    RangeStop stop = RangeStop::FrameMissing;  // why, when there is no pair
};

struct RangeMeasurement {
    std::optional<RangeStop> stop;  // nothing once every frame has been measured
    int32_t frames_measured = 0;
    ResultLine line;                // the result line, when it did not stop
};

// A callable borrowed for one measurement, which must outlive it: no copy, no heap and
// no library behind the call.
class RangeFrameSource {
public:
    template <typename Source>
    RangeFrameSource(const Source& source)
        : source_(&source), call_([](const void* object, int32_t index) -> RangeFrame {
              return (*static_cast<const Source*>(object))(index);
          }) {}

    RangeFrame operator()(int32_t index) const { return call_(source_, index); }

private:
    const void* source_;
    RangeFrame (*call_)(const void* source, int32_t index);
};

// A measurement over frame_count frames, on the calling thread: frame(i) hands out the
// rectangle pair of frame i (from 0, all of one size) or a reason to stop, which ends the
// measurement without a line. The stopwatch also covers every call of frame, since
// obtaining the frames is part of what a range costs. PSNR pools the squared errors of
// all frames (LogSum); SSIM, of either kind, is the mean of the per-frame values. Where
// frame_values is not
// null it receives, for each frame measured, what that frame alone reads: PSNR from its own
// squared errors (Quotient), SSIM as measured. It must hold frame_count values.
RangeMeasurement MeasurePsnrRangeLine(int32_t frame_count, RangeFrameSource frame,
                                      FrameValues* frame_values = nullptr);
RangeMeasurement MeasureSsimRangeLine(int32_t frame_count, RangeFrameSource frame,
                                      FrameValues* frame_values = nullptr);
RangeMeasurement MeasureWindowedSsimRangeLine(int32_t frame_count, RangeFrameSource frame,
                                              FrameValues* frame_values = nullptr);

// VMAF over frame_count frames (at least 1) with the frames around them: frame(-1) where
// has_before and frame(frame_count) where has_after hand out those, of which only A, the
// reference, is read. Each pair is used before frame is called again, so a picture need
// only stay valid until then. The series must be prepared for the pairs' size. Without
// time_frames the stopwatch leaves out the calls of frame. The line is the mean of the
// per-frame scores; frame_values, where not null, receives VMAF_VALUES doubles a frame.
struct VmafRange {
    int32_t frame_count = 1;
    bool has_before = false;
    bool has_after = false;
    bool time_frames = true;
};
RangeMeasurement MeasureVmafRangeLine(const VmafRange& range, RangeFrameSource frame,
                                      VmafSeries& series, RowTeam* team,
                                      double* frame_values = nullptr);

}  // namespace morvith
