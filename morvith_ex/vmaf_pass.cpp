// VMAF on the frame on screen: rectangle 1 is the reference, rectangle 2 the distorted
// picture, and motion needs rectangle 1 of the frames before and after it in the edit.

#include "measure_line.h"
#include "region_pass.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace morvith::ex {
namespace {

// Kept between calls while the size stays: VMAF's buffers are large.
VmafSeries vmaf_series;

}  // namespace

VmafSeries* PreparedVmafSeries(const RegionSettings& settings) {
    if (!vmaf_series.Prepare(settings.region_width, settings.region_height)) return nullptr;
    return &vmaf_series;
}

void ReleaseVmafMemory() { vmaf_series.Release(); }

host::ThreadPoolTeam VmafTeam() {
    return host::ThreadPoolTeam(reinterpret_cast<HMODULE>(&__ImageBase), host::VMAF_SAMPLES_PER_WORKER);
}

bool MeasureVmafFrame(host::FilterRegistration& registration, const host::FrameJob& job,
                      const RegionSettings& settings) {
    host::HostServices& services = *registration.services;
    const int32_t frame_count = services.FrameCount(job.edit_handle);
    VmafSeries* const series = PreparedVmafSeries(settings);
    if (series == nullptr) {
        host::ShowErrorBox(host::VMAF_MEMORY_TEXT);
        return false;
    }
    const int64_t frame = job.frame_index;
    const VmafRange range{.has_before = frame - 1 >= 0 && frame - 1 < frame_count,
                          .has_after = frame + 1 >= 0 && frame + 1 < frame_count,
                          .time_frames = false};
    if (range.has_before || range.has_after) {
        services.ReserveFrameCache(&registration, job.max_width, job.height, RANGE_CACHE_FRAMES, 0);
    }
    const auto pictures = [&](int32_t index) -> RangeFrame {
        if (index == 0) return RegionPair(job.work_picture, job.max_width, settings);
        int32_t width = 0;
        int32_t height = 0;
        const PixelYC* const picture = services.FetchFilteredFrame(
            &registration, job.edit_handle, job.frame_index + index, &width, &height);
        // A frame of another size must still hold both rectangles in its own rows.
        if (picture == nullptr || width > job.max_width || !RegionsFit(settings, width, height))
            return RangeStop::FrameMissing;
        return RegionPair(picture, job.max_width, settings);
    };
    host::ThreadPoolTeam team = VmafTeam();
    const RangeMeasurement measured = MeasureVmafRangeLine(range, pictures, *series, &team);
    if (measured.stop) {
        host::ShowErrorBox(host::FRAME_ERROR_TEXT);
        return false;
    }
    host::SetTitle(registration, measured.line.c_str());
    return true;
}

}  // namespace morvith::ex
