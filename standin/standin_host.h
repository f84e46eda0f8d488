#pragma once

// The stand-in host: loads a real plug-in module (.auf) and plays AviUtl's part around
// it for tests and for the command-line program. It hands the plug-in guard-page
// pictures of a built-in or test-made clip, calls its callbacks on a deliberately
// misaligned stack as the MSVC-built host does, records every service call, and answers
// the plug-in's message boxes and open-file dialogs from the test's instructions, and
// holds the Esc key down when the test says.
//
// Everything runs on the thread that created the host; one host is active at a time
// (the most recent one to be created or called).

#include <windows.h>

#include <climits>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "filter_abi.h"
#include "guarded_picture.h"
#include "sample_clip.h"

namespace morvith::standin {

using host::FilterRegistration;
using host::FrameJob;

// ---------------------------------------------------------------------------------------
// Clips and pictures

// A clip as the host holds it: each frame is a picture or a gap that the host cannot
// deliver. Every buffer the host hands out has room for max_width x max_height samples
// with pitch max_width.
struct Clip {
    int max_width = 0;
    int max_height = 0;
    std::vector<std::optional<Picture>> frames;  // nullopt: not deliverable

    int frame_count() const { return static_cast<int>(frames.size()); }
};

// A clip of the given frames; a max size of 0 means that of the largest frame.
Clip MakeClip(std::vector<std::optional<Picture>> frames, int max_width = 0, int max_height = 0);
// frame_count frames of the built-in scene (SampleFrame), 640 x 360 by default.
Clip SampleClip(int frame_count, int width = 640, int height = 360, int max_width = 0,
                int max_height = 0);
// frame_count side-by-side frames (SideBySideFrame): two half_width x height halves.
Clip SideBySideClip(int frame_count, int half_width = 640, int height = 480, int step = 64);
// A width x height picture whose every sample is value.
Picture ConstantPicture(int width, int height, PixelYC value);

// ---------------------------------------------------------------------------------------
// Image files, as the host's LoadImageFile reads them

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
};
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels;  // width * height, top row first
};

// BT.601 with 255 -> 4096: Y = 0.299R + 0.587G + 0.114B, Cb = (B - Y) * 0.564,
// Cr = (R - Y) * 0.713, each scaled and rounded to the nearest integer.
PixelYC RgbToYc(Rgb rgb);
// The inverse, rounded and clamped to 0..255: to write a clip frame as a bitmap.
Rgb YcToRgb(PixelYC sample);
RgbImage PictureToRgb(const Picture& picture);
// Writes a 24-bit bottom-up BMP; false if the file cannot be written. Path in the ANSI code page.
bool WriteBmp24(const std::string& path, const RgbImage& image);
// Decodes an image file (BMP, PNG, ...) and converts it as LoadImageFile does; nullopt
// if it cannot be read. Tests use it for the exact expected reference picture.
std::optional<Picture> ReadImageFileAsPicture(const std::string& path);

// Code page 932 bytes as UTF-8, for printing; invalid bytes become U+FFFD.
std::string Cp932ToUtf8(std::string_view cp932);
// An absolute Unix path of the build tree (e.g. a target's file name from CMake) as
// Wine's Windows path on drive Z:; any other path unchanged.
std::string HostPath(std::string_view path);

// ---------------------------------------------------------------------------------------
// What the host records

enum class Service {
    IsSavingOutput,
    RedrawFilterWindow,
    FilterIsEnabled,
    ReserveFrameCache,
    FetchFilteredFrame,
    LoadImageFile,
};
const char* ServiceName(Service service);

// One call of a host service, with its arguments; fields that a service does not take stay 0.
struct ServiceCall {
    uint64_t sequence = 0;                     // shared with the modal records: global order
    Service service{};
    FilterRegistration* registration = nullptr;  // RedrawFilterWindow, FilterIsEnabled, ReserveFrameCache, FetchFilteredFrame
    void* edit_handle = nullptr;               // IsSavingOutput, FetchFilteredFrame
    int32_t max_width = 0;                     // ReserveFrameCache
    int32_t height = 0;                        // ReserveFrameCache
    int32_t frame_count = 0;                   // ReserveFrameCache
    int32_t frame = 0;                         // FetchFilteredFrame: the frame number asked for
    int32_t* width_out = nullptr;              // FetchFilteredFrame, LoadImageFile
    int32_t* height_out = nullptr;             // FetchFilteredFrame, LoadImageFile
    PixelYC* destination = nullptr;            // LoadImageFile
    bool file_name_null = false;               // LoadImageFile: a null name was passed
    std::string file_name;                     // LoadImageFile: the name's bytes
    int32_t flags = 0;                         // ReserveFrameCache, LoadImageFile
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

// The test's instruction for the next open-file dialog.
struct FileDialogAnswer {
    bool cancel = true;
    std::string path;  // typed into the file-name box, then Open is pressed

    static FileDialogAnswer Open(std::string path) { return {false, std::move(path)}; }
    static FileDialogAnswer Cancel() { return {true, {}}; }
};

// An open-file dialog as the host saw it, and how it was answered.
struct FileDialogRecord {
    uint64_t sequence = 0;
    HWND owner = nullptr;
    std::string title;                    // the dialog's caption
    std::string initial_file_name;        // the file-name box's text before typing (of a full path, Wine shows the name)
    std::vector<std::string> file_types;  // the entries of the type list
    bool answer_was_queued = false;       // false: no instruction left, cancelled
    FileDialogAnswer answer;
    bool refused = false;                 // the dialog raised a box after Open; cancelled then
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

// ---------------------------------------------------------------------------------------
// The host

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

