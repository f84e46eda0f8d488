#pragma once

// What the stand-in host records of a plug-in's calls and windows, and the test's
// instructions for the inputs it scripts (dialog answers, the Esc key, typing).

#include <windows.h>

#include <climits>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "filter_abi.h"
#include "pictures.h"

namespace morvith::standin {

using host::FilterRegistration;
using host::FrameJob;

enum class Service {
    IsEditing,
    IsSavingOutput,
    CurrentFrame,
    FrameCount,
    MoveToFrame,
    RedrawFilterWindow,
    FilterIsEnabled,
    ReserveFrameCache,
    FetchFilteredFrame,
    LoadImageFile,
    AddMenuItem,
};
const char* ServiceName(Service service);

// One call of a host service, with its arguments; fields that a service does not take stay 0.
struct ServiceCall {
    uint64_t sequence = 0;                     // shared with the modal records: global order
    Service service{};
    FilterRegistration* registration = nullptr;  // RedrawFilterWindow, FilterIsEnabled, ReserveFrameCache, FetchFilteredFrame
    void* edit_handle = nullptr;               // IsEditing, IsSavingOutput, CurrentFrame, FrameCount, MoveToFrame, FetchFilteredFrame
    int32_t max_width = 0;                     // ReserveFrameCache
    int32_t height = 0;                        // ReserveFrameCache
    int32_t frame_count = 0;                   // ReserveFrameCache
    int32_t frame = 0;                         // FetchFilteredFrame, MoveToFrame: the frame number asked for
    int32_t* width_out = nullptr;              // FetchFilteredFrame, LoadImageFile
    int32_t* height_out = nullptr;             // FetchFilteredFrame, LoadImageFile
    PixelYC* destination = nullptr;            // LoadImageFile
    bool file_name_null = false;               // LoadImageFile: a null name was passed
    std::string file_name;                     // LoadImageFile: the name's bytes
    int32_t flags = 0;                         // ReserveFrameCache, LoadImageFile
    std::string name;                          // AddMenuItem: the item's name
    HWND window = nullptr;                     // AddMenuItem: where its command goes
    int32_t id = 0;                            // AddMenuItem
    int32_t key = 0;                           // AddMenuItem
    int32_t key_flags = 0;                     // AddMenuItem
    int32_t result = 0;                        // the int result (FetchFilteredFrame: 1 if a picture, 0 if null)
    PixelYC* picture = nullptr;                // FetchFilteredFrame: the picture handed out, or null
};

enum class BoxIcon { None, Warning, Information, Error, Question };

// A message box as the host saw it, and how it was answered.
struct MessageBoxRecord {
    uint64_t sequence = 0;
    HWND owner = nullptr;          // GetWindow(GW_OWNER) of the box
    std::string text;              // code page 932 bytes
    std::string caption;
    BoxIcon icon = BoxIcon::None;
    std::vector<int> buttons;      // visible ones among IDOK..IDCONTINUE, ascending
    int answer = 0;                // the button id pressed
    bool inside_file_dialog = false;  // raised by an open-file dialog (e.g. file not found)
};

// A test's own code run inside a call, to turn the host hostile from a chosen moment:
// after_service right after the host has answered and logged a service call, after_process
// right after the process callback returns, before the host reads anything back;
// at_message_box when a message box comes up, before it is answered: what it posts is
// handled by the box's own message loop, before the answer.
struct CallHooks {
    std::function<void(Service)> after_service;
    std::function<void()> after_process;
    std::function<void()> at_message_box = {};
};

// The test's instruction for the next open-file or save dialog.
struct FileDialogAnswer {
    bool cancel = true;
    std::string path;  // typed into the file-name box, then Open (Save) is pressed
    // Not 0: no dialog comes up; the system's function answers as it does for a chosen
    // name that does not fit the plug-in's buffer: FALSE, with the size it needed in the
    // buffer's first two bytes, and FNERR_BUFFERTOOSMALL from CommDlgExtendedError.
    uint16_t needed_size = 0;
    // No dialog comes up; the function returns TRUE with `path` as the chosen name, as
    // for a folder that went away after it was chosen.
    bool without_dialog = false;

