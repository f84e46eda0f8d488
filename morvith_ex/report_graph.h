#pragma once

// The last range's report drawn below the controls of Morvith ex's settings window: a child
// window of the module's own class. A click on the plot keeps the lowest-Y frame of the
// column under the pointer and tells the settings window with a WM_COMMAND of the child's id.

#include "filter_abi.h"

namespace morvith::ex {

inline constexpr int32_t REPORT_GRAPH_ID = 40003;
// Pixels that the graph adds to the height of the host's settings window.
inline constexpr int32_t REPORT_GRAPH_HEIGHT = 150;

extern const char NO_REPORT_TEXT[];
extern const char NO_FRAMES_TEXT[];

// On the setup message: the class, registered with the module's instance, and the child.
// A platform that refuses either leaves the window without a graph.
void CreateReportGraph(HWND settings_window, HINSTANCE instance);
// Along the bottom of the settings window's client area, its whole width.
void AlignReportGraph(HWND settings_window);
// On the teardown message: the child first, then its class, so that no window of the class
// outlives the module.
void DestroyReportGraph(HINSTANCE instance);

// A report arrived.
void RedrawReportGraph();
// The frame that a render shows, in the host's numbering.
void ShowFrameOnGraph(int32_t frame);
// The frame of the last click on the plot, in the host's numbering, or -1; taken once.
int32_t TakeClickedFrame();

}  // namespace morvith::ex
