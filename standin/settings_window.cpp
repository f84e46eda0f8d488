// The settings window the host makes for the plug-in, and its child controls as a test
// finds, types into and presses them. WM_COMMAND and the host's menu commands go on to the
// plug-in's window callback; every title text is recorded.

#include <stdexcept>

#include "standin_internal.h"

namespace morvith::standin {
namespace {

constexpr char WINDOW_CLASS[] = "MorvithStandInSettings";
constexpr int STANDARD_CLIENT_WIDTH = 310;
constexpr DWORD WINDOW_STYLE = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_VISIBLE;

// A size word as the host reads it: the whole window's size, or with the added bits the
// number of pixels added to the standard client size; the standard size without
// FILTER_FLAG_HAS_WINDOW or for 0.
SIZE SettingsWindowSize(const FilterRegistration& r) {
    SIZE client{STANDARD_CLIENT_WIDTH, StandardClientHeight(r)};
    const bool sized = (r.feature_flags & host::FILTER_FLAG_HAS_WINDOW) != 0;
    const auto added = [](int32_t word) {
        return (word & host::WINDOW_SIZE_ADDED) == host::WINDOW_SIZE_ADDED ? word & ~host::WINDOW_SIZE_ADDED : -1;
    };
    if (sized && r.window_width != 0 && added(r.window_width) < 0 && added(r.window_height) < 0)
        return {r.window_width, r.window_height};
    if (sized && added(r.window_width) > 0) client.cx += added(r.window_width);
    if (sized && added(r.window_height) > 0) client.cy += added(r.window_height);
    RECT frame{0, 0, client.cx, client.cy};
    AdjustWindowRectEx(&frame, WINDOW_STYLE, FALSE, 0);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

LRESULT CALLBACK SettingsWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lparam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* host = reinterpret_cast<HostState*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (host == nullptr) return DefWindowProcA(window, message, wparam, lparam);
    if (message == WM_SETTEXT && lparam != 0) {
        host->titles.push_back({reinterpret_cast<const char*>(lparam), host->calls.size(), GetTickCount()});
    }
    const bool forwarded = message == WM_COMMAND || message == host::EXPORT_MESSAGE ||
                           message == host::MENU_COMMAND_MESSAGE;
    if (forwarded && host->registration->window_callback != nullptr) {
        return host->CallWindowCallback(window, message, wparam, lparam);
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

HWND CreateSettingsWindow(HostState& host) {
    RegisterWindowClassOnce();
    const FilterRegistration& r = *host.registration;
    const SIZE size = SettingsWindowSize(r);
    const HWND window = CreateWindowExA(0, WINDOW_CLASS, r.display_name != nullptr ? r.display_name : "",
                                        WINDOW_STYLE, CW_USEDEFAULT, CW_USEDEFAULT, size.cx, size.cy, nullptr,
                                        nullptr, GetModuleHandleA(nullptr), &host);
    if (window == nullptr)
        throw std::runtime_error("stand-in host: cannot create the settings window (is the null display "
                                 "driver set up?)");
    return window;
}

std::string TextOf(HWND window) {
    if (window == nullptr) return {};
    const int length = GetWindowTextLengthA(window);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    text.resize(GetWindowTextA(window, text.data(), length + 1));
    return text;
}

std::string StandInHost::WindowTitle() const { return TextOf(state_->window); }

std::optional<ControlInfo> StandInHost::FindControl(int id) const {
    const HWND window = state_->window;
    const HWND control = GetDlgItem(window, id);
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
    MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&rect), 2);
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
    for (HWND child = GetWindow(state_->window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
        if (auto info = FindControl(GetDlgCtrlID(child))) controls.push_back(*info);
    return controls;
}

void StandInHost::TypeIntoControl(int id, std::string_view text, TypingMode mode, bool replace_existing) {
    const HWND control = GetDlgItem(state_->window, id);
    if (control == nullptr) throw std::invalid_argument("stand-in host: no control " + std::to_string(id));
    state_->MakeCurrent();
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

void StandInHost::ClickControl(int id, int x, int y) {
    const HWND control = GetDlgItem(state_->window, id);
    if (control == nullptr) throw std::invalid_argument("stand-in host: no control " + std::to_string(id));
    state_->MakeCurrent();
    // The user clicks on what the control shows: its paint comes first. The click is posted,
    // as the system queues one, with the time it was made.
    UpdateWindow(control);
    PostMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    PostMessageA(control, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void StandInHost::PressButton(int id) {
    state_->MakeCurrent();
    const HWND window = state_->window;
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
}

}  // namespace morvith::standin
