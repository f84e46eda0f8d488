#include "range_report.h"

#include <cstdint>
#include <cstdlib>

#include "report_graph.h"

namespace morvith::ex {
namespace {

RangeReport report;
bool report_kept = false;

constexpr int32_t NO_FRAME = -1;
int32_t expected_render = NO_FRAME;

bool SameMeasurement(const RegionSettings& a, const RegionSettings& b) {
    return a.kind == b.kind && a.region_width == b.region_width &&
           a.region_height == b.region_height && a.x1 == b.x1 && a.y1 == b.y1 &&
           a.x2 == b.x2 && a.y2 == b.y2 && a.range_start == b.range_start &&
           a.range_end == b.range_end && a.average == b.average;
}

}  // namespace

int32_t ValuesOfKind(int32_t kind) {
    return kind == host::MEASURE_VMAF ? VMAF_VALUES : CHANNEL_VALUES;
}

ReportFrames RangeReport::Frames() const {
    const int32_t stride = ValuesOfKind(settings.kind);
    return {frames, frame_count, stride, stride == VMAF_VALUES ? 1 : CHANNEL_VALUES};
}

double* ReserveReportFrames(int32_t frame_count, int32_t kind) {
    const size_t frame_bytes = static_cast<size_t>(ValuesOfKind(kind)) * sizeof(double);
    // A count that the host's sliders never hand out can make the size wrap in 32 bits.
    if (frame_count <= 0 || static_cast<size_t>(frame_count) > SIZE_MAX / frame_bytes) return nullptr;
    // malloc reports a refusal with null, where a failed new would end the host.
    return static_cast<double*>(std::malloc(static_cast<size_t>(frame_count) * frame_bytes));
}

void ReleaseReportFrames(double* frames) { std::free(frames); }

void KeepReport(const RegionSettings& settings, const ResultLine& line, double* frames,
                int32_t frame_count) {
    DiscardReport();
    report.settings = settings;
    report.line = line;
    report.frames = frames;
    report.frame_count = frames != nullptr ? frame_count : 0;
    const int32_t worst = WorstFrameIndex(report.Frames());
    report.worst_frame = worst < 0 ? NO_FRAME : settings.range_start + worst;
    report_kept = true;
    RedrawReportGraph();
}

const RangeReport* LastReport() { return report_kept ? &report : nullptr; }

void DiscardReport() {
    std::free(const_cast<double*>(report.frames));
    report = RangeReport{};
    report_kept = false;
    expected_render = NO_FRAME;
}

void ExpectRenderOfReportAt(int32_t frame) { expected_render = frame; }

bool TakeExpectedRender(int32_t frame_index) {
    const int32_t expected = expected_render;
    expected_render = NO_FRAME;
    return expected != NO_FRAME && frame_index == expected;
}

bool ShowReportFor(const host::FilterRegistration& registration, const RegionSettings& settings) {
    if (!report_kept || !SameMeasurement(settings, report.settings)) return false;
    host::SetTitle(registration, report.line.c_str());
    return true;
}

}  // namespace morvith::ex
