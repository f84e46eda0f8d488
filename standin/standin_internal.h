#pragma once

// Shared between the stand-in host's source files; not part of its interface.

#include <optional>
#include <string>

#include "standin_host.h"

namespace morvith::standin {

struct StandInHost::Internals {
    // The host that services, the settings window and the modal driver report to.
    static StandInHost* current;

    static std::deque<int>& box_answers(StandInHost& host) { return host.box_answers_; }
    static std::deque<FileDialogAnswer>& dialog_answers(StandInHost& host) { return host.dialog_answers_; }
    static std::vector<MessageBoxRecord>& message_boxes(StandInHost& host) { return host.message_boxes_; }
    static std::vector<FileDialogRecord>& file_dialogs(StandInHost& host) { return host.file_dialogs_; }
    static uint64_t NextSequence(StandInHost& host) { return host.NextSequence(); }
    static int32_t CallWindowCallback(StandInHost& host, HWND window, UINT message, WPARAM wparam,
                                      LPARAM lparam);
    static StandInHost* HostOfWindow(HWND window);

    // For the services.
    static void Log(StandInHost& host, ServiceCall call) {
        call.sequence = host.NextSequence();
        host.calls_.push_back(std::move(call));
    }
    static bool saving(const StandInHost& host) { return host.saving_output_; }
    static int32_t enabled(const StandInHost& host) { return host.filter_is_enabled_result_; }
    static void CountRedraw(StandInHost& host) { ++host.redraw_count_; }
    static PixelYC* Fetch(StandInHost& host, int32_t frame, int32_t* width, int32_t* height) {
        return host.Fetch(frame, width, height);
    }
    static SHORT EscapeKeyState(StandInHost& host, int key);
    static int32_t Load(StandInHost& host, PixelYC* destination, const char* name, int32_t* width,
                        int32_t* height, int32_t flags) {
        return host.LoadImage(destination, name, width, height, flags);
    }
};

// The modal driver's WH_CBT hook on the calling thread, shared by every host.
void AcquireModalHook();
void ReleaseModalHook();

// Decodes an image file to 8-bit RGB (stb_image); nullopt if it cannot be read.
std::optional<RgbImage> ReadRgbImage(const char* path);

}  // namespace morvith::standin
