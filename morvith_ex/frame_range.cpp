#include <cstdio>

#include "measure_line.h"
#include "range_report.h"
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
// earlier action does not end the measurement. The key state is the whole desktop's: an
// Esc meant for another program in front is none of the range's business.
class EscapeKey {
public:
    EscapeKey() : held_from_before_(IsDown()) {}

    bool Pressed() {
        const bool down = IsDown();
        if (!down) held_from_before_ = false;
        return down && !held_from_before_ && EditorIsInFront();
    }

private:
    static bool IsDown() { return (GetAsyncKeyState(VK_ESCAPE) & 0x8000) != 0; }

    static bool EditorIsInFront() {
        const HWND front = GetForegroundWindow();
        DWORD process = 0;
        return front != nullptr && GetWindowThreadProcessId(front, &process) != 0 &&
               process == GetCurrentProcessId();
    }

    bool held_from_before_;
};

// "計算中... n/m" in the title, n the frames measured so far, at most about ten times a
// second: SetWindowTextA repaints a caption of this thread at once, and more often would
// only cost time.
class RangeProgress {
public:
    RangeProgress(const host::FilterRegistration& registration, int32_t frame_count)
        : registration_(registration), frame_count_(frame_count) {}

    void Show(int32_t measured) {
        char text[48];
        std::snprintf(text, sizeof text, "%s %ld/%ld", PROGRESS_TEXT, static_cast<long>(measured),
                      static_cast<long>(frame_count_));
        host::SetTitle(registration_, text);
        shown_at_ = GetTickCount();
        KeepWindowsShown();
    }

    void Update(int32_t measured) {
        if (GetTickCount() - shown_at_ >= PROGRESS_INTERVAL_MS) Show(measured);
    }

private:
    static constexpr DWORD PROGRESS_INTERVAL_MS = 100;

    // The system takes a thread that has not looked at its message queue for 5 s as hung
    // and puts a ghost over its windows that shows no newer title. Looking without
    // removing anything leaves the host's queued input, commands and paints to its own
    // loop after the call; only messages sent from other threads are answered here, as
    // in any modal loop (the error box's among them).
    static void KeepWindowsShown() {
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_NOYIELD);
    }

    const host::FilterRegistration& registration_;
    int32_t frame_count_;
    DWORD shown_at_ = 0;
};

}  // namespace

RangeOutcome MeasureFrameRange(host::FilterRegistration& registration,
                               const host::FrameJob& job, const RegionSettings& settings) {
    if (MeasuresNothing(settings)) {
        host::SetTitle(registration, DISPLAY_NAME);
        return RangeOutcome::Completed;
    }
    if (settings.kind != host::MEASURE_PSNR && settings.kind != host::MEASURE_SSIM &&
        settings.kind != host::MEASURE_WINDOWED_SSIM && settings.kind != host::MEASURE_VMAF) {
        return RangeOutcome::Completed;
    }
    const bool vmaf = settings.kind == host::MEASURE_VMAF;
    host::HostServices& services = *registration.services;
    const int32_t edit_frames = vmaf ? services.FrameCount(job.edit_handle) : 0;

    EscapeKey escape;
    const int32_t frame_count = settings.FrameCount();
    RangeProgress progress(registration, frame_count);
    progress.Show(0);
    VmafSeries* const series = vmaf ? PreparedVmafSeries(settings) : nullptr;
    if (vmaf && series == nullptr) {
        host::ShowErrorBox(host::VMAF_MEMORY_TEXT);
        return RangeOutcome::FetchFailed;
    }
    services.ReserveFrameCache(&registration, job.max_width, job.height, RANGE_CACHE_FRAMES,
                               0);

    const auto frame = [&](int32_t index) -> RangeFrame {
        if (escape.Pressed()) return RangeStop::Cancelled;
        // VMAF's neighbours of the range come as frames -1 and frame_count.
        progress.Update(index < 0 ? 0 : index < frame_count ? index : frame_count);
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
    // Without room for the values the range is measured all the same, for a report
    // without frames.
    double* const values = ReserveReportFrames(frame_count, settings.kind);
    FrameValues* const channels = reinterpret_cast<FrameValues*>(values);
    const auto measure = [&]() -> RangeMeasurement {
        switch (settings.kind) {
        case host::MEASURE_PSNR: return MeasurePsnrRangeLine(frame_count, frame, channels);
        case host::MEASURE_SSIM: return MeasureSsimRangeLine(frame_count, frame, channels);
        case host::MEASURE_WINDOWED_SSIM:
            return MeasureWindowedSsimRangeLine(frame_count, frame, channels);
        default: break;
        }
        const int64_t first = settings.range_start;
        const int64_t last = settings.range_end;
        const VmafRange range{.frame_count = frame_count,
                              .has_before = first - 1 >= 0 && first - 1 < edit_frames,
                              .has_after = last + 1 >= 0 && last + 1 < edit_frames};
        host::ThreadPoolTeam team = VmafTeam();
        return MeasureVmafRangeLine(range, frame, *series, &team, values);
    };
    const RangeMeasurement measured = measure();
    if (measured.stop) ReleaseReportFrames(values);
    if (measured.stop == RangeStop::FrameMissing) {
        progress.Show(measured.frames_measured);
        host::ShowErrorBox(host::FRAME_ERROR_TEXT);
        return RangeOutcome::FetchFailed;
    }
    if (measured.stop == RangeStop::Cancelled) {
        char stopped[48];
        std::snprintf(stopped, sizeof stopped, "%s (%ld/%ld)", STOPPED_TEXT,
                      static_cast<long>(measured.frames_measured),
                      static_cast<long>(frame_count));
        host::SetTitle(registration, stopped);
        return RangeOutcome::Stopped;
    }
    host::SetTitle(registration, measured.line.c_str());
    KeepReport(settings, measured.line, values, frame_count);
    return RangeOutcome::Completed;
}

}  // namespace morvith::ex
