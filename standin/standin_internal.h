#pragma once

// Shared between the stand-in host's source files; not part of its interface.

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "standin_host.h"

namespace morvith::standin {

// Words that the plug-in reads by index, ending right before a no-access page so that
// an index past the count crashes.
struct GuardedWords {
    explicit GuardedWords(size_t count);
    ~GuardedWords();
    GuardedWords(const GuardedWords&) = delete;
    GuardedWords& operator=(const GuardedWords&) = delete;

    void* mapping = nullptr;
    size_t mapping_size = 0;
    int32_t* words = nullptr;
};

struct FetchedFrame {
    int32_t frame = 0;
    std::unique_ptr<testing::GuardedPicture> picture;
    bool spoiled = false;  // checked, then overwritten at the next service call
};

struct StandInHost::State {
    // The host that services, the settings window and the modal driver report to.
    static State* current;
    void MakeCurrent() { current = this; }

    // The module and what it was given (standin_host.cpp).
    std::string module_path;
    HMODULE module = nullptr;
    FilterRegistration* registration = nullptr;
    host::HostServices services{};
    HWND window = nullptr;
    std::unique_ptr<GuardedWords> slider_words;
    std::unique_ptr<GuardedWords> checkbox_words;
    std::vector<WindowMessageRecord> window_messages;
    // Recorded before the callback returns, so that the service calls made inside it
    // show their order through their sequence numbers. A nonzero result renders the
    // current frame again, as the host does, while a file is open (when asked to).
    int32_t CallWindowCallback(HWND target, UINT message, WPARAM wparam, LPARAM lparam);
    bool in_setup_message = false;
    bool render_on_window_result = false;
    std::vector<FrameResult> renders;  // those that window callbacks asked for
    std::vector<TitleRecord> titles;   // every text given to the settings window's title
    std::vector<ServiceCall> menu_items;  // AddMenuItem calls that added an item; the log may be cleared

    // The edit: a file open or not, the frame on screen (the last rendered or moved to).
    bool editing = true;
    int32_t current_frame = 0;
    FrameResult Render(int frame_index);

    // The pictures handed out (frame_cache.cpp).
    Clip clip;
    testing::GuardPlacement placement = testing::DefaultGuardPlacement();
    std::deque<FetchedFrame> fetched;  // newest last
    bool fetched_intact = true;        // of the frames released during this call
    int32_t fetches_in_call = 0;
    bool spoil_fetched = false;
    void SpoilFetchedFrames();
    PixelYC* Fetch(int32_t frame, int32_t* width, int32_t* height);
    void ReleaseFetchedFrame(const FetchedFrame& frame);
    void ReleaseFetchedFrames();
    int32_t LoadImage(PixelYC* destination, const char* file_name, int32_t* width, int32_t* height);

    // The services' answers and their log (host_services.cpp).
    bool saving_output = false;
    int32_t filter_is_enabled_result = 1;
    int redraw_count = 0;
    uint64_t sequence = 0;  // shared by service calls and modal records
    std::vector<ServiceCall> calls;
    CallHooks hooks;
    uint64_t NextSequence() { return ++sequence; }

    // The Esc key (escape_key.cpp).
    std::vector<KeyHold> escape_holds;
    std::vector<int32_t> escape_reads;
    KeyStateSource key_state_source = KeyStateSource::Scripted;
    void** key_state_slot = nullptr;  // the module's import of GetAsyncKeyState, if any
    void** foreground_slot = nullptr;  // and of GetForegroundWindow
    void* system_key_state = nullptr;
    void FindKeyStateImport();
    void RouteKeyStateImport(KeyStateSource source);
    SHORT EscapeKeyState(int key);

    // Message boxes and file dialogs (modal_driver.cpp).
    std::deque<int> box_answers;
    std::deque<FileDialogAnswer> dialog_answers;
    std::vector<MessageBoxRecord> message_boxes;
    std::vector<FileDialogRecord> file_dialogs;
    void RouteFileDialogImport();  // for the answers no dialog gives (NameTooLong, ChosenWithoutDialog)
    bool dialog_error_scripted = false;  // the last dialog call was answered from the script
    DWORD scripted_dialog_error = 0;
};
using HostState = StandInHost::State;

// Copies between clip pictures and guard-page ones (frame_cache.cpp); GapsIntact: the
// samples between width and pitch of every row but the last still hold the gap marker.
void CopyInto(testing::GuardedPicture& target, const Picture& source);
Picture CopyOut(const testing::GuardedPicture& source, int width, int height);
bool GapsIntact(const testing::GuardedPicture& picture);

// The service table with the host's functions, the unused words 0 (host_services.cpp).
host::HostServices ServiceTable();

// The settings window of a host; throws std::runtime_error if it cannot be made
// (settings_window.cpp).
HWND CreateSettingsWindow(HostState& host);
// The client height that the host's own rows of sliders and checkboxes take: the window's
// standard height (settings_view.cpp).
int StandardClientHeight(const FilterRegistration& registration);
// GetWindowTextA bytes; empty for a null window.
std::string TextOf(HWND window);

// Whether a ForeignWindowInFront lives (foreign_window.cpp).
bool ForeignWindowIsInFront();

// The modal driver's WH_CBT hook on the calling thread, shared by every host.
void AcquireModalHook();
void ReleaseModalHook();

// Decodes an image file to 8-bit RGB (stb_image); nullopt if it cannot be read.
std::optional<RgbImage> ReadRgbImage(const char* path);

}  // namespace morvith::standin
