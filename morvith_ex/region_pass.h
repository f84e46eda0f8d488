#pragma once

// The region comparator: two equally sized rectangles of one picture, measured on the
// current frame or over a range of frames, and outlined in the picture handed back.

#include <cstdint>

#include "filter_abi.h"
#include "plugin_support.h"
#include "thread_pool_team.h"
#include "vmaf/vmaf.h"

namespace morvith::ex {

inline constexpr PixelYC OUTLINE_SAMPLE{4096, 0, 0};
inline constexpr int32_t RANGE_CACHE_FRAMES = 10;

extern const char DISPLAY_NAME[];
extern const char PROGRESS_TEXT[];  // the title while a range is measured, before " n/m"
extern const char STOPPED_TEXT[];   // the title after Esc, before " (measured/frames)"

// The controls, read once per call so that every step sees the same values.
struct RegionSettings {
    int32_t kind = host::MEASURE_NOTHING;
    int32_t region_width = 0;
    int32_t region_height = 0;
    int32_t x1 = 0;
    int32_t y1 = 0;
    int32_t x2 = 0;
    int32_t y2 = 0;
    int32_t range_start = 0;
    int32_t range_end = 0;
    bool average = false;
    bool outline = false;

    // Only meaningful once the range has been checked.
    int32_t FrameCount() const { return range_end - range_start + 1; }
};

RegionSettings ReadRegionSettings(const host::FilterRegistration& registration);

// Whether both rectangles lie inside a width x height picture. Values the host never
// hands out (negative ones, sums past 32 bits) simply do not fit.
bool RegionsFit(const RegionSettings& settings, int64_t width, int64_t height);

// The checks that decide whether anything is measured or drawn at all.
bool SettingsAreValid(const RegionSettings& settings, const host::FrameJob& job);

// Kind 0, or windowed SSIM of rectangles too small for one window: the title shows the
// display name, nothing is fetched, the outlines are drawn.
bool MeasuresNothing(const RegionSettings& settings);

// Rectangle 1 as A and rectangle 2 as B in a picture of the given row pitch.
RectanglePair RegionPair(const PixelYC* picture, int32_t pitch, const RegionSettings& settings);

// One-sample white borders inside both rectangles, which must fit the picture.
void DrawRegionOutlines(PixelYC* picture, int32_t pitch, const RegionSettings& settings);

enum class RangeOutcome { Completed, FetchFailed, Stopped };

// Pooled PSNR or mean SSIM over range_start..range_end; sets the title. Esc pressed while
// it runs stops it before the next fetch.
RangeOutcome MeasureFrameRange(host::FilterRegistration& registration,
                               const host::FrameJob& job, const RegionSettings& settings);

// VMAF of the current picture's rectangles with rectangle 1 of the frames around it; sets
// the title, or tells the user why not and returns false.
bool MeasureVmafFrame(host::FilterRegistration& registration, const host::FrameJob& job,
                      const RegionSettings& settings);
// The series kept between calls, ready for the rectangles' size, or null where memory
// was refused.
VmafSeries* PreparedVmafSeries(const RegionSettings& settings);
// Frees it: the kind left VMAF, or the host shuts the filter down.
void ReleaseVmafMemory();
// The system's pool for VMAF's rows, which the other kinds measure serially.
host::ThreadPoolTeam VmafTeam();

MORVITH_HOST_CALLBACK int32_t ProcessFrame(host::FilterRegistration* registration,
                                           host::FrameJob* job);
// Whether the host's render is inside ProcessFrame, a range's boxes and their message loop
// included.
bool ProcessFrameIsRunning();

}  // namespace morvith::ex
