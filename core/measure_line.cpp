#include "measure_line.h"

#include <limits>

#include "result_line.h"
#include "ssim.h"
#include "stopwatch.h"
#include "windowed_ssim.h"

namespace morvith {
namespace {

double ShownDecibels(const PsnrReading& reading) {
    return reading.infinite ? std::numeric_limits<double>::infinity() : reading.decibels;
}

}  // namespace

ResultLine MeasurePsnrLine(const RectanglePair& pair, RowTeam* team, PsnrForm form) {
    Stopwatch stopwatch;
    stopwatch.Start();
    const SquaredErrorTriple sse = SumSquaredError(pair.first_a, pair.first_b, pair.width,
                                                   pair.height, pair.pitch, team);
    const double elapsed_ms = stopwatch.Stop();
    return ComposePsnrLine(ReadPsnr(sse, pair.width * pair.height, 1, form), elapsed_ms);
}

RangeMeasurement MeasurePsnrRangeLine(int32_t frame_count, RangeFrameSource frame,
                                      FrameValues* frame_values) {
    Stopwatch stopwatch;
    stopwatch.Start();
    PooledSquaredErrorTriple pool;
    int32_t sample_count = 0;
    for (int32_t i = 0; i < frame_count; ++i) {
        const RangeFrame next = frame(i);
        if (!next.pair) return {next.stop, i, {}};
        const RectanglePair& pair = *next.pair;
        sample_count = pair.width * pair.height;
        const SquaredErrorTriple sse = SumSquaredError(pair.first_a, pair.first_b, pair.width,
                                                       pair.height, pair.pitch, nullptr);
        AddToPool(pool, sse);
        if (frame_values != nullptr) {
            const PsnrReadingTriple alone = ReadPsnr(sse, sample_count, 1, PsnrForm::Quotient);
            frame_values[i] = {ShownDecibels(alone.y), ShownDecibels(alone.cb),
                               ShownDecibels(alone.cr)};
        }
    }
    const double elapsed_ms = stopwatch.Stop();
    return {std::nullopt, frame_count,
            ComposePsnrLine(ReadPsnr(pool, sample_count, frame_count, PsnrForm::LogSum),
                            elapsed_ms)};
}

namespace {

FrameValues SsimOfPair(const RectanglePair& pair) {
    const SsimMomentsTriple moments = MeasureSsimMoments(pair.first_a, pair.first_b, pair.width,
                                                         pair.height, pair.pitch, nullptr);
    return {SsimFromMoments(moments.y), SsimFromMoments(moments.cb), SsimFromMoments(moments.cr)};
}

FrameValues WindowedSsimOfPair(const RectanglePair& pair) {
    return MeasureWindowedSsim(pair.first_a, pair.first_b, pair.width, pair.height, pair.pitch,
                               FULL_SCALE, nullptr);
}

// The mean of the per-frame values, added in frame order.
RangeMeasurement MeanOverRange(int32_t frame_count, RangeFrameSource frame,
                               FrameValues (*values_of)(const RectanglePair&),
                               FrameValues* frame_values) {
    Stopwatch stopwatch;
    stopwatch.Start();
    ChannelTriple<double> sums;
    for (int32_t i = 0; i < frame_count; ++i) {
        const RangeFrame next = frame(i);
        if (!next.pair) return {next.stop, i, {}};
        const FrameValues alone = values_of(*next.pair);
        sums.y += alone.y;
        sums.cb += alone.cb;
        sums.cr += alone.cr;
        if (frame_values != nullptr) frame_values[i] = alone;
    }
    const double elapsed_ms = stopwatch.Stop();
    const double frames = static_cast<double>(frame_count);
    return {std::nullopt, frame_count,
            ComposeSsimLine({sums.y / frames, sums.cb / frames, sums.cr / frames}, elapsed_ms)};
}

}  // namespace

RangeMeasurement MeasureSsimRangeLine(int32_t frame_count, RangeFrameSource frame,
                                      FrameValues* frame_values) {
    return MeanOverRange(frame_count, frame, SsimOfPair, frame_values);
}

RangeMeasurement MeasureWindowedSsimRangeLine(int32_t frame_count, RangeFrameSource frame,
                                              FrameValues* frame_values) {
    return MeanOverRange(frame_count, frame, WindowedSsimOfPair, frame_values);
}

ResultLine MeasureSsimLine(const RectanglePair& pair, RowTeam* team) {
    Stopwatch stopwatch;
    stopwatch.Start();
    const SsimMomentsTriple moments = MeasureSsimMoments(pair.first_a, pair.first_b, pair.width,
                                                         pair.height, pair.pitch, team);
    const double elapsed_ms = stopwatch.Stop();
    return ComposeSsimLine(
        {SsimFromMoments(moments.y), SsimFromMoments(moments.cb), SsimFromMoments(moments.cr)},
        elapsed_ms);
}

ResultLine MeasureWindowedSsimLine(const RectanglePair& pair, RowTeam* team) {
    Stopwatch stopwatch;
    stopwatch.Start();
    const ChannelTriple<double> values = MeasureWindowedSsim(
        pair.first_a, pair.first_b, pair.width, pair.height, pair.pitch, FULL_SCALE, team);
    const double elapsed_ms = stopwatch.Stop();
    return ComposeSsimLine(values, elapsed_ms);
}

namespace {

LumaPlane ReferenceOf(const RectanglePair& pair) { return {pair.first_a, pair.pitch}; }

void KeepVmafFrame(const VmafFrame& frame, double* values) {
    const double kept[VMAF_VALUES] = {frame.score,
                                      frame.features.adm2,
                                      frame.features.motion2,
                                      frame.features.vif_scale[0],
                                      frame.features.vif_scale[1],
                                      frame.features.vif_scale[2],
                                      frame.features.vif_scale[3]};
    for (int32_t i = 0; i < VMAF_VALUES; ++i) values[i] = kept[i];
}

}  // namespace

RangeMeasurement MeasureVmafRangeLine(const VmafRange& range, RangeFrameSource frame,
                                      VmafSeries& series, RowTeam* team, double* frame_values) {
    const int64_t started = MonotonicNanoseconds();
    int64_t in_frame_calls = 0;
    const auto next_frame = [&](int32_t index) {
        const int64_t call_started = MonotonicNanoseconds();
        RangeFrame next = frame(index);
        in_frame_calls += MonotonicNanoseconds() - call_started;
        return next;
    };
    double sum = 0;
    const auto keep = [&](int32_t index, const VmafFrame& completed) {
        sum += completed.score;
        if (frame_values != nullptr) KeepVmafFrame(completed, frame_values + int64_t{index} * VMAF_VALUES);
    };

    if (range.has_before) {
        const RangeFrame before = next_frame(-1);
        if (!before.pair) return {before.stop, 0, {}};
        series.BeginAfter(ReferenceOf(*before.pair), team);
    } else {
        series.Begin();
    }
    VmafFrame completed;
    for (int32_t i = 0; i < range.frame_count; ++i) {
        const RangeFrame next = next_frame(i);
        if (!next.pair) return {next.stop, i, {}};
        const RectanglePair& pair = *next.pair;
        if (series.TakeFrame(ReferenceOf(pair), {pair.first_b, pair.pitch}, team, &completed))
            keep(i - 1, completed);
    }
    bool pending = false;
    if (range.has_after) {
        const RangeFrame after = next_frame(range.frame_count);
        if (!after.pair) return {after.stop, range.frame_count, {}};
        pending = series.EndBefore(ReferenceOf(*after.pair), team, &completed);
    } else {
        pending = series.End(&completed);
    }
    if (pending) keep(range.frame_count - 1, completed);
    const int64_t elapsed = MonotonicNanoseconds() - started - (range.time_frames ? 0 : in_frame_calls);
    return {std::nullopt, range.frame_count,
            ComposeVmafLine(sum / static_cast<double>(range.frame_count),
                            ElapsedMilliseconds(elapsed))};
}

}  // namespace morvith
