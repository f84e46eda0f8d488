#include "measure_line.h"

#include "result_line.h"
#include "ssim.h"
#include "stopwatch.h"
#include "windowed_ssim.h"

namespace morvith {

ResultLine MeasurePsnrLine(const RectanglePair& pair, RowTeam* team, PsnrForm form) {
    Stopwatch stopwatch;
    stopwatch.Start();
    const SquaredErrorTriple sse = SumSquaredError(pair.first_a, pair.first_b, pair.width,
                                                   pair.height, pair.pitch, team);
    const double elapsed_ms = stopwatch.Stop();
    return ComposePsnrLine(ReadPsnr(sse, pair.width * pair.height, 1, form), elapsed_ms);
}

RangeMeasurement MeasurePsnrRangeLine(int32_t frame_count, RangeFrameSource frame) {
    Stopwatch stopwatch;
    stopwatch.Start();
    PooledSquaredErrorTriple pool;
    int32_t sample_count = 0;
    for (int32_t i = 0; i < frame_count; ++i) {
        const RangeFrame next = frame(i);
        if (!next.pair) return {next.stop, i, {}};
        const RectanglePair& pair = *next.pair;
        sample_count = pair.width * pair.height;
        AddToPool(pool, SumSquaredError(pair.first_a, pair.first_b, pair.width,
                                        pair.height, pair.pitch, nullptr));
    }
    const double elapsed_ms = stopwatch.Stop();
    return {std::nullopt, frame_count,
            ComposePsnrLine(ReadPsnr(pool, sample_count, frame_count, PsnrForm::LogSum),
                            elapsed_ms)};
}

namespace {

ChannelTriple<double> SsimOfPair(const RectanglePair& pair) {
    const SsimMomentsTriple moments = MeasureSsimMoments(pair.first_a, pair.first_b, pair.width,
                                                         pair.height, pair.pitch, nullptr);
    return {SsimFromMoments(moments.y), SsimFromMoments(moments.cb), SsimFromMoments(moments.cr)};
}

ChannelTriple<double> WindowedSsimOfPair(const RectanglePair& pair) {
    return MeasureWindowedSsim(pair.first_a, pair.first_b, pair.width, pair.height, pair.pitch,
                               FULL_SCALE, nullptr);
}

// The mean of the per-frame values, added in frame order.
RangeMeasurement MeanOverRange(int32_t frame_count, RangeFrameSource frame,
                               ChannelTriple<double> (*values_of)(const RectanglePair&)) {
    Stopwatch stopwatch;
    stopwatch.Start();
    ChannelTriple<double> sums;
    for (int32_t i = 0; i < frame_count; ++i) {
        const RangeFrame next = frame(i);
        if (!next.pair) return {next.stop, i, {}};
        const ChannelTriple<double> values = values_of(*next.pair);
        sums.y += values.y;
        sums.cb += values.cb;
        sums.cr += values.cr;
    }
    const double elapsed_ms = stopwatch.Stop();
    const double frames = static_cast<double>(frame_count);
    return {std::nullopt, frame_count,
            ComposeSsimLine({sums.y / frames, sums.cb / frames, sums.cr / frames}, elapsed_ms)};
}

}  // namespace

RangeMeasurement MeasureSsimRangeLine(int32_t frame_count, RangeFrameSource frame) {
    return MeanOverRange(frame_count, frame, SsimOfPair);
}

RangeMeasurement MeasureWindowedSsimRangeLine(int32_t frame_count, RangeFrameSource frame) {
    return MeanOverRange(frame_count, frame, WindowedSsimOfPair);
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

}  // namespace morvith
