#include <optional>

#include "measure_line.h"
#include "region_pass.h"

namespace morvith::ex {
namespace {

// A frame of another size than the current picture (the host may hand out one of a
// different clip) must still hold both rectangles in its own rows.
bool FrameHoldsRegions(const RegionSettings& settings, int32_t width, int32_t height,
                       int32_t pitch) {
    return width <= pitch && RegionsFit(settings, width, height);
}

}  // namespace

RangeOutcome MeasureFrameRange(host::FilterRegistration& registration,
                               const host::FrameJob& job, const RegionSettings& settings) {
    if (settings.kind == host::MEASURE_NOTHING) {
        host::SetTitle(registration, DISPLAY_NAME);
        return RangeOutcome::Completed;
    }
    if (settings.kind != host::MEASURE_PSNR && settings.kind != host::MEASURE_SSIM) {
        return RangeOutcome::Completed;
    }

    host::SetTitle(registration, PROGRESS_TEXT);
    host::HostServices& services = *registration.services;
    services.ReserveFrameCache(&registration, job.max_width, job.height, RANGE_CACHE_FRAMES,
                               0);

    const auto frame = [&](int32_t index) -> std::optional<RectanglePair> {
        // The host writes the frame's size here rather than into the job, whose size
        // stays that of the current picture.
        int32_t width = 0;
        int32_t height = 0;
        const PixelYC* const picture = services.FetchFilteredFrame(
            &registration, job.edit_handle, settings.range_start + index, &width, &height);
        if (picture == nullptr || !FrameHoldsRegions(settings, width, height, job.max_width)) {
            return std::nullopt;
        }
        return RegionPair(picture, job.max_width, settings);
    };
    const std::optional<ResultLine> line =
        settings.kind == host::MEASURE_PSNR
            ? MeasurePsnrRangeLine(settings.FrameCount(), frame)
            : MeasureSsimRangeLine(settings.FrameCount(), frame);
    if (!line) {
        host::ShowErrorBox(host::FRAME_ERROR_TEXT);
        return RangeOutcome::FetchFailed;
    }
    host::SetTitle(registration, line->c_str());
    return RangeOutcome::Completed;
}

}  // namespace morvith::ex
