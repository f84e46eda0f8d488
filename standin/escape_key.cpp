// The Esc key as the plug-in reads it. Synthesised input need not reach the key state
// under Wine's null display driver, so the host rewires the module's GetAsyncKeyState
// import to a function of its own that answers from the test's key holds. The window in
// front is the desktop's, which the test programs running beside this one change at any
// moment: the module's GetForegroundWindow answers the settings window, unless a test put
// another program's window in front (foreign_window.h).

#include <algorithm>
#include <cstring>

#include "import_table.h"
#include "standin_internal.h"

namespace morvith::standin {
namespace {

SHORT WINAPI ScriptedGetAsyncKeyState(int key) {
    HostState* host = HostState::current;
    return host == nullptr ? 0 : host->EscapeKeyState(key);
}

HWND WINAPI ScriptedGetForegroundWindow() {
    HostState* host = HostState::current;
    if (ForeignWindowIsInFront() || host == nullptr) return GetForegroundWindow();
    return host->window;
}

}  // namespace

void HostState::FindKeyStateImport() {
    key_state_slot = FindImportSlot(module, "user32.dll", "GetAsyncKeyState");
    if (key_state_slot == nullptr) return;
    // A module still loaded from an earlier host may hold the scripted function already.
    system_key_state = *key_state_slot != reinterpret_cast<void*>(ScriptedGetAsyncKeyState)
                           ? *key_state_slot
                           : reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetAsyncKeyState"));
    foreground_slot = FindImportSlot(module, "user32.dll", "GetForegroundWindow");
    RouteKeyStateImport(KeyStateSource::Scripted);
}

void HostState::RouteKeyStateImport(KeyStateSource source) {
    const bool scripted = source == KeyStateSource::Scripted;
    if (foreground_slot != nullptr) {
        WriteImportSlot(foreground_slot, scripted ? reinterpret_cast<void*>(ScriptedGetForegroundWindow)
                                                  : reinterpret_cast<void*>(GetForegroundWindow));
    }
    if (key_state_slot == nullptr) return;
    WriteImportSlot(key_state_slot, scripted ? reinterpret_cast<void*>(ScriptedGetAsyncKeyState) : system_key_state);
}

SHORT HostState::EscapeKeyState(int key) {
    if (key != VK_ESCAPE) return 0;
    const int32_t fetched = fetches_in_call;
    escape_reads.push_back(fetched);
    const bool down = std::any_of(escape_holds.begin(), escape_holds.end(), [&](const KeyHold& hold) {
        return hold.from_fetch <= fetched && fetched < hold.until_fetch;
    });
    return down ? static_cast<SHORT>(0x8000) : 0;
}

void StandInHost::ScriptEscapeKey(std::vector<KeyHold> holds) { state_->escape_holds = std::move(holds); }
void StandInHost::SetKeyStateSource(KeyStateSource source) { state_->key_state_source = source; }

}  // namespace morvith::standin
