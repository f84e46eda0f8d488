// The report's graph in the settings window: where it sits, the frame a click on a column
// takes the editor to (the lowest Y under it, found from the frames' known differences),
// the clicks that do nothing, and repaints that leave no GDI object behind.

#include "../morvith/gdi_tally.h"
#include "ex_harness.h"
#include "graph_columns.h"

namespace morvith::ex_test {
namespace {

using standin::Service;

constexpr int GRAPH_ID = 40003;

// Frames of 8 x 4 whose right half is the left one with Y raised by DIFFERENCES[i % 13]:
// a larger difference is a lower PSNR, and equal ones tie exactly.
constexpr int16_t DIFFERENCES[] = {1, 4, 2, 9, 3, 9, 1, 5, 7, 2, 6, 8, 3};
constexpr int16_t DifferenceOf(int frame) { return DIFFERENCES[(frame * 5 + frame / 13) % 13]; }

Clip ClipOfDifferences(int frame_count) {
    std::vector<std::optional<Picture>> frames;
    for (int i = 0; i < frame_count; ++i) {
        Picture picture = PatternPicture(8, 4, 900 + i);
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c) {
                picture.at(4 + c, r) = picture.at(c, r);
                picture.at(4 + c, r).y = static_cast<int16_t>(picture.at(c, r).y + DifferenceOf(i));
            }
        frames.push_back(std::move(picture));
    }
    return ClipOf(std::move(frames));
}

Controls RangeOf(int32_t first, int32_t last) {
    return {.kind = 1, .region_width = 4, .region_height = 4, .x1 = 0, .y1 = 0, .x2 = 4, .y2 = 0,
            .range_start = first, .range_end = last, .average = 1};
}

class ExReportGraph : public ::testing::Test {
protected:
    explicit ExReportGraph(int frame_count = 8) : host_(MODULE_PATH, ClipOfDifferences(frame_count)) {
        host_.SetRenderOnWindowResult(true);
    }

    HWND Graph() const { return host_.FindControl(GRAPH_ID).value().handle; }
    PlotArea Plot() const {
        RECT client;
        GetClientRect(Graph(), &client);
        return PlotAreaOf(client.right, client.bottom);
    }
    std::string Measure(const Controls& range) {
        range.ApplyTo(host_);
        return host_.ProcessFrame(range.range_start).title;
    }
    // A click at (x, y) of the graph: the frame the editor moved to, or -1.
    int32_t Click(int x, int y) {
        host_.ClearLog();
        const size_t renders = host_.renders().size();
        host_.ClickControl(GRAPH_ID, x, y);
        const std::vector<standin::ServiceCall> moves = host_.CallsOf(Service::MoveToFrame);
        EXPECT_LE(moves.size(), 1u);
        EXPECT_EQ(host_.renders().size() - renders, moves.size());
        EXPECT_TRUE(host_.CallsOf(Service::FetchFilteredFrame).empty()) << "a second range";
        return moves.empty() ? -1 : moves[0].frame;
    }
    int32_t ClickColumn(int32_t column) {
        const PlotArea plot = Plot();
        return Click(plot.left + column, plot.top + plot.height / 2);
    }

