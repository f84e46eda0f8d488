#pragma once

// The stand-in host: loads a real plug-in module (.auf) and plays AviUtl's part around
// it for tests and for the command-line program. It hands the plug-in guard-page
// pictures of a built-in or test-made clip, calls its callbacks on a deliberately
// misaligned stack as the MSVC-built host does, records every service call, answers the
// plug-in's message boxes and open-file dialogs from the test's instructions, and holds
// the Esc key down when the test says.
//
// What a test may call, all on StandInHost:
//   the module      registration, CallGetFilterTable, module, window, WindowTitle, EditHandle
//   the settings    SetSlider, SetCheckbox, Slider, Checkbox
//   the pictures    SetClip, clip, SetPicturePlacement, PicturePlacement, ProcessFrame
//   the window      SendToWindowCallback, window_messages, SetRenderOnWindowResult, renders,
//                   titles, FindControl, Controls, TypeIntoControl, PressButton, ClickControl
//   the menus       MenuItems, ChooseMenuItem, ChooseExport
//   the services    SetSavingOutput, SetEditing, CurrentFrame, SetFilterIsEnabledResult,
//                   redraw_count, calls, CallsOf, ClearLog
//   scripted input  QueueMessageBoxAnswer, QueueFileDialogAnswer, ScriptEscapeKey,
//                   SetKeyStateSource, SetCallHooks; what came up: message_boxes, file_dialogs
//   screenshots     ShowHostControls, CaptureWindow
// Clips and image files are in pictures.h, the records and instructions in
// host_records.h, the import table walker in import_table.h, another program's window in
// front of the desktop in foreign_window.h.
//
// Everything runs on the thread that created the host; one host is active at a time
// (the most recent one to be created or called).

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "filter_abi.h"
#include "guarded_picture.h"
#include "host_records.h"
#include "pictures.h"

namespace morvith::standin {

class StandInHost {
public:
    // LoadLibraryA, GetFilterTable, the host words, the settings window and the setup
    // message. Throws std::runtime_error if the module or its export cannot be had.
    explicit StandInHost(const std::string& module_path, Clip clip = SampleClip(3));
    // Teardown message, DestroyWindow, FreeLibrary.
    ~StandInHost();
    StandInHost(const StandInHost&) = delete;
    StandInHost& operator=(const StandInHost&) = delete;

    // The edit handle token handed to the plug-in in every FrameJob.
    static void* EditHandle();

    FilterRegistration& registration();
    const FilterRegistration& registration() const;
    // Calls the export again (it must return the same address).
    FilterRegistration* CallGetFilterTable();
    HMODULE module() const;
    HWND window() const;
    // The settings window's title, as GetWindowTextA bytes.
    std::string WindowTitle() const;

    // Slider / checkbox i (0 <= i < count, else std::out_of_range) set to any value, in range or not.
    void SetSlider(int index, int32_t value);
    void SetCheckbox(int index, int32_t value);
    int32_t Slider(int index) const;
    int32_t Checkbox(int index) const;

    // The clip; replacing it is allowed between calls (std::invalid_argument if a frame
    // is larger than the max size).
    void SetClip(Clip clip);
    const Clip& clip() const;

    // Where the guard page sits for every picture handed out from now on: the work and
    // spare pictures (the spare one also receives loaded image files) and fetched frames.
    void SetPicturePlacement(testing::GuardPlacement placement);
    testing::GuardPlacement PicturePlacement() const;
    // As the host may reuse its buffers: every fetched frame is overwritten at the
    // plug-in's next service call (checked untouched first), so that a plug-in that reads
    // it later measures garbage. Off until asked.
    void SetSpoilFetchedFrames(bool spoil);
    // Whether every fetched frame checked since the last ClearLog (when spoiled, or when
    // a call of ProcessFrame ended) was as the host handed it out.
    bool FetchedFramesIntact() const;

    // Runs the process callback on frame_index (a picture of the clip, else
    // std::invalid_argument), on a misaligned stack; that frame is then the one on screen.
    FrameResult ProcessFrame(int frame_index);

