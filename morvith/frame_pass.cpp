#include <cstdint>
#include <limits>
#include <optional>

#include "measure_line.h"
#include "morvith.h"
#include "plugin_support.h"
#include "thread_pool_team.h"
#include "vmaf/vmaf.h"
#include "windowed_ssim.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace morvith::comparator {
namespace {

using host::FilterRegistration;
using host::FrameJob;

const char IMAGE_ERROR_TEXT[] = "画像が読み込めませんでした。";

// The host never hands out such a job; measured as it stands, it would take the passes
// outside the pictures, so it is not measured at all.
bool IsMeasurableJob(const FrameJob& job, bool load_file) {
    if (job.work_picture == nullptr || job.width <= 0 || job.height <= 0) return false;
    if (job.max_width < job.width) return false;
    if (load_file && job.spare_picture == nullptr) return false;
    const int64_t samples = static_cast<int64_t>(job.width) * job.height;
    return samples <= std::numeric_limits<int32_t>::max();
}

// A frame number past the 32-bit range names no frame the host could have.
std::optional<int32_t> ReferenceFrameNumber(int32_t frame_index, int32_t frame_offset) {
    const int64_t frame = static_cast<int64_t>(frame_index) + frame_offset;
    if (frame < std::numeric_limits<int32_t>::min() || frame > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return static_cast<int32_t>(frame);
}

// The reference's first sample, or null after the user has been told why there is none.
// The job's own words are left as the host wrote them; the services write into locals.
const PixelYC* ObtainReference(FilterRegistration& registration, const FrameJob& job,
                               bool load_file) {
    host::HostServices& services = *registration.services;
    int32_t reference_width = 0;
    int32_t reference_height = 0;
    const PixelYC* reference = nullptr;
    const char* error_text = nullptr;

    if (!load_file) {
        services.ReserveFrameCache(&registration, job.max_width, job.height, 60, 0);
        const std::optional<int32_t> frame = ReferenceFrameNumber(
            job.frame_index, host::Slider(registration, SLIDER_FRAME_OFFSET));
        if (frame) {
            reference = services.FetchFilteredFrame(&registration, job.edit_handle, *frame,
                                                     &reference_width, &reference_height);
        }
        error_text = host::FRAME_ERROR_TEXT;
    } else {
        // The full path: a bare file name would resolve against whatever directory the
        // host happens to be in.
        if (services.LoadImageFile(job.spare_picture, ReferencePath(), &reference_width,
                                   &reference_height, 0) != 0) {
            reference = job.spare_picture;
        }
        error_text = IMAGE_ERROR_TEXT;
    }

    // Only the top-left W x H of the reference is compared, so it must have all of them.
    if (reference == nullptr || reference_width < job.width || reference_height < job.height) {
        host::ShowErrorBox(error_text);
        return nullptr;
    }
    return reference;
}

// Kept between calls while the size stays: VMAF's buffers are large.
VmafSeries vmaf_series;

// Frame `frame` of the clip, checked to hold the job's W x H, or null. The cache is
// reserved before each fetch, as for the other kinds.
const PixelYC* FetchWholeFrame(FilterRegistration& registration, const FrameJob& job,
                               int32_t frame) {
    host::HostServices& services = *registration.services;
    services.ReserveFrameCache(&registration, job.max_width, job.height, 60, 0);
    int32_t width = 0;
    int32_t height = 0;
    const PixelYC* picture =
        services.FetchFilteredFrame(&registration, job.edit_handle, frame, &width, &height);
    return picture != nullptr && width >= job.width && height >= job.height ? picture : nullptr;
}

bool InClip(int64_t frame, int32_t frame_count) { return frame >= 0 && frame < frame_count; }

// The frame at the offset (or the bitmap) is the reference, the current picture the
// distorted one. Motion needs the reference's neighbours in the edit; a still picture has
// none. Each fetched frame is used up before the next service call.
void RunVmafPass(FilterRegistration& registration, const FrameJob& job, bool load_file,
                 RowTeam* team) {
    if (!vmaf_series.Prepare(job.width, job.height)) {
        host::ShowErrorBox(host::VMAF_MEMORY_TEXT);
        return;
    }
    const RectanglePair current{job.work_picture, job.work_picture, job.width, job.height,
                                job.max_width};
    if (load_file) {
        const PixelYC* reference = ObtainReference(registration, job, true);
        if (reference == nullptr) return;
        const auto still = [&](int32_t) -> RangeFrame {
            return RectanglePair{reference, job.work_picture, job.width, job.height, job.max_width};
        };
        const RangeMeasurement measured =
            MeasureVmafRangeLine({.time_frames = false}, still, vmaf_series, team);
        host::SetTitle(registration, measured.line.c_str());
        return;
    }

    const int32_t frame_count = registration.services->FrameCount(job.edit_handle);
    const std::optional<int32_t> frame = ReferenceFrameNumber(
        job.frame_index, host::Slider(registration, SLIDER_FRAME_OFFSET));
    if (!frame) {
        host::ShowErrorBox(host::FRAME_ERROR_TEXT);
        return;
    }
    const auto fetch = [&](int32_t index) -> RangeFrame {
        const PixelYC* picture = FetchWholeFrame(registration, job, *frame + index);
        if (picture == nullptr) return RangeStop::FrameMissing;
        RectanglePair pair = current;
        pair.first_a = picture;
        return pair;
    };
    const VmafRange range{.has_before = InClip(int64_t{*frame} - 1, frame_count),
                          .has_after = InClip(int64_t{*frame} + 1, frame_count),
                          .time_frames = false};
    const RangeMeasurement measured = MeasureVmafRangeLine(range, fetch, vmaf_series, team);
    if (measured.stop) {
        host::ShowErrorBox(host::FRAME_ERROR_TEXT);
        return;
    }
    host::SetTitle(registration, measured.line.c_str());
}

void RunFramePass(FilterRegistration& registration, const FrameJob& job) {
    if (registration.services->IsSavingOutput(job.edit_handle) != 0) return;

    const int32_t kind = host::Slider(registration, SLIDER_MEASURE_KIND);
    if (kind != host::MEASURE_VMAF) vmaf_series.Release();
    if (kind == host::MEASURE_NOTHING) {
        host::SetTitle(registration, DISPLAY_NAME);
        return;
    }
    if (kind != host::MEASURE_PSNR && kind != host::MEASURE_SSIM &&
        kind != host::MEASURE_WINDOWED_SSIM && kind != host::MEASURE_VMAF)
        return;
    // A picture too small for one window is not measured, and no reference is obtained.
    const int min_size = kind == host::MEASURE_WINDOWED_SSIM ? WINDOWED_SSIM_MIN_SIZE
                         : kind == host::MEASURE_VMAF        ? VMAF_MIN_SIZE
                                                             : 1;
    if (min_size > 1 && (job.width < min_size || job.height < min_size)) {
        host::SetTitle(registration, DISPLAY_NAME);
        return;
    }

    const bool load_file = host::Checkbox(registration, CHECKBOX_LOAD_FILE) != 0;
    if (!IsMeasurableJob(job, load_file)) return;
    // The pool's callbacks run this module's code.
    std::optional<host::ThreadPoolTeam> pool_team;
    if (host::Checkbox(registration, CHECKBOX_MULTITHREAD) == 1)
        pool_team.emplace(reinterpret_cast<HMODULE>(&__ImageBase),
                          kind == host::MEASURE_VMAF ? host::VMAF_SAMPLES_PER_WORKER
                                                     : host::MIN_SAMPLES_PER_WORKER);
    RowTeam* const team = pool_team ? &*pool_team : nullptr;
    if (kind == host::MEASURE_VMAF) {
        RunVmafPass(registration, job, load_file, team);
        return;
    }
    const PixelYC* reference = ObtainReference(registration, job, load_file);
    if (reference == nullptr) return;

    const RectanglePair pair{job.work_picture, reference, job.width, job.height, job.max_width};
    const ResultLine line = kind == host::MEASURE_PSNR ? MeasurePsnrLine(pair, team, PsnrForm::LogSum)
                            : kind == host::MEASURE_SSIM ? MeasureSsimLine(pair, team)
                                                         : MeasureWindowedSsimLine(pair, team);
    host::SetTitle(registration, line.c_str());
}

}  // namespace

void ReleaseVmafMemory() { vmaf_series.Release(); }

int32_t ProcessFrame(FilterRegistration* registration, FrameJob* job) noexcept {
    if (registration == nullptr || registration->services == nullptr || job == nullptr) return 1;
    RunFramePass(*registration, *job);
    return 1;
}

}  // namespace morvith::comparator
