#include <cstdint>
#include <limits>
#include <optional>

#include "measure_line.h"
#include "morvith.h"
#include "plugin_support.h"
#include "thread_pool_team.h"
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

// Below this many samples for each further worker, handing rows to the pool costs more
// than they take to measure (measured under Wine on two hardware threads).
constexpr int64_t MIN_SAMPLES_PER_WORKER = 1 << 18;

void RunFramePass(FilterRegistration& registration, const FrameJob& job) {
    if (registration.services->IsSavingOutput(job.edit_handle) != 0) return;

    const int32_t kind = host::Slider(registration, SLIDER_MEASURE_KIND);
    if (kind == host::MEASURE_NOTHING) {
        host::SetTitle(registration, DISPLAY_NAME);
        return;
    }
    if (kind != host::MEASURE_PSNR && kind != host::MEASURE_SSIM &&
        kind != host::MEASURE_WINDOWED_SSIM)
        return;
    // A picture too small for one window is not measured, and no reference is obtained.
    if (kind == host::MEASURE_WINDOWED_SSIM &&
        (job.width < WINDOWED_SSIM_MIN_SIZE || job.height < WINDOWED_SSIM_MIN_SIZE)) {
        host::SetTitle(registration, DISPLAY_NAME);
        return;
    }

    const bool load_file = host::Checkbox(registration, CHECKBOX_LOAD_FILE) != 0;
    if (!IsMeasurableJob(job, load_file)) return;
    const PixelYC* reference = ObtainReference(registration, job, load_file);
    if (reference == nullptr) return;

    const RectanglePair pair{job.work_picture, reference, job.width, job.height, job.max_width};
    // The pool's callbacks run this module's code.
    std::optional<host::ThreadPoolTeam> pool_team;
    if (host::Checkbox(registration, CHECKBOX_MULTITHREAD) == 1)
        pool_team.emplace(reinterpret_cast<HMODULE>(&__ImageBase), MIN_SAMPLES_PER_WORKER);
    RowTeam* const team = pool_team ? &*pool_team : nullptr;
    const ResultLine line = kind == host::MEASURE_PSNR ? MeasurePsnrLine(pair, team, PsnrForm::LogSum)
                            : kind == host::MEASURE_SSIM ? MeasureSsimLine(pair, team)
                                                         : MeasureWindowedSsimLine(pair, team);
    host::SetTitle(registration, line.c_str());
}

}  // namespace

int32_t ProcessFrame(FilterRegistration* registration, FrameJob* job) noexcept {
    if (registration == nullptr || registration->services == nullptr || job == nullptr) return 1;
    RunFramePass(*registration, *job);
    return 1;
}

}  // namespace morvith::comparator
