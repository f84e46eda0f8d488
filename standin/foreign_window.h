#pragma once

// Another program's window in front of the desktop, for a test of what a plug-in does while
// the user works elsewhere: the stand-in starts a small program of its own
// (foreign_window_main.cpp) that opens a window and brings it to the front.

#include <windows.h>

namespace morvith::standin {

class ForeignWindowInFront {
public:
    // Returns once GetForegroundWindow reports the program's window; throws
    // std::runtime_error if the program cannot be started or its window never comes to the
    // front within 30 s.
    ForeignWindowInFront();
    // Closes the program and gives the foreground back to the window that had it.
    ~ForeignWindowInFront();
    ForeignWindowInFront(const ForeignWindowInFront&) = delete;
    ForeignWindowInFront& operator=(const ForeignWindowInFront&) = delete;

    HWND window() const { return window_; }

private:
    void Close();

    PROCESS_INFORMATION process_{};
    HWND window_ = nullptr;
    HWND previous_ = nullptr;
};

}  // namespace morvith::standin
