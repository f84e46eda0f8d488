#include <cstdio>

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

// Esc, the user's way out of a long range. The key's state is read directly: the host's
// thread must not pump messages inside the callback. A key already down when the
// measurement begins counts only once it has been seen up, so that the Esc of some
// earlier action does not end the measurement.
class EscapeKey {
public:
    EscapeKey() : held_from_before_(IsDown()) {}

    bool Pressed() {
        const bool down = IsDown();
        if (!down) held_from_before_ = false;
        return down && !held_from_before_;
    }

private:
    static bool IsDown() { return (GetAsyncKeyState(VK_ESCAPE) & 0x8000) != 0; }

    bool held_from_before_;
};

}  // namespace

RangeOutcome MeasureFrameRange(host::FilterRegistration& registration,
                               const host::FrameJob& job, const RegionSettings& settings) {
    if (MeasuresNothing(settings)) {
        host::SetTitle(registration, DISPLAY_NAME);
        return RangeOutcome::Completed;
    }
    if (settings.kind != host::MEASURE_PSNR && settings.kind != host::MEASURE_SSIM &&
        settings.kind != host::MEASURE_WINDOWED_SSIM) {
        return RangeOutcome::Completed;
    }

    EscapeKey escape;
    host::SetTitle(registration, PROGRESS_TEXT);
    host::HostServices& services = *registration.services;
    services.ReserveFrameCache(&registration, job.max_width, job.height, RANGE_CACHE_FRAMES,
                               0);

    const auto frame = [&](int32_t index) -> RangeFrame {
        if (escape.Pressed()) return RangeStop::Cancelled;
        // The host writes the frame's size here rather than into the job, whose size
        // stays that of the current picture.
        int32_t width = 0;
        int32_t height = 0;
        const PixelYC* const picture = services.FetchFilteredFrame(
            &registration, job.edit_handle, settings.range_start + index, &width, &height);
        if (picture == nullptr || !FrameHoldsRegions(settings, width, height, job.max_width)) {
            return RangeStop::FrameMissing;
        }
        return RegionPair(picture, job.max_width, settings);
    };
    const RangeMeasurement measured =
        settings.kind == host::MEASURE_PSNR   ? MeasurePsnrRangeLine(settings.FrameCount(), frame)
        : settings.kind == host::MEASURE_SSIM ? MeasureSsimRangeLine(settings.FrameCount(), frame)
                                              : MeasureWindowedSsimRangeLine(settings.FrameCount(), frame);
    if (measured.stop == RangeStop::FrameMissing) {
        host::ShowErrorBox(host::FRAME_ERROR_TEXT);
        return RangeOutcome::FetchFailed;
    }
    if (measured.stop == RangeStop::Cancelled) {
        char stopped[48];
        std::snprintf(stopped, sizeof stopped, "%s (%ld/%ld)", STOPPED_TEXT,
                      static_cast<long>(measured.frames_measured),
                      static_cast<long>(settings.FrameCount()));
        host::SetTitle(registration, stopped);
        return RangeOutcome::Stopped;
    }
    host::SetTitle(registration, measured.line.c_str());
    return RangeOutcome::Completed;
}

}  // namespace morvith::ex
