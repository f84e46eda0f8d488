#include "graph_columns.h"

#include <algorithm>
#include <cmath>

namespace morvith {
namespace {

// Room for "47.0811" in the scale's font on the left, a line of frame numbers below and a
// line for the worst frame's label above.
constexpr int32_t SCALE_WIDTH = 54;
constexpr int32_t RIGHT_MARGIN = 8;
constexpr int32_t LABEL_HEIGHT = 16;
constexpr int32_t FRAME_NUMBERS_HEIGHT = 16;

}  // namespace

PlotArea PlotAreaOf(int32_t window_width, int32_t window_height) {
    PlotArea area;
    area.left = SCALE_WIDTH;
    area.top = LABEL_HEIGHT;
    area.width = std::max(0, window_width - SCALE_WIDTH - RIGHT_MARGIN);
    area.height = std::max(0, window_height - LABEL_HEIGHT - FRAME_NUMBERS_HEIGHT);
    if (area.height <= INFINITY_BAND) area.width = area.height = 0;
    return area;
}

// 64-bit products: 999999 frames times a few thousand columns exceed 32 bits.
FrameSpan FramesOfColumn(int32_t column, int32_t columns, int32_t frame_count) {
    if (column < 0 || column >= columns || frame_count <= 0) return {};
    const auto first = static_cast<int32_t>(int64_t{column} * frame_count / columns);
    const auto end = static_cast<int32_t>(int64_t{column + 1} * frame_count / columns);
    return {first, std::max(end, first + 1)};
}

int32_t ColumnOfFrame(int32_t frame, int32_t columns, int32_t frame_count) {
    if (frame < 0 || frame >= frame_count || columns <= 0) return -1;
    return static_cast<int32_t>((int64_t{frame + 1} * columns - 1) / frame_count);
}

GraphColumn SummarizeColumn(const ReportFrames& frames, FrameSpan span) {
    GraphColumn column;
    span.end = std::min(span.end, frames.count);
    if (frames.values == nullptr || span.first < 0 || span.first >= span.end) return column;
    const int32_t curves = std::min(frames.curves, 3);
    double lowest[3] = {};
    double highest[3] = {};
    for (int32_t c = 0; c < curves; ++c) lowest[c] = highest[c] = frames.At(span.first, c);
    column.lowest_y_frame = span.first;
    for (int32_t i = span.first + 1; i < span.end; ++i) {
        if (frames.At(i, 0) < lowest[0]) column.lowest_y_frame = i;
        for (int32_t c = 0; c < curves; ++c) {
            lowest[c] = std::min(lowest[c], frames.At(i, c));
            highest[c] = std::max(highest[c], frames.At(i, c));
        }
    }
    column.lowest = {lowest[0], lowest[1], lowest[2]};
    column.highest = {highest[0], highest[1], highest[2]};
    return column;
}

int32_t FrameAtColumn(const ReportFrames& frames, int32_t column, int32_t columns) {
    return SummarizeColumn(frames, FramesOfColumn(column, columns, frames.count)).lowest_y_frame;
}

GraphScale ScaleOf(const ReportFrames& frames) {
    GraphScale scale;
    for (int32_t i = 0; frames.values != nullptr && i < frames.count; ++i) {
        for (int32_t c = 0; c < frames.curves; ++c) {
            const double value = frames.At(i, c);
            if (!std::isfinite(value)) {
                scale.has_infinite = scale.has_infinite || value == INFINITY;
                continue;
            }
            if (!scale.has_finite) {
                scale.lowest = scale.highest = value;
                scale.has_finite = true;
            }
            scale.lowest = std::min(scale.lowest, value);
            scale.highest = std::max(scale.highest, value);
        }
    }
    return scale;
}

int32_t RowOfValue(double value, const GraphScale& scale, int32_t rows) {
    if (rows <= 0) return 0;
    const int32_t bottom = rows - 1;
    const int32_t top = std::min(INFINITY_BAND, bottom);
    if (std::isnan(value) || value == INFINITY || !scale.has_finite) return 0;
    if (scale.highest <= scale.lowest) return (top + bottom) / 2;
    const double share = std::clamp((value - scale.lowest) / (scale.highest - scale.lowest), 0.0, 1.0);
    const double row = bottom - share * (bottom - top);
    return static_cast<int32_t>(std::lround(row));
}

}  // namespace morvith
