#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "import_table.h"
#include "standin_internal.h"

namespace morvith::standin {

StandInHost* StandInHost::Internals::current = nullptr;

namespace {

using Internals = StandInHost::Internals;

constexpr char WINDOW_CLASS[] = "MorvithStandInSettings";
constexpr int DEFAULT_WINDOW_WIDTH = 320;
constexpr int DEFAULT_WINDOW_HEIGHT = 400;
// Handed-out frames kept alive at once: enough for any fetch pattern of one call, bounded
// so that a long frame range does not exhaust a 32-bit address space.
constexpr size_t KEPT_FETCHED_FRAMES = 32;
constexpr PixelYC GAP_MARKER = testing::GUARD_GAP_MARKER;

size_t PageSize() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
}

void CopyInto(testing::GuardedPicture& target, const Picture& source) {
    for (int y = 0; y < source.height; ++y)
        std::memcpy(&target.at(0, y), &source.at(0, y), sizeof(PixelYC) * source.width);
}

Picture CopyOut(const PixelYC* first, int width, int height, int pitch) {
    Picture picture{width, height, std::vector<PixelYC>(static_cast<size_t>(width) * height)};
    for (int y = 0; y < height; ++y)
        std::memcpy(&picture.at(0, y), first + static_cast<ptrdiff_t>(y) * pitch, sizeof(PixelYC) * width);
    return picture;
}

bool SameSample(PixelYC a, PixelYC b) { return a.y == b.y && a.cb == b.cb && a.cr == b.cr; }

std::string TextOf(HWND window) {
    const int length = GetWindowTextLengthA(window);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    text.resize(GetWindowTextA(window, text.data(), length + 1));
    return text;
}

// The slot of the module's import address table through which it calls `function` of
// `dll` (imported by name), or null.
void** FindImportSlot(HMODULE module, const char* dll, const char* function) {
    void** found = nullptr;
    ForEachImport(module, dll, [&](const char* name, void** slot) {
        if (found == nullptr && name != nullptr && std::strcmp(name, function) == 0) found = slot;
    });
    return found;
}

SHORT WINAPI ScriptedGetAsyncKeyState(int key) {
    StandInHost* host = Internals::current;
    return host == nullptr ? 0 : Internals::EscapeKeyState(*host, key);
}

// --- the services: cdecl, called from the plug-in's (realigned) stack ---

MORVITH_HOST_CALLBACK int32_t ServiceIsSavingOutput(void* edit_handle);
MORVITH_HOST_CALLBACK int32_t ServiceRedrawFilterWindow(FilterRegistration* registration);
MORVITH_HOST_CALLBACK int32_t ServiceFilterIsEnabled(FilterRegistration* registration);
MORVITH_HOST_CALLBACK int32_t ServiceReserveFrameCache(FilterRegistration* registration, int32_t max_width,
                                                       int32_t height, int32_t frame_count, int32_t flags);
MORVITH_HOST_CALLBACK PixelYC* ServiceFetchFilteredFrame(FilterRegistration* registration, void* edit_handle,
                                                         int32_t frame, int32_t* width, int32_t* height);
MORVITH_HOST_CALLBACK int32_t ServiceLoadImageFile(PixelYC* destination, const char* file_name, int32_t* width,
                                                   int32_t* height, int32_t flags);

LRESULT CALLBACK SettingsWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lparam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    StandInHost* host = Internals::HostOfWindow(window);
    if (host != nullptr && message == WM_COMMAND && host->registration().window_callback != nullptr) {
        Internals::CallWindowCallback(*host, window, message, wparam, lparam);
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

void RegisterWindowClassOnce() {
    static const bool registered = [] {
        WNDCLASSA window_class{};
        window_class.lpfnWndProc = SettingsWindowProc;
        window_class.hInstance = GetModuleHandleA(nullptr);
        window_class.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        window_class.lpszClassName = WINDOW_CLASS;
        return RegisterClassA(&window_class) != 0;
    }();
    if (!registered) throw std::runtime_error("stand-in host: cannot register the settings window class");
}

}  // namespace

// Words that the plug-in reads by index, ending right before a no-access page so that
// an index past the count crashes.
struct StandInHost::GuardedWords {
    explicit GuardedWords(size_t count) {
        const size_t page = PageSize();
        const size_t data_pages = std::max<size_t>(1, (count * sizeof(int32_t) + page - 1) / page);
        mapping_size = (data_pages + 1) * page;
        mapping = VirtualAlloc(nullptr, mapping_size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
        if (mapping == nullptr) throw std::bad_alloc();
        char* guard = static_cast<char*>(mapping) + data_pages * page;
        DWORD old_protection;
        VirtualProtect(guard, page, PAGE_NOACCESS, &old_protection);
        words = reinterpret_cast<int32_t*>(guard) - count;
    }
    ~GuardedWords() { VirtualFree(mapping, 0, MEM_RELEASE); }
    GuardedWords(const GuardedWords&) = delete;
    GuardedWords& operator=(const GuardedWords&) = delete;

    void* mapping = nullptr;
    size_t mapping_size = 0;
    int32_t* words = nullptr;
};

StandInHost* StandInHost::Internals::HostOfWindow(HWND window) {
    return reinterpret_cast<StandInHost*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

int32_t StandInHost::Internals::CallWindowCallback(StandInHost& host, HWND window, UINT message,
                                                   WPARAM wparam, LPARAM lparam) {
    host.MakeCurrent();
    const uint32_t arguments[6] = {reinterpret_cast<uint32_t>(window), message, wparam,
                                   static_cast<uint32_t>(lparam), reinterpret_cast<uint32_t>(EditHandle()),
                                   reinterpret_cast<uint32_t>(host.registration_)};
    // Recorded before the call returns its result, so that the order with service calls
    // made inside the callback stays visible through the sequence numbers of those.
    const size_t slot = host.window_messages_.size();
    host.window_messages_.push_back({message, wparam, lparam, 0});
    const int32_t result = morvith_standin_call_misaligned(
        reinterpret_cast<const void*>(host.registration_->window_callback), arguments, 6);
    host.window_messages_[slot].result = result;
    return result;
}

void* StandInHost::EditHandle() { return reinterpret_cast<void*>(0x4D6F7276); }  // "Morv"

StandInHost::StandInHost(const std::string& module_path, Clip clip) : module_path_(module_path) {
    SetClip(std::move(clip));
    MakeCurrent();
    AcquireModalHook();
    try {
        module_ = LoadLibraryA(module_path.c_str());
        if (module_ == nullptr)
            throw std::runtime_error("stand-in host: cannot load " + module_path + " (error " +
                                     std::to_string(GetLastError()) + ")");
        // Tests decide when Esc is down: synthesised input need not reach the key state
        // under Wine's null display driver.
        key_state_slot_ = FindImportSlot(module_, "user32.dll", "GetAsyncKeyState");
        if (key_state_slot_ != nullptr) {
            system_key_state_ = *key_state_slot_ != reinterpret_cast<void*>(ScriptedGetAsyncKeyState)
                                    ? *key_state_slot_
                                    : reinterpret_cast<void*>(
                                          GetProcAddress(GetModuleHandleA("user32.dll"), "GetAsyncKeyState"));
            RouteKeyStateImport(KeyStateSource::Scripted);
        }
        registration_ = CallGetFilterTable();
        if (registration_ == nullptr) throw std::runtime_error("stand-in host: GetFilterTable returned null");

        const FilterRegistration& r = *registration_;
        if (r.slider_count < 0 || r.checkbox_count < 0 || r.slider_count > 4096 || r.checkbox_count > 4096)
            throw std::runtime_error("stand-in host: implausible control counts");
        slider_words_ = std::make_unique<GuardedWords>(r.slider_count);
        checkbox_words_ = std::make_unique<GuardedWords>(r.checkbox_count);
        for (int i = 0; i < r.slider_count; ++i) slider_words_->words[i] = r.slider_defaults[i];
        for (int i = 0; i < r.checkbox_count; ++i) checkbox_words_->words[i] = r.checkbox_defaults[i];

        services_.IsSavingOutput = ServiceIsSavingOutput;
        services_.RedrawFilterWindow = ServiceRedrawFilterWindow;
        services_.FilterIsEnabled = ServiceFilterIsEnabled;
        services_.ReserveFrameCache = ServiceReserveFrameCache;
        services_.FetchFilteredFrame = ServiceFetchFilteredFrame;
        services_.LoadImageFile = ServiceLoadImageFile;

        registration_->slider_values = slider_words_->words;
        registration_->checkbox_values = checkbox_words_->words;
        registration_->services = &services_;
        registration_->instance = module_;

        RegisterWindowClassOnce();
        const int width = r.window_width != 0 ? r.window_width : DEFAULT_WINDOW_WIDTH;
        const int height = r.window_height != 0 ? r.window_height : DEFAULT_WINDOW_HEIGHT;
        window_ = CreateWindowExA(0, WINDOW_CLASS, r.display_name != nullptr ? r.display_name : "",
                                  WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, CW_USEDEFAULT,
                                  CW_USEDEFAULT, width, height, nullptr, nullptr, GetModuleHandleA(nullptr),
                                  this);
        if (window_ == nullptr)
            throw std::runtime_error("stand-in host: cannot create the settings window (is the null display "
                                     "driver set up?)");
        registration_->window = window_;
        if (registration_->window_callback != nullptr)
            Internals::CallWindowCallback(*this, window_, host::WINDOW_SETUP_MESSAGE, 0, 0);
    } catch (...) {
        if (window_ != nullptr) DestroyWindow(window_);
        RouteKeyStateImport(KeyStateSource::System);
        if (module_ != nullptr) FreeLibrary(module_);
        ReleaseModalHook();
        if (Internals::current == this) Internals::current = nullptr;
        throw;
    }
}

StandInHost::~StandInHost() {
    MakeCurrent();
    if (registration_->window_callback != nullptr)
        Internals::CallWindowCallback(*this, window_, host::WINDOW_TEARDOWN_MESSAGE, 0, 0);
    DestroyWindow(window_);
    // The module may stay loaded (another holder, or its own threads): leave it the system's function.
    RouteKeyStateImport(KeyStateSource::System);
    FreeLibrary(module_);
    ReleaseModalHook();
    if (Internals::current == this) Internals::current = nullptr;
}

void StandInHost::MakeCurrent() { Internals::current = this; }

void StandInHost::RouteKeyStateImport(KeyStateSource source) {
    if (key_state_slot_ == nullptr) return;
    WriteImportSlot(key_state_slot_, source == KeyStateSource::Scripted ? reinterpret_cast<void*>(ScriptedGetAsyncKeyState)
                                                                    : system_key_state_);
}

SHORT StandInHost::Internals::EscapeKeyState(StandInHost& host, int key) {
    if (key != VK_ESCAPE) return 0;
    const int32_t fetched = host.fetches_in_call_;
    host.escape_reads_.push_back(fetched);
    const bool down = std::any_of(host.escape_holds_.begin(), host.escape_holds_.end(), [&](const KeyHold& hold) {
        return hold.from_fetch <= fetched && fetched < hold.until_fetch;
    });
    return down ? static_cast<SHORT>(0x8000) : 0;
}

FilterRegistration* StandInHost::CallGetFilterTable() {
    using GetFilterTableFunction = FilterRegistration*(__stdcall*)();
    const auto get_filter_table =
        reinterpret_cast<GetFilterTableFunction>(reinterpret_cast<void*>(GetProcAddress(module_, "GetFilterTable")));
    if (get_filter_table == nullptr)
        throw std::runtime_error("stand-in host: " + module_path_ + " has no export GetFilterTable");
    return get_filter_table();
}

std::string StandInHost::WindowTitle() const { return TextOf(window_); }

void StandInHost::SetSlider(int index, int32_t value) {
    if (index < 0 || index >= registration_->slider_count) throw std::out_of_range("stand-in host: no such slider");
    slider_words_->words[index] = value;
}

void StandInHost::SetCheckbox(int index, int32_t value) {
    if (index < 0 || index >= registration_->checkbox_count)
        throw std::out_of_range("stand-in host: no such checkbox");
    checkbox_words_->words[index] = value;
}

int32_t StandInHost::Slider(int index) const {
    if (index < 0 || index >= registration_->slider_count) throw std::out_of_range("stand-in host: no such slider");
    return slider_words_->words[index];
}

int32_t StandInHost::Checkbox(int index) const {
    if (index < 0 || index >= registration_->checkbox_count)
        throw std::out_of_range("stand-in host: no such checkbox");
    return checkbox_words_->words[index];
}

void StandInHost::SetClip(Clip clip) {
    for (const auto& frame : clip.frames) {
        if (!frame) continue;
        if (frame->width < 1 || frame->height < 1 ||
            frame->samples.size() != static_cast<size_t>(frame->width) * frame->height)
            throw std::invalid_argument("stand-in host: a clip frame is empty or its samples do not match its size");
        if (frame->width > clip.max_width || frame->height > clip.max_height)
            throw std::invalid_argument("stand-in host: a clip frame is larger than the host's buffers");
    }
    fetched_.clear();  // they belong to the old clip
    clip_ = std::move(clip);
}

FrameResult StandInHost::ProcessFrame(int frame_index) {
    MakeCurrent();
    if (frame_index < 0 || frame_index >= clip_.frame_count() || !clip_.frames[frame_index])
        throw std::invalid_argument("stand-in host: frame " + std::to_string(frame_index) + " is not in the clip");
    if (registration_->process_callback == nullptr) throw std::logic_error("stand-in host: no process callback");
    const Picture& frame = *clip_.frames[frame_index];
    const int max_width = clip_.max_width;

    testing::GuardedPicture work(frame.width, frame.height, max_width, placement_);
    CopyInto(work, frame);
    testing::GuardedPicture spare(max_width, clip_.max_height, max_width, placement_);
    // The job too ends at a guard page: a write past its last word crashes.
    GuardedWords job_words(sizeof(FrameJob) / sizeof(int32_t));
    auto* job = reinterpret_cast<FrameJob*>(job_words.words);
    job->work_picture = work.data();
    job->spare_picture = spare.data();
    job->width = frame.width;
    job->height = frame.height;
    job->max_width = max_width;
    job->frame_index = frame_index;
    job->edit_handle = EditHandle();
    // Distinct values in the words the plug-in has no business with, so that a stray write shows.
    job->unused_0 = 0xA5A50000u;
    job->unused_24 = 0xA5A50024u;
    for (uint32_t& word : job->unused_32) word = 0xA5A50032u + 4 * static_cast<uint32_t>(&word - job->unused_32);
    fetched_intact_ = true;
    fetches_in_call_ = 0;
    escape_reads_.clear();
    RouteKeyStateImport(key_state_source_);

    const uint32_t arguments[2] = {reinterpret_cast<uint32_t>(registration_), reinterpret_cast<uint32_t>(job)};
    processing_ = true;
    FrameResult result;
    result.job_before = *job;
    result.returned = morvith_standin_call_misaligned(reinterpret_cast<const void*>(registration_->process_callback),
                                                      arguments, 2);
    processing_ = false;

    result.work_picture = job->work_picture;
    result.spare_picture = job->spare_picture;
    result.width = job->width;
    result.height = job->height;
    result.host_work_picture = work.data();
    result.host_spare_picture = spare.data();
    result.job_after = *job;
    result.spare_is_fetched_frame =
        std::any_of(fetched_.begin(), fetched_.end(),
                    [&](const FetchedFrame& fetched) { return fetched.picture->data() == job->spare_picture; });
    result.work_after = CopyOut(work.data(), frame.width, frame.height, max_width);
    for (int y = 0; y + 1 < frame.height && result.work_gaps_intact; ++y)
        for (int x = frame.width; x < max_width; ++x)
            if (!SameSample(work.at(x, y), GAP_MARKER)) {
                result.work_gaps_intact = false;
                break;
            }
    result.spare_after = CopyOut(spare.data(), max_width, clip_.max_height, max_width);
    result.title = WindowTitle();
    result.escape_reads = escape_reads_;
    for (const FetchedFrame& fetched : fetched_) ReleaseFetchedFrame(fetched);
    fetched_.clear();
    result.fetched_frames_intact = fetched_intact_;
    return result;
}

void StandInHost::ReleaseFetchedFrame(const FetchedFrame& fetched) {
    const testing::GuardedPicture& picture = *fetched.picture;
    const std::optional<Picture>& source = clip_.frames[fetched.frame];
    for (int y = 0; y < picture.height() && fetched_intact_; ++y) {
        fetched_intact_ = std::memcmp(&picture.at(0, y), &source->at(0, y), sizeof(PixelYC) * picture.width()) == 0;
        for (int x = picture.width(); y + 1 < picture.height() && x < picture.pitch() && fetched_intact_; ++x)
            fetched_intact_ = SameSample(picture.at(x, y), GAP_MARKER);
    }
}

int32_t StandInHost::SendToWindowCallback(UINT message, WPARAM wparam, LPARAM lparam) {
    if (registration_->window_callback == nullptr) throw std::logic_error("stand-in host: no window callback");
    return Internals::CallWindowCallback(*this, window_, message, wparam, lparam);
}

std::vector<ServiceCall> StandInHost::CallsOf(Service service) const {
    std::vector<ServiceCall> selected;
    for (const ServiceCall& call : calls_)
        if (call.service == service) selected.push_back(call);
    return selected;
}

void StandInHost::ClearLog() {
    calls_.clear();
    message_boxes_.clear();
    file_dialogs_.clear();
    window_messages_.clear();
    redraw_count_ = 0;
}

PixelYC* StandInHost::Fetch(int32_t frame, int32_t* width, int32_t* height) {
    ++fetches_in_call_;
    if (frame < 0 || frame >= clip_.frame_count() || !clip_.frames[frame]) return nullptr;
    const Picture& source = *clip_.frames[frame];
    auto picture = std::make_unique<testing::GuardedPicture>(source.width, source.height, clip_.max_width,
                                                             placement_);
    CopyInto(*picture, source);
    if (width != nullptr) *width = source.width;
    if (height != nullptr) *height = source.height;
    fetched_.push_back({frame, std::move(picture)});
    while (fetched_.size() > KEPT_FETCHED_FRAMES) {
        ReleaseFetchedFrame(fetched_.front());
        fetched_.pop_front();
    }
    return fetched_.back().picture->data();
}

int32_t StandInHost::LoadImage(PixelYC* destination, const char* file_name, int32_t* width, int32_t* height,
                               int32_t) {
    if (destination == nullptr || file_name == nullptr || file_name[0] == '\0') return 0;
    const std::optional<RgbImage> image = ReadRgbImage(file_name);
    if (!image || image->width > clip_.max_width || image->height > clip_.max_height) return 0;
    for (int y = 0; y < image->height; ++y)
        for (int x = 0; x < image->width; ++x)
            destination[static_cast<ptrdiff_t>(y) * clip_.max_width + x] =
                RgbToYc(image->pixels[static_cast<size_t>(y) * image->width + x]);
    if (width != nullptr) *width = image->width;
    if (height != nullptr) *height = image->height;
    return 1;
}

std::optional<ControlInfo> StandInHost::FindControl(int id) const {
    const HWND control = GetDlgItem(window_, id);
    if (control == nullptr) return std::nullopt;
    ControlInfo info;
    info.handle = control;
    info.id = id;
    char class_name[256] = {};
    GetClassNameA(control, class_name, sizeof class_name);
    info.class_name = class_name;
    info.text = TextOf(control);
    info.style = static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE));
    info.ex_style = static_cast<DWORD>(GetWindowLongA(control, GWL_EXSTYLE));
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(HWND_DESKTOP, window_, reinterpret_cast<POINT*>(&rect), 2);
    info.x = rect.left;
    info.y = rect.top;
    info.width = rect.right - rect.left;
    info.height = rect.bottom - rect.top;
    const auto font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
    if (font != nullptr) info.has_font = GetObjectA(font, sizeof info.font, &info.font) == sizeof info.font;
    return info;
}

std::vector<ControlInfo> StandInHost::Controls() const {
    std::vector<ControlInfo> controls;
    for (HWND child = GetWindow(window_, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
        if (auto info = FindControl(GetDlgCtrlID(child))) controls.push_back(*info);
    return controls;
}

void StandInHost::TypeIntoControl(int id, std::string_view text, TypingMode mode, bool replace_existing) {
    const HWND control = GetDlgItem(window_, id);
    if (control == nullptr) throw std::invalid_argument("stand-in host: no control " + std::to_string(id));
    MakeCurrent();
    if (replace_existing) {
        SendMessageA(control, EM_SETSEL, 0, -1);
        // Typing replaces the selection; with nothing to type, a backspace clears it.
        if (text.empty() && GetWindowTextLengthA(control) > 0) SendMessageA(control, WM_CHAR, VK_BACK, 1);
    }
    if (mode == TypingMode::ReplaceSelection) {
        const std::string terminated(text);
        SendMessageA(control, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(terminated.c_str()));
        return;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        // Wine's ANSI edit control takes each WM_CHAR byte as a whole character and
        // ignores WM_IME_CHAR: a double-byte character goes in as an IME commits it.
        if (IsDBCSLeadByte(byte) && i + 1 < text.size()) {
            const char character[3] = {text[i], text[i + 1], '\0'};
            SendMessageA(control, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(character));
            ++i;
            continue;
        }
        SendMessageA(control, WM_CHAR, byte, 1);
    }
}

void StandInHost::PressButton(int id) {
    MakeCurrent();
    SendMessageA(window_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window_, id)));
}

const char* ServiceName(Service service) {
    switch (service) {
        case Service::IsSavingOutput: return "IsSavingOutput";
        case Service::RedrawFilterWindow: return "RedrawFilterWindow";
        case Service::FilterIsEnabled: return "FilterIsEnabled";
        case Service::ReserveFrameCache: return "ReserveFrameCache";
        case Service::FetchFilteredFrame: return "FetchFilteredFrame";
        case Service::LoadImageFile: return "LoadImageFile";
    }
    return "?";
}

namespace {

MORVITH_HOST_CALLBACK int32_t ServiceIsSavingOutput(void* edit_handle) {
    StandInHost* host = Internals::current;
    if (host == nullptr) return 0;
    ServiceCall call;
    call.service = Service::IsSavingOutput;
    call.edit_handle = edit_handle;
    call.result = Internals::saving(*host) ? 1 : 0;
    const int32_t result = call.result;
    Internals::Log(*host, std::move(call));
    return result;
}

MORVITH_HOST_CALLBACK int32_t ServiceRedrawFilterWindow(FilterRegistration* registration) {
    StandInHost* host = Internals::current;
    if (host == nullptr) return 0;
    ServiceCall call;
    call.service = Service::RedrawFilterWindow;
    call.registration = registration;
    call.result = 1;
    Internals::CountRedraw(*host);
    Internals::Log(*host, std::move(call));
    return 1;
}

MORVITH_HOST_CALLBACK int32_t ServiceFilterIsEnabled(FilterRegistration* registration) {
    StandInHost* host = Internals::current;
    if (host == nullptr) return 0;
    ServiceCall call;
    call.service = Service::FilterIsEnabled;
    call.registration = registration;
    call.result = Internals::enabled(*host);
    const int32_t result = call.result;
    Internals::Log(*host, std::move(call));
    return result;
}

MORVITH_HOST_CALLBACK int32_t ServiceReserveFrameCache(FilterRegistration* registration, int32_t max_width,
                                                       int32_t height, int32_t frame_count, int32_t flags) {
    StandInHost* host = Internals::current;
    if (host == nullptr) return 0;
    ServiceCall call;
    call.service = Service::ReserveFrameCache;
    call.registration = registration;
    call.max_width = max_width;
    call.height = height;
    call.frame_count = frame_count;
    call.flags = flags;
    call.result = 1;
    Internals::Log(*host, std::move(call));
    return 1;
}

MORVITH_HOST_CALLBACK PixelYC* ServiceFetchFilteredFrame(FilterRegistration* registration, void* edit_handle,
                                                         int32_t frame, int32_t* width, int32_t* height) {
    StandInHost* host = Internals::current;
    if (host == nullptr) return nullptr;
    ServiceCall call;
    call.service = Service::FetchFilteredFrame;
    call.registration = registration;
    call.edit_handle = edit_handle;
    call.frame = frame;
    call.width_out = width;
    call.height_out = height;
    call.picture = Internals::Fetch(*host, frame, width, height);
    call.result = call.picture != nullptr ? 1 : 0;
    PixelYC* const picture = call.picture;
    Internals::Log(*host, std::move(call));
    return picture;
}

MORVITH_HOST_CALLBACK int32_t ServiceLoadImageFile(PixelYC* destination, const char* file_name, int32_t* width,
                                                   int32_t* height, int32_t flags) {
    StandInHost* host = Internals::current;
    if (host == nullptr) return 0;
    ServiceCall call;
    call.service = Service::LoadImageFile;
    call.destination = destination;
    call.file_name_null = file_name == nullptr;
    if (file_name != nullptr) call.file_name = file_name;
    call.width_out = width;
    call.height_out = height;
    call.flags = flags;
    call.result = Internals::Load(*host, destination, file_name, width, height, flags);
    const int32_t result = call.result;
    Internals::Log(*host, std::move(call));
    return result;
}

}  // namespace
}  // namespace morvith::standin