    static FileDialogAnswer Open(std::string path) { return {false, std::move(path)}; }
    static FileDialogAnswer Cancel() { return {true, {}}; }
    static FileDialogAnswer NameTooLong(uint16_t needed_size) { return {true, {}, needed_size}; }
    static FileDialogAnswer ChosenWithoutDialog(std::string path) { return {false, std::move(path), 0, true}; }
};

// An open-file or save dialog as the host saw it, and how it was answered.
struct FileDialogRecord {
    uint64_t sequence = 0;
    bool save = false;                    // GetSaveFileNameA's
    HWND owner = nullptr;
    std::string title;                    // the dialog's caption
    std::string initial_file_name;        // the file-name box's text before typing (of a full path, Wine shows the name)
    std::vector<std::string> file_types;  // the entries of the type list
    bool answer_was_queued = false;       // false: no instruction left, cancelled
    FileDialogAnswer answer;
    bool refused = false;                 // the dialog raised a box after Open that was not
                                          // answered Yes (an overwrite prompt); cancelled then
};

// A text the plug-in gave the settings window's title, with the number of service calls
// made before it and the system's millisecond tick at that moment.
struct TitleRecord {
    std::string text;
    size_t calls_before = 0;
    DWORD tick = 0;
};

// One message that the settings window forwarded (or SendToWindowCallback sent) to the
// plug-in's window callback, with the callback's result.
struct WindowMessageRecord {
    UINT message = 0;
    WPARAM wparam = 0;
    LPARAM lparam = 0;
    int32_t result = 0;
};

// A child control of the settings window.
struct ControlInfo {
    HWND handle = nullptr;
    int id = 0;
    std::string class_name;
    std::string text;               // GetWindowTextA bytes
    DWORD style = 0;
    DWORD ex_style = 0;
    int x = 0, y = 0;               // top-left in the parent's client coordinates
    int width = 0, height = 0;
    bool has_font = false;          // WM_GETFONT returned a font
    LOGFONTA font{};                // GetObjectA of that font
};

// What one ProcessFrame call left behind.
struct FrameResult {
    int32_t returned = 0;               // the callback's result
    PixelYC* work_picture = nullptr;    // the job's words as the plug-in left them
    PixelYC* spare_picture = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    PixelYC* host_work_picture = nullptr;   // what the host put in, for comparison
    PixelYC* host_spare_picture = nullptr;
    bool spare_is_fetched_frame = false;    // spare_picture left pointing at a frame FetchFilteredFrame handed out
    bool fetched_frames_intact = true;      // every handed-out frame, gaps included, as the host wrote it
    FrameJob job_before{};                  // every word of the job as handed over (unused words patterned)
    FrameJob job_after{};                   // and as the plug-in left it
    Picture work_after;                     // the work picture's samples after the call (frame size)
    bool work_gaps_intact = true;           // samples between width and max_width of each row untouched
    Picture spare_after;                    // the spare buffer after the call, max_width x max_height
    std::string title;                      // the settings window's title after the call
    std::vector<int32_t> escape_reads;      // each read of the Esc key: the frames fetched before it
};

// The Esc key held down while the number of frames fetched so far in a ProcessFrame call
// lies in [from_fetch, until_fetch): from 0, it is held from before the call.
struct KeyHold {
    int32_t from_fetch = 0;
    int32_t until_fetch = INT32_MAX;
};

// Where the module's GetAsyncKeyState import leads.
enum class KeyStateSource {
    Scripted,  // the host answers from the test's key holds, without a system call
    System,    // the system's own function, as the module imported it
};

// How TypeIntoControl delivers the text.
enum class TypingMode {
    Keystrokes,        // one WM_CHAR per character (a double-byte one as EM_REPLACESEL), as typing does
    ReplaceSelection,  // one EM_REPLACESEL with the whole text, as pasting does
};

}  // namespace morvith::standin
