#pragma once

// Every hole of `smallest` (256 KB) or more in the process's address space, reserved until
// released: what a plug-in meets in an editor that has used its memory up.

#include <windows.h>

#include <vector>

namespace morvith::testing {

inline DWORD WINAPI DoNothing(void*) { return 0; }

class AddressSpaceHog {
public:
    explicit AddressSpaceHog(SIZE_T smallest = SIZE_T{256} << 10) : smallest_(smallest) {
        blocks_.reserve(1 << 14);  // 2 GB / 256 KB: no allocation while hostile
    }
    ~AddressSpaceHog() { Release(); }

    void Reserve() {
        for (SIZE_T size = SIZE_T{64} << 20; size >= smallest_; size /= 2) {
            while (blocks_.size() < blocks_.capacity()) {
                void* block = VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS);
                if (block == nullptr) break;
                blocks_.push_back(block);
            }
        }
        // What the system then says to a thread with the smallest stack it allows.
        const HANDLE thread =
            CreateThread(nullptr, 64 << 10, DoNothing, nullptr, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
        thread_refused = thread == nullptr;
        if (thread != nullptr) WaitForSingleObject(thread, INFINITE), CloseHandle(thread);
    }

    void Release() {
        for (void* block : blocks_) VirtualFree(block, 0, MEM_RELEASE);
        blocks_.clear();
    }

    bool thread_refused = false;

private:
    SIZE_T smallest_;
    std::vector<void*> blocks_;
};

}  // namespace morvith::testing
