// The services of the host's service table. The plug-in calls them (cdecl, from its
// realigned stack); each answers from the current host and logs the call with its answer.

#include <algorithm>

#include "standin_internal.h"

namespace morvith::standin {
namespace {

// Without a current host there is no one to answer: the service returns 0 (null).
template <typename Result, typename Answer>
Result Serve(ServiceCall call, Answer answer) {
    HostState* host = HostState::current;
    if (host == nullptr) return Result{};
    host->SpoilFetchedFrames();
    const Result result = answer(*host, call);
    call.sequence = host->NextSequence();
    const Service service = call.service;
    host->calls.push_back(std::move(call));
    if (host->hooks.after_service) host->hooks.after_service(service);
    return result;
}

ServiceCall CallOf(Service service, FilterRegistration* registration = nullptr, void* edit_handle = nullptr) {
    ServiceCall call;
    call.service = service;
    call.registration = registration;
    call.edit_handle = edit_handle;
    return call;
}

MORVITH_HOST_CALLBACK int32_t IsSavingOutput(void* edit_handle) {
    return Serve<int32_t>(CallOf(Service::IsSavingOutput, nullptr, edit_handle), [](HostState& host, ServiceCall& call) {
        return call.result = host.saving_output ? 1 : 0;
    });
}

MORVITH_HOST_CALLBACK int32_t IsEditing(void* edit_handle) {
    return Serve<int32_t>(CallOf(Service::IsEditing, nullptr, edit_handle), [](HostState& host, ServiceCall& call) {
        return call.result = host.editing ? 1 : 0;
    });
}

MORVITH_HOST_CALLBACK int32_t CurrentFrame(void* edit_handle) {
    return Serve<int32_t>(CallOf(Service::CurrentFrame, nullptr, edit_handle), [](HostState& host, ServiceCall& call) {
        return call.result = host.editing ? host.current_frame : 0;
    });
}

MORVITH_HOST_CALLBACK int32_t FrameCount(void* edit_handle) {
    return Serve<int32_t>(CallOf(Service::FrameCount, nullptr, edit_handle), [](HostState& host, ServiceCall& call) {
        return call.result = host.editing ? host.clip.frame_count() : 0;
    });
}

// The host keeps the frame within the edit; with no file open there is nothing to show.
MORVITH_HOST_CALLBACK int32_t MoveToFrame(void* edit_handle, int32_t frame) {
    ServiceCall call = CallOf(Service::MoveToFrame, nullptr, edit_handle);
    call.frame = frame;
    return Serve<int32_t>(std::move(call), [frame](HostState& host, ServiceCall& logged) {
        if (!host.editing) return logged.result = 0;
        host.current_frame = std::clamp(frame, 0, std::max(host.clip.frame_count() - 1, 0));
        return logged.result = host.current_frame;
    });
}

MORVITH_HOST_CALLBACK int32_t AddMenuItem(FilterRegistration* registration, const char* name, HWND window,
                                          int32_t id, int32_t key, int32_t key_flags) {
    ServiceCall call = CallOf(Service::AddMenuItem, registration);
    if (name != nullptr) call.name = name;
    call.window = window;
    call.id = id;
    call.key = key;
    call.key_flags = key_flags;
    return Serve<int32_t>(std::move(call), [](HostState& host, ServiceCall& logged) {
        // Only while the setup message is handled, as the host's menu is built then.
        logged.result = host.in_setup_message && !logged.name.empty() ? 1 : 0;
        if (logged.result != 0) host.menu_items.push_back(logged);
        return logged.result;
    });
}

MORVITH_HOST_CALLBACK int32_t RedrawFilterWindow(FilterRegistration* registration) {
    return Serve<int32_t>(CallOf(Service::RedrawFilterWindow, registration), [](HostState& host, ServiceCall& call) {
        ++host.redraw_count;
        return call.result = 1;
    });
}

MORVITH_HOST_CALLBACK int32_t FilterIsEnabled(FilterRegistration* registration) {
    return Serve<int32_t>(CallOf(Service::FilterIsEnabled, registration), [](HostState& host, ServiceCall& call) {
        return call.result = host.filter_is_enabled_result;
    });
}

MORVITH_HOST_CALLBACK int32_t ReserveFrameCache(FilterRegistration* registration, int32_t max_width,
                                                int32_t height, int32_t frame_count, int32_t flags) {
    ServiceCall call = CallOf(Service::ReserveFrameCache, registration);
    call.max_width = max_width;
    call.height = height;
    call.frame_count = frame_count;
    call.flags = flags;
    return Serve<int32_t>(std::move(call), [](HostState&, ServiceCall& logged) { return logged.result = 1; });
}

MORVITH_HOST_CALLBACK PixelYC* FetchFilteredFrame(FilterRegistration* registration, void* edit_handle,
                                                  int32_t frame, int32_t* width, int32_t* height) {
    ServiceCall call = CallOf(Service::FetchFilteredFrame, registration, edit_handle);
    call.frame = frame;
    call.width_out = width;
    call.height_out = height;
    return Serve<PixelYC*>(std::move(call), [&](HostState& host, ServiceCall& logged) {
        logged.picture = host.Fetch(frame, width, height);
        logged.result = logged.picture != nullptr ? 1 : 0;
        return logged.picture;
    });
}

MORVITH_HOST_CALLBACK int32_t LoadImageFile(PixelYC* destination, const char* file_name, int32_t* width,
                                            int32_t* height, int32_t flags) {
    ServiceCall call = CallOf(Service::LoadImageFile);
    call.destination = destination;
    call.file_name_null = file_name == nullptr;
    if (file_name != nullptr) call.file_name = file_name;
    call.width_out = width;
    call.height_out = height;
    call.flags = flags;
    return Serve<int32_t>(std::move(call), [&](HostState& host, ServiceCall& logged) {
        return logged.result = host.LoadImage(destination, file_name, width, height);
    });
}

}  // namespace

host::HostServices ServiceTable() {
    return {.unused_0 = {}, .IsEditing = IsEditing, .IsSavingOutput = IsSavingOutput,
            .CurrentFrame = CurrentFrame, .FrameCount = FrameCount, .unused_32 = {}, .MoveToFrame = MoveToFrame,
            .unused_40 = {}, .RedrawFilterWindow = RedrawFilterWindow, .unused_88 = {}, .FilterIsEnabled = FilterIsEnabled,
            .unused_104 = {}, .ReserveFrameCache = ReserveFrameCache, .unused_180 = {},
            .FetchFilteredFrame = FetchFilteredFrame, .unused_204 = {}, .LoadImageFile = LoadImageFile,
            .unused_220 = {}, .AddMenuItem = AddMenuItem, .unused_276 = {}};
}

const char* ServiceName(Service service) {
    switch (service) {
        case Service::IsEditing: return "IsEditing";
        case Service::IsSavingOutput: return "IsSavingOutput";
        case Service::CurrentFrame: return "CurrentFrame";
        case Service::FrameCount: return "FrameCount";
        case Service::MoveToFrame: return "MoveToFrame";
        case Service::AddMenuItem: return "AddMenuItem";
        case Service::RedrawFilterWindow: return "RedrawFilterWindow";
        case Service::FilterIsEnabled: return "FilterIsEnabled";
        case Service::ReserveFrameCache: return "ReserveFrameCache";
        case Service::FetchFilteredFrame: return "FetchFilteredFrame";
        case Service::LoadImageFile: return "LoadImageFile";
    }
    return "?";
}

void StandInHost::SetCallHooks(CallHooks hooks) { state_->hooks = std::move(hooks); }
void StandInHost::SetSavingOutput(bool saving) { state_->saving_output = saving; }
void StandInHost::SetEditing(bool editing) { state_->editing = editing; }
int32_t StandInHost::CurrentFrame() const { return state_->current_frame; }
void StandInHost::SetFilterIsEnabledResult(int32_t result) { state_->filter_is_enabled_result = result; }
int StandInHost::redraw_count() const { return state_->redraw_count; }
const std::vector<ServiceCall>& StandInHost::calls() const { return state_->calls; }

std::vector<ServiceCall> StandInHost::CallsOf(Service service) const {
    std::vector<ServiceCall> selected;
    for (const ServiceCall& call : state_->calls)
        if (call.service == service) selected.push_back(call);
    return selected;
}

}  // namespace morvith::standin
