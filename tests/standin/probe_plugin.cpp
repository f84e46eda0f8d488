// A plug-in module made to exercise the stand-in host: slider 0 picks what ProcessFrame
// does, and the title reports what it saw, for the host's tests to read.

#include <windows.h>
#include <commdlg.h>

#include <cstdio>
#include <cstring>

#include "filter_abi.h"

using namespace morvith;
using namespace morvith::host;

namespace {

enum ProbeMode : int32_t {
    PROBE_SERVICES = 0,  // every frame service, in a fixed order
    PROBE_BOXES = 1,     // two message boxes
    PROBE_DIALOG = 2,    // the open-file dialog
    PROBE_GUARDS = 3,    // where the host's buffers end (offset 0) or start (offset 1)
    PROBE_LOAD = 4,      // LoadImageFile with the typed path
    PROBE_STACK = 5,     // the stack pointer on entry
    PROBE_SCRIBBLE = 6,  // writes where a plug-in must not (offset 1..3), for the host to see
};

constexpr int ID_BROWSE = 40001;
constexpr int ID_PATH = 40002;
constexpr int ID_REPORT_STACK = 40003;

char path[260];
char name[260];
HFONT font;
HWND path_edit;

const char* const slider_names[] = {"mode", "offset"};
const int32_t slider_defaults[] = {0, 0};
const int32_t slider_minima[] = {0, -60};
const int32_t slider_maxima[] = {5, 60};
const char* const checkbox_names[] = {"first", "second"};
const int32_t checkbox_defaults[] = {1, 0};

// Bytes from `first` up to the next inaccessible page; -1 if no such page follows.
int BytesBeforeGuard(const void* first) {
    MEMORY_BASIC_INFORMATION region;
    if (VirtualQuery(first, &region, sizeof region) == 0 || region.Protect != PAGE_READWRITE) return -1;
    const char* end = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
    MEMORY_BASIC_INFORMATION next;
    if (VirtualQuery(end, &next, sizeof next) == 0 || next.Protect != PAGE_NOACCESS) return -1;
    return static_cast<int>(end - static_cast<const char*>(first));
}

// Bytes from the end of an inaccessible committed page up to `first`; -1 if none precedes it.
int BytesSinceGuard(const void* first) {
    MEMORY_BASIC_INFORMATION region;
    if (VirtualQuery(first, &region, sizeof region) == 0 || region.Protect != PAGE_READWRITE) return -1;
    const char* start = static_cast<const char*>(region.BaseAddress);
    MEMORY_BASIC_INFORMATION previous;
    if (VirtualQuery(start - 1, &previous, sizeof previous) == 0 || previous.State != MEM_COMMIT ||
        previous.Protect != PAGE_NOACCESS)
        return -1;
    return static_cast<int>(static_cast<const char*>(first) - start);
}

int32_t RunDialog(HWND owner) {
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = "Bitmap(*.bmp)\0*.bmp\0All files(*.*)\0*.*\0";
    dialog.lpstrFile = path;
    dialog.nMaxFile = sizeof path;
    dialog.lpstrFileTitle = name;
    dialog.nMaxFileTitle = sizeof name;
    dialog.lpstrTitle = "ファイルを開く";
    dialog.Flags = OFN_FILEMUSTEXIST;
    dialog.lpstrDefExt = "bmp";
    return GetOpenFileNameA(&dialog);
}

}  // namespace

extern "C" {
uint32_t probe_process_entry_esp;
uint32_t probe_window_entry_esp;
MORVITH_HOST_CALLBACK int32_t ProbeProcessFrame(FilterRegistration* registration, FrameJob* job);
MORVITH_HOST_CALLBACK int32_t ProbeWindowMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                                 void* edit_handle, FilterRegistration* registration);
int32_t ProbeProcessEntry(FilterRegistration* registration, FrameJob* job);
int32_t ProbeWindowEntry(HWND window, UINT message, WPARAM wparam, LPARAM lparam, void* edit_handle,
                         FilterRegistration* registration);
}

// The stack pointer exactly as the host left it, before the realigning prologue runs.
asm(R"(
    .text
    .globl _ProbeProcessEntry
_ProbeProcessEntry:
    movl %esp, _probe_process_entry_esp
    jmp _ProbeProcessFrame
    .globl _ProbeWindowEntry
_ProbeWindowEntry:
    movl %esp, _probe_window_entry_esp
    jmp _ProbeWindowMessage
)");

namespace morvith::host {

FilterRegistration filter_registration = {
    FILTER_FLAG_HAS_INFO | FILTER_FLAG_HAS_WINDOW,
    320, 160, "Probe",
    2, slider_names, slider_defaults, slider_minima, slider_maxima,
    2, checkbox_names, checkbox_defaults,
    ProbeProcessEntry, {}, ProbeWindowEntry,
    nullptr, nullptr, {}, "Probe for the stand-in host", {}, nullptr, nullptr, nullptr, {},
};

}  // namespace morvith::host

