#pragma once

// The records, service table and messages through which the host and a filter plug-in
// work together. Every record is plain 32-bit words at fixed byte offsets; the offsets
// are checked below because the host reads and writes them by position.

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "pixel.h"

static_assert(sizeof(void*) == 4, "the host interface is 32-bit");

// The host keeps its stack only 4-byte aligned, while i686 GCC assumes 16 for its SSE
// spills: every function that the host calls realigns the stack on entry.
#define MORVITH_HOST_CALLBACK __attribute__((force_align_arg_pointer))

namespace morvith::host {

struct FilterRegistration;
struct FrameJob;

using ProcessCallback = int32_t (*)(FilterRegistration* registration, FrameJob* job);
using WindowCallback = int32_t (*)(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                   void* edit_handle, FilterRegistration* registration);

// The host's services; slots not named here are the host's own business.
struct HostServices {
    uint32_t unused_0[4];
    // Nonzero while a file is open in the editor.
    int32_t (*IsEditing)(void* edit_handle);
    // Nonzero while the host writes its output file: measure nothing.
    int32_t (*IsSavingOutput)(void* edit_handle);
    // The frame on screen, from 0.
    int32_t (*CurrentFrame)(void* edit_handle);
    // Frames in the edit.
    int32_t (*FrameCount)(void* edit_handle);
    uint32_t unused_32;
    // Shows `frame`, which must lie in 0 .. FrameCount - 1, and returns the frame shown.
    // The view is rendered once the window callback that asked returns nonzero.
    int32_t (*MoveToFrame)(void* edit_handle, int32_t frame);
    uint32_t unused_40[11];
    // Refreshes the settings window.
    int32_t (*RedrawFilterWindow)(FilterRegistration* registration);
    uint32_t unused_88[3];
    // Whether the filter is switched on; the window callback hands it back to the host.
    int32_t (*FilterIsEnabled)(FilterRegistration* registration);
    uint32_t unused_104[18];
    // Asks the host to keep `frame_count` filtered frames of max_width x height cached.
    int32_t (*ReserveFrameCache)(FilterRegistration* registration, int32_t max_width,
                                 int32_t height, int32_t frame_count, int32_t flags);
    uint32_t unused_180[5];
    // Frame `frame` as this filter would receive it (pitch max_width), or null. Its size
    // goes to *width and *height. Valid until the next service call.
    PixelYC* (*FetchFilteredFrame)(FilterRegistration* registration, void* edit_handle,
                                   int32_t frame, int32_t* width, int32_t* height);
    uint32_t unused_204[3];
    // Loads an image file into destination (pitch max_width); nonzero on success, its
    // size in *width and *height.
    int32_t (*LoadImageFile)(PixelYC* destination, const char* file_name, int32_t* width,
                             int32_t* height, int32_t flags);
    uint32_t unused_220[13];
    // Only while the setup message is handled: adds `name` to the host's Edit menu, in a
    // submenu named after the filter; choosing it sends MENU_COMMAND_MESSAGE with wparam
    // `id` to `window`. Key 0 is none; key flags 1, 2, 4 add Shift, Ctrl, Alt. Nonzero
    // when added.
    int32_t (*AddMenuItem)(FilterRegistration* registration, const char* name, HWND window,
                           int32_t id, int32_t key, int32_t key_flags);
    uint32_t unused_276[11];
};

static_assert(offsetof(HostServices, IsEditing) == 16);
static_assert(offsetof(HostServices, IsSavingOutput) == 20);
static_assert(offsetof(HostServices, CurrentFrame) == 24);
static_assert(offsetof(HostServices, FrameCount) == 28);
static_assert(offsetof(HostServices, MoveToFrame) == 36);
static_assert(offsetof(HostServices, RedrawFilterWindow) == 84);
static_assert(offsetof(HostServices, FilterIsEnabled) == 100);
static_assert(offsetof(HostServices, ReserveFrameCache) == 176);
static_assert(offsetof(HostServices, FetchFilteredFrame) == 200);
static_assert(offsetof(HostServices, LoadImageFile) == 216);
static_assert(offsetof(HostServices, AddMenuItem) == 272);
static_assert(sizeof(HostServices) == 320);

// The host's record of one ProcessFrame call; only the named words are ours to touch.
struct FrameJob {
    uint32_t unused_0;
    PixelYC* work_picture;   // the current picture: measured, outlines go here
    PixelYC* spare_picture;  // a buffer of equal capacity
    int32_t width;           // samples per row of the current picture
    int32_t height;          // rows of the current picture
    int32_t max_width;       // row pitch, in samples, of every picture the host hands out
    uint32_t unused_24;
    int32_t frame_index;     // current frame, from 0
    uint32_t unused_32[7];
    void* edit_handle;       // opaque; handed back to the services
};

static_assert(offsetof(FrameJob, work_picture) == 4);
static_assert(offsetof(FrameJob, spare_picture) == 8);
static_assert(offsetof(FrameJob, width) == 12);
static_assert(offsetof(FrameJob, height) == 16);
static_assert(offsetof(FrameJob, max_width) == 20);
static_assert(offsetof(FrameJob, frame_index) == 28);
static_assert(offsetof(FrameJob, edit_handle) == 60);
static_assert(sizeof(FrameJob) == 64);

inline constexpr uint32_t FILTER_FLAG_HAS_INFO = 0x00040000;
inline constexpr uint32_t FILTER_FLAG_HAS_WINDOW = 0x00004000;
// OR'd into window_width and window_height (with FILTER_FLAG_HAS_WINDOW): the number is
// added to the settings window's standard size rather than being its whole size.
inline constexpr int32_t WINDOW_SIZE_ADDED = 0x30000000;
// An entry named with display_name under the host's File > Export; choosing it sends
// EXPORT_MESSAGE. The host shows no dialog of its own.
inline constexpr uint32_t FILTER_FLAG_EXPORT = 0x20000000;

// The registration record: complete in static data, never written by the plug-in. The
// host writes the five words marked "host" before it first calls a callback.
struct FilterRegistration {
    uint32_t feature_flags;
    int32_t window_width;                // settings window size in pixels, or 0
    int32_t window_height;
    const char* display_name;
    int32_t slider_count;
    const char* const* slider_names;
    const int32_t* slider_defaults;
    const int32_t* slider_minima;
    const int32_t* slider_maxima;
    int32_t checkbox_count;
    const char* const* checkbox_names;
    const int32_t* checkbox_defaults;    // 0 clear, 1 ticked
    ProcessCallback process_callback;
    uint32_t unused_52[3];
    WindowCallback window_callback;      // or null; a nonzero result renders the frame again
    int32_t* slider_values;              // host: current slider values
    int32_t* checkbox_values;            // host: current checkbox values
    uint32_t unused_76[2];
    const char* info_text;
    uint32_t unused_88[2];
    HostServices* services;              // host
    HWND window;                         // host: the settings window
    HINSTANCE instance;                  // host: this module
    uint32_t unused_108[8];
};

static_assert(offsetof(FilterRegistration, feature_flags) == 0);
static_assert(offsetof(FilterRegistration, window_width) == 4);
static_assert(offsetof(FilterRegistration, window_height) == 8);
static_assert(offsetof(FilterRegistration, display_name) == 12);
static_assert(offsetof(FilterRegistration, slider_count) == 16);
static_assert(offsetof(FilterRegistration, slider_names) == 20);
static_assert(offsetof(FilterRegistration, slider_defaults) == 24);
static_assert(offsetof(FilterRegistration, slider_minima) == 28);
static_assert(offsetof(FilterRegistration, slider_maxima) == 32);
static_assert(offsetof(FilterRegistration, checkbox_count) == 36);
static_assert(offsetof(FilterRegistration, checkbox_names) == 40);
static_assert(offsetof(FilterRegistration, checkbox_defaults) == 44);
static_assert(offsetof(FilterRegistration, process_callback) == 48);
static_assert(offsetof(FilterRegistration, window_callback) == 64);
static_assert(offsetof(FilterRegistration, slider_values) == 68);
static_assert(offsetof(FilterRegistration, checkbox_values) == 72);
static_assert(offsetof(FilterRegistration, info_text) == 84);
static_assert(offsetof(FilterRegistration, services) == 96);
static_assert(offsetof(FilterRegistration, window) == 100);
static_assert(offsetof(FilterRegistration, instance) == 104);
static_assert(sizeof(FilterRegistration) == 140);

// Sent to the window callback when the settings window is created and destroyed.
inline constexpr UINT WINDOW_SETUP_MESSAGE = 1127;
inline constexpr UINT WINDOW_TEARDOWN_MESSAGE = 1128;
// File > Export > the filter's entry was chosen (FILTER_FLAG_EXPORT).
inline constexpr UINT EXPORT_MESSAGE = 1132;
// An item added with AddMenuItem was chosen, or its key pressed; wparam is its id.
inline constexpr UINT MENU_COMMAND_MESSAGE = 1137;

// Each plug-in defines its one registration record under this name; the shared export
// hands out its address.
extern FilterRegistration filter_registration;

}  // namespace morvith::host

// The module's one export, undecorated at ordinal 1 (filter.def).
extern "C" morvith::host::FilterRegistration* __stdcall GetFilterTable();
