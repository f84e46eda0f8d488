// Another program for the stand-in's tests: one window, brought to the front, until it is
// closed.

#include <windows.h>

namespace {

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

int main() {
    WNDCLASSA window_class{};
    window_class.lpfnWndProc = WindowProc;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.lpszClassName = "MorvithStandInForeignWindow";
    if (RegisterClassA(&window_class) == 0) return 1;
    const HWND window = CreateWindowExA(0, window_class.lpszClassName, "Another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                        40, 40, 320, 200, nullptr, nullptr, window_class.hInstance, nullptr);
    if (window == nullptr) return 1;
    SetForegroundWindow(window);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    return 0;
}
