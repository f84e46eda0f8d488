#include "foreign_window.h"

#include <stdexcept>
#include <string>

#include "standin_internal.h"

namespace morvith::standin {
namespace {

int foreign_windows = 0;

struct WindowSearch {
    DWORD process = 0;
    HWND found = nullptr;
};

BOOL CALLBACK TakeWindowOfProcess(HWND window, LPARAM search_address) {
    auto& search = *reinterpret_cast<WindowSearch*>(search_address);
    DWORD owner = 0;
    if (GetWindowThreadProcessId(window, &owner) == 0 || owner != search.process || !IsWindowVisible(window)) return TRUE;
    search.found = window;
    return FALSE;
}

}  // namespace

bool ForeignWindowIsInFront() { return foreign_windows > 0; }

ForeignWindowInFront::ForeignWindowInFront() : previous_(GetForegroundWindow()) {
    std::string command = "\"" MORVITH_FOREIGN_WINDOW_PROGRAM "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process_))
        throw std::runtime_error("stand-in host: cannot start " MORVITH_FOREIGN_WINDOW_PROGRAM " (error " +
                                 std::to_string(GetLastError()) + ")");
    // A Wine process takes seconds to start in the emulated guest.
    const DWORD started = GetTickCount();
    while (GetTickCount() - started < 30000) {
        const HWND front = GetForegroundWindow();
        DWORD owner = 0;
        if (front != nullptr && GetWindowThreadProcessId(front, &owner) != 0 && owner == process_.dwProcessId) {
            window_ = front;
            ++foreign_windows;
            return;
        }
        // Test programs running beside this one open windows of their own at any time.
        WindowSearch search{process_.dwProcessId};
        EnumWindows(TakeWindowOfProcess, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) SetForegroundWindow(search.found);
        if (WaitForSingleObject(process_.hProcess, 20) == WAIT_OBJECT_0) break;
    }
    Close();
    throw std::runtime_error("stand-in host: the foreign window never came to the front");
}

ForeignWindowInFront::~ForeignWindowInFront() {
    --foreign_windows;
    Close();
    if (previous_ != nullptr && IsWindow(previous_)) SetForegroundWindow(previous_);
}

void ForeignWindowInFront::Close() {
    if (process_.hProcess == nullptr) return;
    if (window_ != nullptr) PostMessageA(window_, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(process_.hProcess, 1);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
    process_ = {};
}

}  // namespace morvith::standin