    // Calls the window callback directly with the settings window (misaligned stack);
    // std::logic_error if the plug-in has none. Recorded like forwarded messages.
    int32_t SendToWindowCallback(UINT message, WPARAM wparam, LPARAM lparam);
    // Every message forwarded to the window callback so far, the setup message first.
    const std::vector<WindowMessageRecord>& window_messages() const;
    // A nonzero result of the window callback renders the frame on screen again while a
    // file is open, as the host does; off until asked, so that a test sees only the calls
    // the plug-in makes itself. Each such render, in order.
    void SetRenderOnWindowResult(bool render);
    const std::vector<FrameResult>& renders() const;
    // Every text given to the settings window's title, in order.
    const std::vector<TitleRecord>& titles() const;

    // The host's menus: the items the plug-in added (AddMenuItem calls that succeeded);
    // choosing one sends its command to its window (false: no item with that id); the
    // File > Export entry, there with FILTER_FLAG_EXPORT (false without).
    const std::vector<ServiceCall>& MenuItems() const;
    bool ChooseMenuItem(int32_t id);
    bool ChooseExport();

    // The keyboard as the plug-in reads it through GetAsyncKeyState: the test's holds of
    // Esc (every other key is up), or the system's key state. With the scripted keys its
    // GetForegroundWindow answers the settings window, or the system's answer while a
    // ForeignWindowInFront lives.
    void ScriptEscapeKey(std::vector<KeyHold> holds);
    void SetKeyStateSource(KeyStateSource source);

    // The test's code inside later calls (host_records.h); empty hooks run nothing.
    void SetCallHooks(CallHooks hooks);

    // Service behaviour.
    void SetSavingOutput(bool saving);
    // No file open: IsEditing, CurrentFrame and FrameCount answer 0, MoveToFrame moves nothing.
    void SetEditing(bool editing);
    int32_t CurrentFrame() const;
    void SetFilterIsEnabledResult(int32_t result);
    int redraw_count() const;

    // The service calls so far, in order; ClearLog forgets them and the modal records.
    const std::vector<ServiceCall>& calls() const;
    std::vector<ServiceCall> CallsOf(Service service) const;
    void ClearLog();

    // Modal windows: boxes are answered with the queued button ids in turn, else with
    // IDOK (or the first button); dialogs with the queued answers, else cancelled.
    void QueueMessageBoxAnswer(int button_id);
    void QueueFileDialogAnswer(FileDialogAnswer answer);
    const std::vector<MessageBoxRecord>& message_boxes() const;
    const std::vector<FileDialogRecord>& file_dialogs() const;

    // Child controls of the settings window.
    std::optional<ControlInfo> FindControl(int id) const;
    std::vector<ControlInfo> Controls() const;
    // Types text into control id (std::invalid_argument if there is none), replacing its
    // text first when replace_existing, so that the control notifies the window (EN_UPDATE).
    void TypeIntoControl(int id, std::string_view text, TypingMode mode = TypingMode::Keystrokes,
                         bool replace_existing = true);
    // Sends the window the WM_COMMAND / BN_CLICKED that a click on button id makes.
    void PressButton(int id);
    // A left click on control id at (x, y) of its client area (std::invalid_argument if
    // there is no such control): the control's pending paint, then the click posted and
    // every queued message handled.
    void ClickControl(int id, int x, int y);

    // For screenshots: the host's own slider and checkbox rows above the plug-in's
    // controls and a caption font like a Japanese desktop's (for as long as the wine
    // server runs), and a capture of the whole window (frame and title included) as a PNG
    // file, each pixel drawn as scale x scale pixels so that small text stays legible.
    void ShowHostControls();
    bool CaptureWindow(const std::string& png_path, int scale = 1);

    // Defined in the host's own files (standin_internal.h).
    struct State;

private:
    std::unique_ptr<State> state_;
};

// Calls a cdecl function with the given 32-bit arguments on a stack that is 4-byte but
// not 16-byte aligned: ESP is 8 mod 16 at the call, so 4 mod 16 on entry (GCC assumes 12).
extern "C" int32_t morvith_standin_call_misaligned(const void* function, const uint32_t* arguments,
                                                   int32_t count);

}  // namespace morvith::standin
