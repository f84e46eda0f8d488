#pragma once

// What both plug-ins do with the host the same way: read the controls, write the title,
// tell the user that a picture could not be had.

#include "filter_abi.h"

namespace morvith::host {

// The first slider of both plug-ins.
enum MeasureKind : int32_t {
    MEASURE_NOTHING = 0,
    MEASURE_PSNR = 1,
    MEASURE_SSIM = 2,
    MEASURE_WINDOWED_SSIM = 3,  // over 8 x 8 windows, as encoders and video tools report it
    MEASURE_VMAF = 4,           // the model vmaf_v0.6.1 on Y, the first picture the reference
};

// Texts shown by both plug-ins, in code page 932.
extern const char FRAME_ERROR_TEXT[];  // the frame could not be read
extern const char ERROR_CAPTION[];
extern const char VMAF_MEMORY_TEXT[];  // VMAF's working memory was refused

inline int32_t Slider(const FilterRegistration& registration, int index) {
    return registration.slider_values[index];
}
inline int32_t Checkbox(const FilterRegistration& registration, int index) {
    return registration.checkbox_values[index];
}

void SetTitle(const FilterRegistration& registration, const char* text);

// A modal warning with no owner window; returns once the user has closed it.
void ShowErrorBox(const char* text);

}  // namespace morvith::host
