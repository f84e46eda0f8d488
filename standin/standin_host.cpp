// The host object: loading the module, the words it hands over (the registration's
// sliders and checkboxes, the frame job), and the plug-in's two callbacks.

#include <algorithm>
#include <stdexcept>

#include "standin_internal.h"

namespace morvith::standin {

HostState* HostState::current = nullptr;

void* StandInHost::EditHandle() { return reinterpret_cast<void*>(0x4D6F7276); }  // "Morv"

StandInHost::StandInHost(const std::string& module_path, Clip clip) : state_(std::make_unique<State>()) {
    State& s = *state_;
    s.module_path = module_path;
    SetClip(std::move(clip));
    s.MakeCurrent();
    AcquireModalHook();
    try {
        s.module = LoadLibraryA(module_path.c_str());
        if (s.module == nullptr)
            throw std::runtime_error("stand-in host: cannot load " + module_path + " (error " +
                                     std::to_string(GetLastError()) + ")");
        s.FindKeyStateImport();
        s.RouteFileDialogImport();
        s.registration = CallGetFilterTable();
        if (s.registration == nullptr) throw std::runtime_error("stand-in host: GetFilterTable returned null");

        FilterRegistration& r = *s.registration;
        if (r.slider_count < 0 || r.checkbox_count < 0 || r.slider_count > 4096 || r.checkbox_count > 4096)
            throw std::runtime_error("stand-in host: implausible control counts");
        s.slider_words = std::make_unique<GuardedWords>(r.slider_count);
        s.checkbox_words = std::make_unique<GuardedWords>(r.checkbox_count);
        for (int i = 0; i < r.slider_count; ++i) s.slider_words->words[i] = r.slider_defaults[i];
        for (int i = 0; i < r.checkbox_count; ++i) s.checkbox_words->words[i] = r.checkbox_defaults[i];

        s.services = ServiceTable();
        r.slider_values = s.slider_words->words;
        r.checkbox_values = s.checkbox_words->words;
        r.services = &s.services;
        r.instance = s.module;

        s.window = CreateSettingsWindow(s);
        r.window = s.window;
        if (r.window_callback != nullptr) s.CallWindowCallback(s.window, host::WINDOW_SETUP_MESSAGE, 0, 0);
    } catch (...) {
        if (s.window != nullptr) DestroyWindow(s.window);
        s.RouteKeyStateImport(KeyStateSource::System);
        if (s.module != nullptr) FreeLibrary(s.module);
        ReleaseModalHook();
        if (State::current == &s) State::current = nullptr;
        throw;
    }
}

StandInHost::~StandInHost() {
    State& s = *state_;
    s.MakeCurrent();
    if (s.registration->window_callback != nullptr) s.CallWindowCallback(s.window, host::WINDOW_TEARDOWN_MESSAGE, 0, 0);
    DestroyWindow(s.window);
    // The module may stay loaded (another holder, or its own threads): leave it the system's function.
    s.RouteKeyStateImport(KeyStateSource::System);
    FreeLibrary(s.module);
    ReleaseModalHook();
    if (State::current == &s) State::current = nullptr;
}

FilterRegistration& StandInHost::registration() { return *state_->registration; }
const FilterRegistration& StandInHost::registration() const { return *state_->registration; }
HMODULE StandInHost::module() const { return state_->module; }
HWND StandInHost::window() const { return state_->window; }

FilterRegistration* StandInHost::CallGetFilterTable() {
    using GetFilterTableFunction = FilterRegistration*(__stdcall*)();
    const auto get_filter_table = reinterpret_cast<GetFilterTableFunction>(
        reinterpret_cast<void*>(GetProcAddress(state_->module, "GetFilterTable")));
    if (get_filter_table == nullptr)
        throw std::runtime_error("stand-in host: " + state_->module_path + " has no export GetFilterTable");
    return get_filter_table();
}

namespace {

int32_t& Word(const GuardedWords& words, int index, int32_t count, const char* what) {
    if (index < 0 || index >= count) throw std::out_of_range(std::string("stand-in host: no such ") + what);
    return words.words[index];
}

}  // namespace

void StandInHost::SetSlider(int index, int32_t value) {
    Word(*state_->slider_words, index, state_->registration->slider_count, "slider") = value;
}

void StandInHost::SetCheckbox(int index, int32_t value) {
    Word(*state_->checkbox_words, index, state_->registration->checkbox_count, "checkbox") = value;
}

int32_t StandInHost::Slider(int index) const {
    return Word(*state_->slider_words, index, state_->registration->slider_count, "slider");
}

int32_t StandInHost::Checkbox(int index) const {
    return Word(*state_->checkbox_words, index, state_->registration->checkbox_count, "checkbox");
}

FrameResult StandInHost::ProcessFrame(int frame_index) { return state_->Render(frame_index); }

FrameResult HostState::Render(int frame_index) {
    State& s = *this;
    s.MakeCurrent();
    const Clip& clip = s.clip;
    if (frame_index < 0 || frame_index >= clip.frame_count() || !clip.frames[frame_index])
        throw std::invalid_argument("stand-in host: frame " + std::to_string(frame_index) + " is not in the clip");
    if (s.registration->process_callback == nullptr) throw std::logic_error("stand-in host: no process callback");
    const Picture& frame = *clip.frames[frame_index];
    const int max_width = clip.max_width;
    s.current_frame = frame_index;

    testing::GuardedPicture work(frame.width, frame.height, max_width, s.placement);
    CopyInto(work, frame);
    testing::GuardedPicture spare(max_width, clip.max_height, max_width, s.placement);
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
    s.fetched_intact = true;
    s.fetches_in_call = 0;
    s.escape_reads.clear();
    s.RouteKeyStateImport(s.key_state_source);

    const uint32_t arguments[2] = {reinterpret_cast<uint32_t>(s.registration), reinterpret_cast<uint32_t>(job)};
    FrameResult result;
    result.job_before = *job;
    result.returned = morvith_standin_call_misaligned(
        reinterpret_cast<const void*>(s.registration->process_callback), arguments, 2);
    if (s.hooks.after_process) s.hooks.after_process();

    result.work_picture = job->work_picture;
    result.spare_picture = job->spare_picture;
    result.width = job->width;
    result.height = job->height;
    result.host_work_picture = work.data();
    result.host_spare_picture = spare.data();
    result.job_after = *job;
    result.spare_is_fetched_frame =
        std::any_of(s.fetched.begin(), s.fetched.end(),
                    [&](const FetchedFrame& fetched) { return fetched.picture->data() == job->spare_picture; });
    result.work_after = CopyOut(work, frame.width, frame.height);
    result.work_gaps_intact = GapsIntact(work);
    result.spare_after = CopyOut(spare, max_width, clip.max_height);
    result.title = TextOf(s.window);
    result.escape_reads = s.escape_reads;
    s.ReleaseFetchedFrames();
    result.fetched_frames_intact = s.fetched_intact;
    return result;
}

int32_t HostState::CallWindowCallback(HWND target, UINT message, WPARAM wparam, LPARAM lparam) {
    MakeCurrent();
    const uint32_t arguments[6] = {reinterpret_cast<uint32_t>(target), message, wparam,
                                   static_cast<uint32_t>(lparam), reinterpret_cast<uint32_t>(EditHandle()),
                                   reinterpret_cast<uint32_t>(registration)};
    const size_t slot = window_messages.size();
    window_messages.push_back({message, wparam, lparam, 0});
    in_setup_message = message == host::WINDOW_SETUP_MESSAGE;
    const int32_t result = morvith_standin_call_misaligned(
        reinterpret_cast<const void*>(registration->window_callback), arguments, 6);
    in_setup_message = false;
    window_messages[slot].result = result;
    if (result != 0 && render_on_window_result && editing && message != host::WINDOW_TEARDOWN_MESSAGE)
        renders.push_back(Render(current_frame));
    return result;
}

int32_t StandInHost::SendToWindowCallback(UINT message, WPARAM wparam, LPARAM lparam) {
    if (state_->registration->window_callback == nullptr)
        throw std::logic_error("stand-in host: no window callback");
    return state_->CallWindowCallback(state_->window, message, wparam, lparam);
}

const std::vector<WindowMessageRecord>& StandInHost::window_messages() const { return state_->window_messages; }
void StandInHost::SetRenderOnWindowResult(bool render) { state_->render_on_window_result = render; }
const std::vector<FrameResult>& StandInHost::renders() const { return state_->renders; }
const std::vector<TitleRecord>& StandInHost::titles() const { return state_->titles; }

const std::vector<ServiceCall>& StandInHost::MenuItems() const { return state_->menu_items; }

bool StandInHost::ChooseMenuItem(int32_t id) {
    for (const ServiceCall& item : MenuItems()) {
        if (item.id != id) continue;
        state_->MakeCurrent();
        SendMessageA(item.window, host::MENU_COMMAND_MESSAGE, static_cast<WPARAM>(id), 0);
        return true;
    }
    return false;
}

bool StandInHost::ChooseExport() {
    if ((state_->registration->feature_flags & host::FILTER_FLAG_EXPORT) == 0) return false;
    state_->MakeCurrent();
    SendMessageA(state_->window, host::EXPORT_MESSAGE, 0, 0);
    return true;
}

void StandInHost::ClearLog() {
    state_->calls.clear();
    state_->message_boxes.clear();
    state_->file_dialogs.clear();
    state_->window_messages.clear();
    state_->renders.clear();
    state_->titles.clear();
    state_->redraw_count = 0;
    state_->fetched_intact = true;
}

bool StandInHost::FetchedFramesIntact() const { return state_->fetched_intact; }

}  // namespace morvith::standin