    FilterRegistration& registration() { return *registration_; }
    const FilterRegistration& registration() const { return *registration_; }
    // Calls the export again (it must return the same address).
    FilterRegistration* CallGetFilterTable();
    HMODULE module() const { return module_; }
    HWND window() const { return window_; }
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
    const Clip& clip() const { return clip_; }

    // Where the guard page sits for every picture handed out from now on: the work and
    // spare pictures (the spare one also receives loaded image files) and fetched frames.
    void SetPicturePlacement(testing::GuardPlacement placement) { placement_ = placement; }
    testing::GuardPlacement PicturePlacement() const { return placement_; }

    // Runs the process callback on frame_index (a picture of the clip, else
    // std::invalid_argument), on a misaligned stack.
    FrameResult ProcessFrame(int frame_index);

    // Calls the window callback directly with the settings window (misaligned stack);
    // std::logic_error if the plug-in has none. Recorded like forwarded messages.
    int32_t SendToWindowCallback(UINT message, WPARAM wparam, LPARAM lparam);
    // Every message forwarded to the window callback so far, the setup message first.
    const std::vector<WindowMessageRecord>& window_messages() const { return window_messages_; }

    // The keyboard as the plug-in reads it through GetAsyncKeyState: the test's holds of
    // Esc (every other key is up), or the system's key state.
    void ScriptEscapeKey(std::vector<KeyHold> holds) { escape_holds_ = std::move(holds); }
    void SetKeyStateSource(KeyStateSource source) { key_state_source_ = source; }

    // Service behaviour.
    void SetSavingOutput(bool saving) { saving_output_ = saving; }
    void SetFilterIsEnabledResult(int32_t result) { filter_is_enabled_result_ = result; }
    int redraw_count() const { return redraw_count_; }

    // The service calls so far, in order; ClearLog forgets them and the modal records.
    const std::vector<ServiceCall>& calls() const { return calls_; }
    std::vector<ServiceCall> CallsOf(Service service) const;
    void ClearLog();

    // Modal windows: boxes are answered with the queued button ids in turn, else with
    // IDOK (or the first button); dialogs with the queued answers, else cancelled.
    void QueueMessageBoxAnswer(int button_id) { box_answers_.push_back(button_id); }
    void QueueFileDialogAnswer(FileDialogAnswer answer) { dialog_answers_.push_back(std::move(answer)); }
    const std::vector<MessageBoxRecord>& message_boxes() const { return message_boxes_; }
    const std::vector<FileDialogRecord>& file_dialogs() const { return file_dialogs_; }

    // Child controls of the settings window.
    std::optional<ControlInfo> FindControl(int id) const;
    std::vector<ControlInfo> Controls() const;
    // Types text into control id (std::invalid_argument if there is none), replacing its
    // text first when replace_existing, so that the control notifies the window (EN_UPDATE).
    void TypeIntoControl(int id, std::string_view text, TypingMode mode = TypingMode::Keystrokes,
                         bool replace_existing = true);
    // Sends the window the WM_COMMAND / BN_CLICKED that a click on button id makes.
    void PressButton(int id);

    // For screenshots: the host's own slider and checkbox rows above the plug-in's
    // controls, and a capture of the whole window (frame and title included) as a PNG file.
    void ShowHostControls();
    bool CaptureWindow(const std::string& png_path);

    // --- used by the services and the window machinery; not for tests ---
    struct Internals;

private:
    friend struct Internals;

    void MakeCurrent();
    PixelYC* Fetch(int32_t frame, int32_t* width, int32_t* height);
    int32_t LoadImage(PixelYC* destination, const char* file_name, int32_t* width, int32_t* height,
                      int32_t flags);
    uint64_t NextSequence() { return ++sequence_; }
    void RouteKeyStateImport(KeyStateSource source);

    std::string module_path_;
    HMODULE module_ = nullptr;
    FilterRegistration* registration_ = nullptr;
    host::HostServices services_{};
    HWND window_ = nullptr;
    Clip clip_;
    testing::GuardPlacement placement_ = testing::DefaultGuardPlacement();

    // Slider and checkbox values, each array ending right before a no-access page.
    struct GuardedWords;
    std::unique_ptr<GuardedWords> slider_words_;
    std::unique_ptr<GuardedWords> checkbox_words_;

    bool saving_output_ = false;
    int32_t filter_is_enabled_result_ = 1;
    int redraw_count_ = 0;
    bool processing_ = false;
    struct FetchedFrame {
        int32_t frame = 0;
        std::unique_ptr<testing::GuardedPicture> picture;
    };
    void ReleaseFetchedFrame(const FetchedFrame& fetched);
    std::deque<FetchedFrame> fetched_;  // handed-out frames, newest last
    bool fetched_intact_ = true;        // of the frames released during this call
    int32_t fetches_in_call_ = 0;
    std::vector<int32_t> escape_reads_;

    std::vector<KeyHold> escape_holds_;
    KeyStateSource key_state_source_ = KeyStateSource::Scripted;
    void** key_state_slot_ = nullptr;     // the module's import of GetAsyncKeyState, if any
    void* system_key_state_ = nullptr;

    uint64_t sequence_ = 0;
    std::vector<ServiceCall> calls_;
    std::vector<WindowMessageRecord> window_messages_;
    std::deque<int> box_answers_;
    std::deque<FileDialogAnswer> dialog_answers_;
    std::vector<MessageBoxRecord> message_boxes_;
    std::vector<FileDialogRecord> file_dialogs_;
};

// Calls a cdecl function with the given 32-bit arguments on a stack that is 4-byte but
// not 16-byte aligned: ESP is 8 mod 16 at the call, so 4 mod 16 on entry (GCC assumes 12).
extern "C" int32_t morvith_standin_call_misaligned(const void* function, const uint32_t* arguments,
                                                   int32_t count);

}  // namespace morvith::standin
