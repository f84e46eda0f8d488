#pragma once

// The report of the last range that completed: its settings, the line its title showed
// and the values of each frame, kept in the module until a later range replaces it.

#include <cstdint>

#include "frame_report.h"
#include "region_pass.h"

namespace morvith::ex {

struct RangeReport {
    RegionSettings settings;  // kind, rectangles and range, as measured
    ResultLine line;
    // null, with no frames, where memory was short; ValuesOfKind doubles a frame
    const double* frames = nullptr;
    int32_t frame_count = 0;
    int32_t worst_frame = -1;  // in the host's numbering; -1 without frames

    bool HasFrames() const { return frame_count > 0; }
    ReportFrames Frames() const;
};

// The doubles a frame of this kind keeps: VMAF's score and features, or three channels.
int32_t ValuesOfKind(int32_t kind);

// Room for the values of a range about to start, or null: a range measures without it.
double* ReserveReportFrames(int32_t frame_count, int32_t kind);
// A range that stopped hands its room back; the last report stays.
void ReleaseReportFrames(double* frames);
// A range that completed: its report replaces the last one and owns `frames`.
void KeepReport(const RegionSettings& settings, const ResultLine& line, double* frames,
                int32_t frame_count);
// The last report, or null before any range completed.
const RangeReport* LastReport();
// Frees the report, as the host shuts the filter down.
void DiscardReport();

// A move to one of the report's frames makes the host render that frame again, with the
// report's settings in place: that render shows the report's line instead of starting the
// range again. Only the next render is spared, whatever it is.
void ExpectRenderOfReportAt(int32_t frame);
// Called once at the start of every render: whether it is the expected one.
bool TakeExpectedRender(int32_t frame_index);
// Shows the report's line if its settings are those of this render.
bool ShowReportFor(const host::FilterRegistration& registration, const RegionSettings& settings);

}  // namespace morvith::ex
