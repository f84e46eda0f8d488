#pragma once

// The whole-frame comparator: the current picture against another frame of the clip or
// against a bitmap file chosen in the settings window.

#include "filter_abi.h"

namespace morvith::comparator {

inline constexpr char DISPLAY_NAME[] = "Morvith";

// Control order as registered with the host.
enum SliderIndex : int { SLIDER_MEASURE_KIND = 0, SLIDER_FRAME_OFFSET = 1 };
enum CheckboxIndex : int { CHECKBOX_MULTITHREAD = 0, CHECKBOX_LOAD_FILE = 1 };

inline constexpr int ID_BROWSE_BUTTON = 40001;
inline constexpr int ID_PATH_EDIT = 40002;

// Room for a path of MAX_PATH bytes with its NUL.
inline constexpr int REFERENCE_TEXT_SIZE = 260;

MORVITH_HOST_CALLBACK int32_t ProcessFrame(host::FilterRegistration* registration,
                                           host::FrameJob* job) noexcept;

MORVITH_HOST_CALLBACK int32_t HandleWindowMessage(HWND window, UINT message, WPARAM wparam,
                                                  LPARAM lparam, void* edit_handle,
                                                  host::FilterRegistration* registration) noexcept;

// The full path of the reference file, as the edit box or the open-file dialog last left
// it; always NUL-terminated within REFERENCE_TEXT_SIZE bytes.
const char* ReferencePath();

// Frees what VMAF keeps between calls, as the host shuts the filter down.
void ReleaseVmafMemory();

}  // namespace morvith::comparator