int32_t ProbeProcessFrame(FilterRegistration* registration, FrameJob* job) {
    const HostServices& services = *registration->services;
    char title[600];
    switch (registration->slider_values[0]) {
        case PROBE_SERVICES: {
            if (services.IsSavingOutput(job->edit_handle)) {
                SetWindowTextA(registration->window, "saving");
                return 1;
            }
            services.ReserveFrameCache(registration, job->max_width, job->height, 7, 0);
            PixelYC* frame = services.FetchFilteredFrame(registration, job->edit_handle,
                                                         job->frame_index + registration->slider_values[1],
                                                         &job->width, &job->height);
            job->spare_picture = frame;
            const int32_t enabled = services.FilterIsEnabled(registration);
            services.RedrawFilterWindow(registration);
            std::snprintf(title, sizeof title, "fetched=%d w=%d h=%d y=%d enabled=%d", frame != nullptr,
                          job->width, job->height, frame != nullptr ? frame->y : -99999, enabled);
            break;
        }
        case PROBE_BOXES: {
            const int first = MessageBoxA(nullptr, "フレームが読み込めませんでした。", "エラー", MB_OK | MB_ICONWARNING);
            const int second = MessageBoxA(registration->window, "続けますか?", "確認", MB_YESNO | MB_ICONQUESTION);
            std::snprintf(title, sizeof title, "box1=%d box2=%d", first, second);
            break;
        }
        case PROBE_DIALOG: {
            const int32_t chosen = RunDialog(registration->window);
            std::snprintf(title, sizeof title, "dialog=%d file=%s name=%s", chosen, path, name);
            break;
        }
        case PROBE_GUARDS: {
            int32_t width = 0, height = 0;
            const PixelYC* frame =
                services.FetchFilteredFrame(registration, job->edit_handle, job->frame_index, &width, &height);
            const bool since = registration->slider_values[1] == 1;
            const auto samples = [since](const void* first) {
                const int bytes = since ? BytesSinceGuard(first) : BytesBeforeGuard(first);
                return bytes < 0 ? -1 : bytes / 6;
            };
            std::snprintf(title, sizeof title, "work=%d spare=%d fetched=%d sliders=%d checkboxes=%d job=%d",
                          samples(job->work_picture), samples(job->spare_picture),
                          frame != nullptr ? samples(frame) : -2,
                          BytesBeforeGuard(registration->slider_values) / 4,
                          BytesBeforeGuard(registration->checkbox_values) / 4, BytesBeforeGuard(job) / 4);
            break;
        }
        case PROBE_LOAD: {
            const int32_t loaded = services.LoadImageFile(job->spare_picture, path, &job->width, &job->height, 0);
            std::snprintf(title, sizeof title, "load=%d w=%d h=%d", loaded, job->width, job->height);
            break;
        }
        case PROBE_SCRIBBLE: {
            int32_t width = 0, height = 0;
            PixelYC* frame =
                services.FetchFilteredFrame(registration, job->edit_handle, job->frame_index, &width, &height);
            if (frame == nullptr) break;
            switch (registration->slider_values[1]) {
                case 1: frame[0].y ^= 1; break;      // a sample of the fetched frame
                case 2: frame[width].cb ^= 1; break;  // the gap after its first row
                case 3: job->unused_24 ^= 1; break;   // a word of the job it has no business with
            }
            return 1;
        }
        case PROBE_STACK:
            std::snprintf(title, sizeof title, "esp=%u", static_cast<unsigned>(probe_process_entry_esp % 16));
            break;
        default:
            return 1;
    }
    SetWindowTextA(registration->window, title);
    return 1;
}

int32_t ProbeWindowMessage(HWND window, UINT message, WPARAM wparam, LPARAM, void*,
                           FilterRegistration* registration) {
    switch (message) {
        case WINDOW_SETUP_MESSAGE:
            font = CreateFontA(12, 0, 0, 0, FW_MEDIUM, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, 0, 0, PROOF_QUALITY,
                               FF_MODERN | DEFAULT_PITCH, "ＭＳ Ｐゴシック");
            SendMessageA(CreateWindowExA(0, "BUTTON", "参照...", WS_CHILD | WS_VISIBLE | BS_VCENTER, 230, 109, 50, 18,
                                         window, reinterpret_cast<HMENU>(ID_BROWSE), registration->instance, nullptr),
                         WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
            path_edit = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "",
                                        WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_AUTOHSCROLL, 20, 110, 200, 18,
                                        window, reinterpret_cast<HMENU>(ID_PATH), registration->instance, nullptr);
            SendMessageA(path_edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
            return 1;
        case WINDOW_TEARDOWN_MESSAGE:
            DeleteObject(font);
            return 0;
        case WM_COMMAND:
            switch (LOWORD(wparam)) {
                case ID_BROWSE:
                    if (RunDialog(window)) SetWindowTextA(path_edit, path);
                    registration->services->RedrawFilterWindow(registration);
                    return registration->services->FilterIsEnabled(registration);
                case ID_PATH:
                    if (HIWORD(wparam) == EN_UPDATE) {
                        GetWindowTextA(path_edit, path, sizeof path);
                        char title[300];
                        std::snprintf(title, sizeof title, "path=%s", path);
                        SetWindowTextA(window, title);
                    }
                    return registration->services->FilterIsEnabled(registration);
                case ID_REPORT_STACK: {
                    char title[32];
                    std::snprintf(title, sizeof title, "wesp=%u", static_cast<unsigned>(probe_window_entry_esp % 16));
                    SetWindowTextA(window, title);
                    return 1;
                }
            }
            return 0;
    }
    return 0;
}
