#include "report_commands.h"

#include "range_report.h"
#include "region_pass.h"
#include "report_graph.h"

namespace morvith::ex {
namespace {

// The render that follows shows the report's line: moving to one of its frames measures
// nothing again.
int32_t MoveToReportFrame(host::FilterRegistration& registration, void* edit_handle, int32_t frame) {
    const host::HostServices& services = *registration.services;
    if (services.IsEditing == nullptr || services.FrameCount == nullptr ||
        services.MoveToFrame == nullptr) {
        return 0;
    }
    // The error box of a range has no owner, so the graph and the menus stay usable under
    // it; a move would ask the host for a render while its render is still in progress.
    if (ProcessFrameIsRunning()) return 0;
    if (services.IsEditing(edit_handle) == 0 || services.IsSavingOutput(edit_handle) != 0) {
        return 0;
    }
    const RangeReport* report = LastReport();
    if (report == nullptr || !report->HasFrames() || frame < 0) return 0;
    // A report of a longer edit than the one now open names no frame of it.
    if (frame >= services.FrameCount(edit_handle)) return 0;
    const int32_t moved_to = services.MoveToFrame(edit_handle, frame);
    // With the filter off the render after the move passes this module by, and whatever a
    // later one at that frame is handed may have changed upstream.
    if (services.FilterIsEnabled == nullptr || services.FilterIsEnabled(&registration) != 0) {
        ExpectRenderOfReportAt(moved_to);
    }
    return 1;
}

int32_t MoveToWorstFrame(host::FilterRegistration& registration, void* edit_handle) {
    const RangeReport* report = LastReport();
    return report == nullptr ? 0 : MoveToReportFrame(registration, edit_handle, report->worst_frame);
}

}  // namespace

const char WORST_FRAME_ITEM[] = "最も悪いフレームへ移動";
const char NOTHING_TO_EXPORT_TEXT[] =
    "書き出すフレームごとの値がありません。「平均値」をオンにして範囲を測定してください。";

MORVITH_HOST_CALLBACK int32_t HandleWindowMessage(HWND window, UINT message, WPARAM wparam,
                                                  LPARAM, void* edit_handle,
                                                  host::FilterRegistration* registration) {
    if (registration == nullptr || registration->services == nullptr) return 0;
    host::HostServices& services = *registration->services;
    switch (message) {
        case host::WINDOW_SETUP_MESSAGE:
            if (services.AddMenuItem != nullptr) {
                services.AddMenuItem(registration, WORST_FRAME_ITEM, window, WORST_FRAME_MENU_ID,
                                     0, 0);
            }
            CreateReportGraph(window, registration->instance);
            return 0;
        case host::WINDOW_TEARDOWN_MESSAGE:
            DestroyReportGraph(registration->instance);
            DiscardReport();
            ReleaseVmafMemory();
            return 0;
        case WM_SIZE:
            AlignReportGraph(window);
            return 0;
        case WM_COMMAND:
            if (LOWORD(wparam) != REPORT_GRAPH_ID) return 0;
            return MoveToReportFrame(*registration, edit_handle, TakeClickedFrame());
        case host::MENU_COMMAND_MESSAGE:
            if (wparam != WORST_FRAME_MENU_ID) return 0;
            return MoveToWorstFrame(*registration, edit_handle);
        case host::EXPORT_MESSAGE:
            if (!ProcessFrameIsRunning() && services.IsSavingOutput(edit_handle) == 0) ExportReport(window);
            return 0;
        default:
            return 0;
    }
}

}  // namespace morvith::ex
