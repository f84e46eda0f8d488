// bench_read.auf and bench_read_ex.auf, never shipped: the module benchmark's floor. It obtains its pictures
// exactly as the module it stands beside does and then only reads them, timed as that
// module times its passes, so that the two are compared on the same host copies in the
// same state (just written by the host, in cache as far as they fit).
//   slider 0, what to read: 0 the current frame and the next one, fetched as morvith's
//   frame mode fetches its reference; 1 two rectangles of the current frame, as
//   morvith_ex reads them (sliders 1-6: width, height, x1, y1, x2, y2).
// The title shows the milliseconds of the read, as "read <ms>[ms]".

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "filter_abi.h"
#include "plain_read.h"
#include "registration.h"

namespace {

using morvith::PixelYC;
using morvith::host::FilterRegistration;
using morvith::host::FrameJob;

constexpr const char* SLIDER_NAMES[] = {"read", "width", "height", "x1", "y1", "x2", "y2"};
constexpr int32_t SLIDER_DEFAULTS[] = {0, 640, 480, 0, 0, 640, 0};
constexpr int32_t SLIDER_MINIMA[] = {0, 1, 1, 0, 0, 0, 0};
constexpr int32_t SLIDER_MAXIMA[] = {1, 3840, 2160, 7679, 2159, 7679, 2159};
constexpr const char* CHECKBOX_NAMES[] = {"unused"};
constexpr int32_t CHECKBOX_DEFAULTS[] = {0};

volatile uint32_t folded;

int64_t Ticks() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

void Show(const FilterRegistration& registration, int64_t start, int64_t stop) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    char title[64];
    std::snprintf(title, sizeof title, "read %.6f[ms]", 1000.0 * static_cast<double>(stop - start) /
                                                       static_cast<double>(frequency.QuadPart));
    SetWindowTextA(registration.window, title);
}

// Reads only inside the job's picture and the fetched frame: a setting that would leave
// them shows "-" instead of a time.
MORVITH_HOST_CALLBACK int32_t ProcessFrame(FilterRegistration* registration, FrameJob* job) noexcept {
    morvith::host::HostServices& services = *registration->services;
    const int32_t* slider = registration->slider_values;
    if (services.IsSavingOutput(job->edit_handle) != 0) return 1;
    if (slider[0] == 0) {
        services.ReserveFrameCache(registration, job->max_width, job->height, 60, 0);
        int32_t width = 0;
        int32_t height = 0;
        const PixelYC* next = services.FetchFilteredFrame(registration, job->edit_handle, job->frame_index + 1,
                                                          &width, &height);
        if (next == nullptr || width < job->width || height < job->height) {
            SetWindowTextA(registration->window, "-");
            return 1;
        }
        const int64_t start = Ticks();
        folded = morvith::ReadBoth(job->work_picture, next, job->width, job->height, job->max_width, nullptr);
        Show(*registration, start, Ticks());
        return 1;
    }
    const int32_t width = slider[1], height = slider[2];
    const auto inside = [&](int64_t x, int64_t y) {
        return x >= 0 && y >= 0 && x + width <= job->width && y + height <= job->height;
    };
    if (width < 1 || height < 1 || !inside(slider[3], slider[4]) || !inside(slider[5], slider[6])) {
        SetWindowTextA(registration->window, "-");
        return 1;
    }
    const auto at = [job](int32_t x, int32_t y) { return job->work_picture + x + y * job->max_width; };
    const int64_t start = Ticks();
    folded = morvith::ReadBoth(at(slider[3], slider[4]), at(slider[5], slider[6]), width, height,
                               job->max_width, nullptr);
    Show(*registration, start, Ticks());
    return 1;
}

}  // namespace

namespace morvith::host {

constinit FilterRegistration filter_registration = MakeRegistration(
    {
        .feature_flags = 0,
        .window_width = 0,
        .window_height = 0,
        .display_name = "bench read",
        .info_text = nullptr,
        .process_callback = ProcessFrame,
        .window_callback = nullptr,
    },
    SLIDER_NAMES, SLIDER_DEFAULTS, SLIDER_MINIMA, SLIDER_MAXIMA, CHECKBOX_NAMES, CHECKBOX_DEFAULTS);

}  // namespace morvith::host
