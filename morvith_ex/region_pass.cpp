#include "region_pass.h"

#include <climits>
#include <cstddef>

#include "measure_line.h"
#include "range_report.h"
#include "report_graph.h"
#include "windowed_ssim.h"

namespace morvith::ex {
namespace {

enum SliderIndex {
    SLIDER_KIND,
    SLIDER_REGION_WIDTH,
    SLIDER_REGION_HEIGHT,
    SLIDER_X1,
    SLIDER_Y1,
    SLIDER_X2,
    SLIDER_Y2,
    SLIDER_RANGE_START,
    SLIDER_RANGE_END,
};

enum CheckboxIndex { CHECKBOX_AVERAGE, CHECKBOX_OUTLINE };

bool process_frame_running = false;

bool RectangleFits(int64_t left, int64_t top, int64_t width, int64_t height,
                   int64_t picture_width, int64_t picture_height) {
    return left >= 0 && top >= 0 && left + width <= picture_width &&
           top + height <= picture_height;
}

bool RangeIsValid(const RegionSettings& settings) {
    const int64_t frame_count =
        static_cast<int64_t>(settings.range_end) - settings.range_start + 1;
    return settings.range_start >= 0 && settings.range_start <= settings.range_end &&
           frame_count <= INT32_MAX;
}

bool JobIsSound(const host::FrameJob& job) {
    return job.work_picture != nullptr && job.width > 0 && job.height > 0 &&
           job.width <= job.max_width;
}

// False where nothing was measured that the outlines could go with: a frame or memory
// that VMAF could not have.
bool MeasureCurrentPicture(host::FilterRegistration& registration,
                           const host::FrameJob& job, const RegionSettings& settings) {
    const RectanglePair pair = RegionPair(job.work_picture, job.max_width, settings);
    if (MeasuresNothing(settings)) {
        host::SetTitle(registration, DISPLAY_NAME);
        return true;
    }
    switch (settings.kind) {
    case host::MEASURE_PSNR:
        host::SetTitle(registration,
                       MeasurePsnrLine(pair, nullptr, PsnrForm::Quotient).c_str());
        break;
    case host::MEASURE_SSIM:
        host::SetTitle(registration, MeasureSsimLine(pair, nullptr).c_str());
        break;
    case host::MEASURE_WINDOWED_SSIM:
        host::SetTitle(registration, MeasureWindowedSsimLine(pair, nullptr).c_str());
        break;
    case host::MEASURE_VMAF:
        return MeasureVmafFrame(registration, job, settings);
    default:
        // A kind this version does not know leaves the last result in view.
        break;
    }
    return true;
}

int32_t RunRegionPass(host::FilterRegistration& registration, const host::FrameJob& job) {
    const bool render_after_move = TakeExpectedRender(job.frame_index);
    if (registration.services->IsSavingOutput(job.edit_handle) != 0) {
        host::SetTitle(registration, DISPLAY_NAME);
        return 1;
    }
    ShowFrameOnGraph(job.frame_index);
    const RegionSettings settings = ReadRegionSettings(registration);
    if (settings.kind != host::MEASURE_VMAF) ReleaseVmafMemory();
    if (!SettingsAreValid(settings, job)) {
        host::SetTitle(registration, DISPLAY_NAME);
        return 1;
    }
    if (settings.average) {
        // The render that a move to a frame of the report causes shows the report again.
        const bool shown = render_after_move && ShowReportFor(registration, settings);
        // Neither a failed fetch nor a stop leaves a result to outline.
        if (!shown && MeasureFrameRange(registration, job, settings) != RangeOutcome::Completed) {
            return 1;
        }
    } else if (!MeasureCurrentPicture(registration, job, settings)) {
        return 1;
    }
    if (settings.outline) DrawRegionOutlines(job.work_picture, job.max_width, settings);
    return 1;
}

}  // namespace

const char DISPLAY_NAME[] = "Morvith ex";
const char PROGRESS_TEXT[] = "計算中...";
const char STOPPED_TEXT[] = "中断";

RegionSettings ReadRegionSettings(const host::FilterRegistration& registration) {
    const auto slider = [&](int index) { return host::Slider(registration, index); };
    const auto checkbox = [&](int index) { return host::Checkbox(registration, index) != 0; };
    return {
        .kind = slider(SLIDER_KIND),
        .region_width = slider(SLIDER_REGION_WIDTH),
        .region_height = slider(SLIDER_REGION_HEIGHT),
        .x1 = slider(SLIDER_X1),
        .y1 = slider(SLIDER_Y1),
        .x2 = slider(SLIDER_X2),
        .y2 = slider(SLIDER_Y2),
        .range_start = slider(SLIDER_RANGE_START),
        .range_end = slider(SLIDER_RANGE_END),
        .average = checkbox(CHECKBOX_AVERAGE),
        .outline = checkbox(CHECKBOX_OUTLINE),
    };
}

bool RegionsFit(const RegionSettings& settings, int64_t width, int64_t height) {
    const int64_t region_width = settings.region_width;
    const int64_t region_height = settings.region_height;
    // ReadPsnr counts the samples of a rectangle in 32 bits.
    return region_width > 0 && region_height > 0 &&
           region_width * region_height <= INT32_MAX &&
           RectangleFits(settings.x1, settings.y1, region_width, region_height, width, height) &&
           RectangleFits(settings.x2, settings.y2, region_width, region_height, width, height);
}

bool SettingsAreValid(const RegionSettings& settings, const host::FrameJob& job) {
    if (!JobIsSound(job)) return false;
    if (settings.average && !RangeIsValid(settings)) return false;
    return RegionsFit(settings, job.width, job.height);
}

bool MeasuresNothing(const RegionSettings& settings) {
    const int32_t min_size = settings.kind == host::MEASURE_WINDOWED_SSIM ? WINDOWED_SSIM_MIN_SIZE
                             : settings.kind == host::MEASURE_VMAF        ? VMAF_MIN_SIZE
                                                                          : 1;
    return settings.kind == host::MEASURE_NOTHING ||
           (min_size > 1 && (settings.region_width < min_size || settings.region_height < min_size));
}

RectanglePair RegionPair(const PixelYC* picture, int32_t pitch, const RegionSettings& settings) {
    const auto at = [&](int32_t x, int32_t y) {
        return picture + static_cast<ptrdiff_t>(y) * pitch + x;
    };
    return {at(settings.x1, settings.y1), at(settings.x2, settings.y2), settings.region_width,
            settings.region_height, pitch};
}

void DrawRegionOutlines(PixelYC* picture, int32_t pitch, const RegionSettings& settings) {
    const auto put = [&](int32_t x, int32_t y) {
        picture[static_cast<ptrdiff_t>(y) * pitch + x] = OUTLINE_SAMPLE;
    };
    const int32_t right = settings.region_width - 1;
    const int32_t bottom = settings.region_height - 1;
    for (int32_t r = 0; r < settings.region_height; ++r) {
        put(settings.x1, settings.y1 + r);
        put(settings.x1 + right, settings.y1 + r);
        put(settings.x2, settings.y2 + r);
        put(settings.x2 + right, settings.y2 + r);
    }
    for (int32_t c = 0; c < settings.region_width; ++c) {
        put(settings.x1 + c, settings.y1);
        put(settings.x1 + c, settings.y1 + bottom);
        put(settings.x2 + c, settings.y2);
        put(settings.x2 + c, settings.y2 + bottom);
    }
}

MORVITH_HOST_CALLBACK int32_t ProcessFrame(host::FilterRegistration* registration,
                                           host::FrameJob* job) {
    if (registration == nullptr || job == nullptr) return 1;
    const bool outer = process_frame_running;
    process_frame_running = true;
    const int32_t result = RunRegionPass(*registration, *job);
    process_frame_running = outer;
    return result;
}

bool ProcessFrameIsRunning() { return process_frame_running; }

}  // namespace morvith::ex