    StandInHost host_;
};

TEST_F(ExReportGraph, FillsTheAddedHeightAlongTheBottom) {
    host_.ShowHostControls();
    const standin::ControlInfo graph = host_.FindControl(GRAPH_ID).value();
    char class_name[64] = {};
    GetClassNameA(graph.handle, class_name, sizeof class_name);
    EXPECT_STREQ(class_name, "MorvithExReportGraph");
    EXPECT_EQ(GetClassLongPtrA(graph.handle, GCLP_HMODULE), reinterpret_cast<ULONG_PTR>(host_.module()));
    RECT client;
    GetClientRect(host_.window(), &client);
    EXPECT_EQ(graph.x, 0);
    EXPECT_EQ(graph.width, client.right);
    EXPECT_EQ(graph.height, 150);
    EXPECT_EQ(graph.y + graph.height, client.bottom);
    // The host's own rows keep the room above it.
    for (const standin::ControlInfo& control : host_.Controls()) {
        if (control.id == GRAPH_ID) continue;
        EXPECT_LE(control.y + control.height, graph.y) << control.id;
    }
}

// A range of 8 frames spreads each frame over many columns; a click anywhere on a frame's
// columns moves there, and the render it causes shows the range's line.
TEST_F(ExReportGraph, AClickMovesToTheFrameUnderItWithoutASecondRange) {
    const std::string line = Measure(RangeOf(1, 7));
    const PlotArea plot = Plot();
    ASSERT_GT(plot.width, 100);
    for (int32_t frame = 1; frame <= 7; ++frame) {
        // The frame's first, middle and last column.
        const int32_t first = (frame - 1) * plot.width / 7 + ((frame - 1) * plot.width % 7 != 0);
        const int32_t last = frame * plot.width / 7 - (frame * plot.width % 7 == 0);
        for (const int32_t column : {first, (first + last) / 2, last}) {
            SCOPED_TRACE(column);
            EXPECT_EQ(ClickColumn(column), frame);
            ASSERT_FALSE(host_.renders().empty());
            EXPECT_EQ(host_.renders().back().title, line);
        }
    }
}

class ExLongReportGraph : public ExReportGraph {
protected:
    ExLongReportGraph() : ExReportGraph(800) {}
};

// More frames than columns: each column's frames, read from their differences, and the first
// of the largest difference as the frame the click chooses.
TEST_F(ExLongReportGraph, AClickOnAColumnMovesToItsLowestYFrame) {
    Measure(RangeOf(3, 797));
    const PlotArea plot = Plot();
    constexpr int32_t FRAMES = 795;
    ASSERT_GT(FRAMES, 2 * plot.width);
    for (const int32_t column : {0, 1, 2, 57, plot.width / 2, plot.width - 2, plot.width - 1}) {
        SCOPED_TRACE(column);
        const int32_t first = static_cast<int32_t>(int64_t{column} * FRAMES / plot.width);
        const int32_t end = static_cast<int32_t>(int64_t{column + 1} * FRAMES / plot.width);
        int32_t expected = first;
        for (int32_t i = first; i < end; ++i)
            if (DifferenceOf(3 + i) > DifferenceOf(3 + expected)) expected = i;
        EXPECT_EQ(ClickColumn(column), 3 + expected);
    }
}

TEST_F(ExReportGraph, ClicksOutsideThePlotWithoutAReportAFileOrWhileSavingDoNothing) {
    const PlotArea plot = Plot();
    EXPECT_EQ(ClickColumn(plot.width / 2), -1);  // no report yet
    Measure(RangeOf(0, 7));
    EXPECT_EQ(Click(plot.left - 1, plot.top + 10), -1);
    EXPECT_EQ(Click(plot.left + 10, plot.top + plot.height), -1);
    EXPECT_EQ(Click(plot.left + plot.width, plot.top + 10), -1);
    EXPECT_EQ(Click(plot.left + 10, plot.top - 1), -1);
    host_.SetSavingOutput(true);
    EXPECT_EQ(ClickColumn(0), -1);
    host_.SetSavingOutput(false);
    host_.SetEditing(false);
    EXPECT_EQ(ClickColumn(0), -1);
    host_.SetEditing(true);
    EXPECT_EQ(ClickColumn(0), 0);
}

// The fetch-error box has no owner: the graph, the Edit menu and File > Export stay in reach
// under it while the host is still inside its render. Until the render is over they do nothing.
TEST_F(ExReportGraph, NoMoveAndNoExportWhileARangesBoxIsUp) {
    Measure(RangeOf(0, 7));
    UpdateWindow(Graph());
    const PlotArea plot = Plot();
    host_.SetCallHooks({{}, {}, [&] {
        PostMessageA(Graph(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(plot.left + 1, plot.top + plot.height / 2));
        PostMessageA(host_.window(), host::MENU_COMMAND_MESSAGE, host_.MenuItems().at(0).id, 0);
        PostMessageA(host_.window(), host::EXPORT_MESSAGE, 0, 0);
    }});
    host_.ClearLog();
    Measure(RangeOf(1, 9));  // the clip ends at frame 7
    host_.SetCallHooks({});
    EXPECT_EQ(host_.message_boxes().size(), 1u);
    EXPECT_TRUE(host_.CallsOf(Service::MoveToFrame).empty());
    EXPECT_TRUE(host_.file_dialogs().empty());
    RangeOf(0, 7).ApplyTo(host_);
    EXPECT_EQ(ClickColumn(0), 0);
}

// Clicks wait in the queue while a range runs; handled after it, they would land on the new
// report's columns, which the user has not seen yet.
TEST_F(ExReportGraph, AClickQueuedDuringARangeIsDropped) {
    Measure(RangeOf(0, 7));
    UpdateWindow(Graph());
    const PlotArea plot = Plot();
    bool clicked = false;
    host_.SetCallHooks({[&](Service service) {
                            if (service != Service::FetchFilteredFrame || clicked) return;
                            clicked = true;
                            PostMessageA(Graph(), WM_LBUTTONDOWN, MK_LBUTTON,
                                         MAKELPARAM(plot.left + 1, plot.top + plot.height / 2));
                        },
                        {}});
    Measure(RangeOf(1, 7));
    host_.SetCallHooks({});
    host_.ClearLog();
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    EXPECT_TRUE(clicked);
    EXPECT_TRUE(host_.CallsOf(Service::MoveToFrame).empty());
    EXPECT_EQ(ClickColumn(0), 1);
}

TEST(ExReportGraphObjects, RepaintsLeaveNoObjectBehind) {
    testing::GdiTally gdi(MODULE_PATH);
    {
        StandInHost host(MODULE_PATH, ClipOfDifferences(8));
        const HWND graph = host.FindControl(GRAPH_ID).value().handle;
        const auto repaint = [&] { RedrawWindow(graph, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); };
        repaint();
        EXPECT_EQ(gdi.live(), 0);
        RangeOf(0, 7).ApplyTo(host);
        host.ProcessFrame(0);
        for (int i = 0; i < 200; ++i) {
            repaint();
            if (i % 50 == 0) host.ProcessFrame(i / 50);  // the frame on screen moves
        }
        EXPECT_GT(gdi.created(), 200);
        EXPECT_EQ(gdi.live(), 0);
    }
    EXPECT_EQ(gdi.live(), 0);
    EXPECT_EQ(gdi.foreign_deletions(), 0);
}

}  // namespace
}  // namespace morvith::ex_test
