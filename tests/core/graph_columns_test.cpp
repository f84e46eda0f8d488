// A report's frames on a plot's columns: every frame in exactly one run of columns, each
// column's lowest-Y frame found by brute force, the scale's ends and infinity.

#include "graph_columns.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace morvith {
namespace {

constexpr double INF = std::numeric_limits<double>::infinity();

// Y values that dip in a pattern of their own, Cb and Cr above them.
std::vector<FrameValues> Dipping(int32_t count) {
    std::vector<FrameValues> values(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        const double y = 40 - (i * 7919 % 23) * 0.5;
        values[static_cast<size_t>(i)] = {y, y + 3, y + 5};
    }
    return values;
}

// One frame, fewer frames than columns, as many, more, and far more: the columns cover the
// frames in order, none is empty, a frame's last column is ColumnOfFrame, and a click on a
// column finds the first lowest Y under it.
TEST(GraphColumns, ColumnsCoverTheFramesInOrderAndAClickFindsTheLowestY) {
    constexpr int32_t COLUMNS[] = {1, 7, 300};
    constexpr int32_t COUNTS[] = {1, 2, 6, 7, 299, 300, 301, 1000, 4321, 100000};
    for (const int32_t columns : COLUMNS) {
        for (const int32_t count : COUNTS) {
            SCOPED_TRACE(::testing::Message() << count << " frames, " << columns << " columns");
            const std::vector<FrameValues> values = Dipping(count);
            int32_t next = 0;
            for (int32_t column = 0; column < columns; ++column) {
                const FrameSpan span = FramesOfColumn(column, columns, count);
                ASSERT_LT(span.first, span.end);
                // A frame spread over several columns starts them again; otherwise they follow on.
                EXPECT_TRUE(span.first == next || span.first == next - 1) << column;
                EXPECT_LE(span.end - span.first, count / columns + 1);
                next = span.end;
                int32_t lowest = span.first;
                for (int32_t i = span.first; i < span.end; ++i)
                    if (values[i].y < values[lowest].y) lowest = i;
                EXPECT_EQ(FrameAtColumn(values.data(), count, column, columns), lowest) << column;
            }
            EXPECT_EQ(next, count);
            for (int32_t frame = 0; frame < count; frame += 1 + count / 97) {
                const int32_t column = ColumnOfFrame(frame, columns, count);
                const FrameSpan span = FramesOfColumn(column, columns, count);
                EXPECT_TRUE(frame >= span.first && frame < span.end) << frame;
                // The last column that holds it: the next one starts after it.
                if (column + 1 < columns) {
                    EXPECT_GT(FramesOfColumn(column + 1, columns, count).first, frame);
                }
            }
        }
    }
}

TEST(GraphColumns, AColumnSpansTheLowestAndHighestOfEachChannel) {
    const std::vector<FrameValues> values = {{30, 41, INF}, {25, 44, 50}, {25, 40, 51}, {31, INF, 49}};
    const GraphColumn column = SummarizeColumn(values.data(), 4, FramesOfColumn(0, 1, 4));
    EXPECT_EQ(column.lowest, (FrameValues{25, 40, 49}));
    EXPECT_EQ(column.highest, (FrameValues{31, INF, INF}));
    EXPECT_EQ(column.lowest_y_frame, 1);
}

TEST(GraphColumns, NoFramesOrAClickOutsideTheColumnsMeansNoFrame) {
    const std::vector<FrameValues> values = Dipping(10);
    EXPECT_EQ(FrameAtColumn(values.data(), 0, 0, 5), -1);
    EXPECT_EQ(FrameAtColumn(nullptr, 10, 0, 5), -1);
    EXPECT_EQ(FrameAtColumn(values.data(), 10, -1, 5), -1);
    EXPECT_EQ(FrameAtColumn(values.data(), 10, 5, 5), -1);
    EXPECT_EQ(ColumnOfFrame(10, 5, 10), -1);
    EXPECT_EQ(ColumnOfFrame(-1, 5, 10), -1);
}

TEST(GraphColumns, TheScaleRunsFromTheLowestToTheHighestFiniteValueWithInfinityAbove) {
    const std::vector<FrameValues> values = {{30, INF, 45}, {20, 50, INF}};
    const GraphScale scale = ScaleOf(values.data(), 2);
    ASSERT_TRUE(scale.has_finite);
    EXPECT_EQ(scale.lowest, 20);
    EXPECT_EQ(scale.highest, 50);
    EXPECT_TRUE(scale.has_infinite);
    constexpr int32_t ROWS = 107;
    EXPECT_EQ(RowOfValue(20, scale, ROWS), ROWS - 1);
    EXPECT_EQ(RowOfValue(50, scale, ROWS), INFINITY_BAND);
    EXPECT_EQ(RowOfValue(35, scale, ROWS), (ROWS - 1 + INFINITY_BAND) / 2);
    EXPECT_EQ(RowOfValue(INF, scale, ROWS), 0);

    // Every frame without difference: nothing finite, everything at the top.
    const std::vector<FrameValues> identical(5, FrameValues{INF, INF, INF});
    const GraphScale endless = ScaleOf(identical.data(), 5);
    EXPECT_FALSE(endless.has_finite);
    EXPECT_TRUE(endless.has_infinite);
    EXPECT_EQ(RowOfValue(INF, endless, ROWS), 0);
    EXPECT_EQ(FrameAtColumn(identical.data(), 5, 0, 2), 0);
    EXPECT_EQ(FrameAtColumn(identical.data(), 5, 1, 2), 2);

    // One finite value: halfway, below infinity.
    const std::vector<FrameValues> one = {{0.5, 0.5, INF}};
    EXPECT_EQ(RowOfValue(0.5, ScaleOf(one.data(), 1), ROWS), (ROWS - 1 + INFINITY_BAND) / 2);
}

// VMAF's report keeps seven values a frame: only the score is scaled, drawn and clicked.
TEST(GraphColumns, VmafFramesScaleAndSummarizeTheirScoreAlone) {
    const double frames[3][VMAF_VALUES] = {{90, 0.9, 150, 0.1, 0.2, 0.3, 0.4},
                                           {70, 0.95, -3, 0.1, 0.2, 0.3, 0.4},
                                           {80, 0.2, 2, 0.1, 0.2, 0.3, 0.4}};
    const ReportFrames report = VmafFrames(frames[0], 3);
    const GraphScale scale = ScaleOf(report);
    EXPECT_EQ(scale.lowest, 70);
    EXPECT_EQ(scale.highest, 90);
    const GraphColumn column = SummarizeColumn(report, {0, 3});
    EXPECT_EQ(column.lowest.y, 70);
    EXPECT_EQ(column.highest.y, 90);
    EXPECT_EQ(column.lowest_y_frame, 1);
    EXPECT_EQ(FrameAtColumn(report, 0, 1), 1);
}

TEST(GraphColumns, AWindowTooSmallForAPlotHasNoColumns) {
    const PlotArea area = PlotAreaOf(300, 120);
    EXPECT_GT(area.width, 200);
    EXPECT_GT(area.height, 80);
    EXPECT_TRUE(area.Contains(area.left, area.top + area.height - 1));
    EXPECT_FALSE(area.Contains(area.left + area.width, area.top));
    EXPECT_EQ(PlotAreaOf(10, 10).width, 0);
    EXPECT_EQ(PlotAreaOf(300, 30).width, 0);
}

}  // namespace
}  // namespace morvith
