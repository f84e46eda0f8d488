#pragma once

// A report's frames laid out on a plot of a given width: which frames each pixel column
// holds, the lowest and highest value under it, the frame a click on it means, and the row
// a value is drawn at. Portable, so that the window only draws what this decides.

#include <cstdint>

#include "frame_report.h"

namespace morvith {

// Where the plot sits in a graph window of width x height: room on the left for the
// scale's numbers, below for the frame numbers, above for the worst frame's label.
struct PlotArea {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;   // pixel columns, 0 when the window is too small for a plot
    int32_t height = 0;  // pixel rows

    bool Contains(int32_t x, int32_t y) const {
        return x >= left && x < left + width && y >= top && y < top + height;
    }
};
PlotArea PlotAreaOf(int32_t window_width, int32_t window_height);

// Frames first .. end - 1 of the report, counted from its first frame.
struct FrameSpan {
    int32_t first = 0;
    int32_t end = 0;
};

// Every column holds at least one frame: a range shorter than the plot is wide spreads each
// frame over neighbouring columns, a longer one gathers frames into each column. Empty for
// a column outside 0 .. columns - 1 or a report without frames.
FrameSpan FramesOfColumn(int32_t column, int32_t columns, int32_t frame_count);
// The last column that holds frame `frame`: the inverse of FramesOfColumn.
int32_t ColumnOfFrame(int32_t frame, int32_t columns, int32_t frame_count);

// The curves in the order Y, Cb, Cr (VMAF's score as Y); those beyond the report's
// curves stay 0.
struct GraphColumn {
    FrameValues lowest;
    FrameValues highest;
    int32_t lowest_y_frame = -1;  // the first frame of the column with its lowest Y
};
// The values under one column, so that no dip is hidden however many frames share it.
GraphColumn SummarizeColumn(const ReportFrames& frames, FrameSpan span);
inline GraphColumn SummarizeColumn(const FrameValues* values, int32_t frame_count, FrameSpan span) {
    return SummarizeColumn(ChannelFrames(values, frame_count), span);
}

// The frame a click on `column` takes the editor to (counted from the report's first
// frame), or -1 for a column without frames.
int32_t FrameAtColumn(const ReportFrames& frames, int32_t column, int32_t columns);
inline int32_t FrameAtColumn(const FrameValues* values, int32_t frame_count, int32_t column,
                             int32_t columns) {
    return FrameAtColumn(ChannelFrames(values, frame_count), column, columns);
}

// The report's lowest and highest finite value over all its curves.
struct GraphScale {
    double lowest = 0;
    double highest = 0;
    bool has_finite = false;
    bool has_infinite = false;  // some channel of some frame without difference
};
GraphScale ScaleOf(const ReportFrames& frames);
inline GraphScale ScaleOf(const FrameValues* values, int32_t frame_count) {
    return ScaleOf(ChannelFrames(values, frame_count));
}

// Rows of the plot above its finite values, where a channel at infinity is drawn.
inline constexpr int32_t INFINITY_BAND = 14;

// The row of `value` in a plot of `rows` rows, 0 at the top: infinity in row 0, the scale's
// highest finite value at INFINITY_BAND and its lowest in the last row (a scale of one value
// draws it halfway).
int32_t RowOfValue(double value, const GraphScale& scale, int32_t rows);

}  // namespace morvith
