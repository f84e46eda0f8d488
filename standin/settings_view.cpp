// The host's own part of the settings window, drawn for people rather than for tests:
// a labelled scroll bar and value for each slider and a check box for each checkbox,
// laid out above the plug-in's own controls, and a capture of the whole window as PNG.

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "standin_internal.h"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb_image_write.h>
#pragma GCC diagnostic pop

namespace morvith::standin {
namespace {

// Far from the plug-ins' own ids (40001, 40002).
constexpr int FIRST_HOST_CONTROL_ID = 1000;
constexpr int ROW_HEIGHT = 22;
constexpr int CHECKBOX_ROW_HEIGHT = 20;
constexpr int TOP_MARGIN = 6;
// The caption as a Japanese desktop draws it: a proportional font, about 9 points at
// 96 dpi, smoothed. At this size Wine's default caption font uses its embedded bitmaps,
// whose decimal point is a two-pixel stroke that reads as a comma.
constexpr int CAPTION_FONT_HEIGHT = -13;
constexpr char CAPTION_FONT_FACE[] = "IPAPGothic";

void PumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

HWND Child(HWND parent, const char* class_name, const std::string& text, DWORD style, int x, int y,
           int width, int height, int id, HFONT font) {
    HWND control = CreateWindowExA(0, class_name, text.c_str(), WS_CHILD | WS_VISIBLE | style, x, y, width,
                                   height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   GetModuleHandleA(nullptr), nullptr);
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
}

}  // namespace

int StandardClientHeight(const FilterRegistration& r) {
    return TOP_MARGIN + r.slider_count * ROW_HEIGHT + r.checkbox_count * CHECKBOX_ROW_HEIGHT + TOP_MARGIN;
}

void StandInHost::ShowHostControls() {
    const FilterRegistration& r = *state_->registration;
    const HWND window = state_->window;
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    RECT client;
    GetClientRect(window, &client);
    const int width = client.right - client.left;
    int id = FIRST_HOST_CONTROL_ID;
    int y = TOP_MARGIN;
    for (int i = 0; i < r.slider_count; ++i, y += ROW_HEIGHT) {
        Child(window, "STATIC", r.slider_names[i], SS_LEFT, 8, y + 2, 70, 16, id++, font);
        HWND bar = Child(window, "SCROLLBAR", "", SBS_HORZ, 80, y, width - 150, 17, id++, font);
        SetScrollRange(bar, SB_CTL, r.slider_minima[i], r.slider_maxima[i], FALSE);
        SetScrollPos(bar, SB_CTL, Slider(i), TRUE);
        Child(window, "STATIC", std::to_string(Slider(i)), SS_RIGHT, width - 64, y + 2, 56, 16, id++, font);
    }
    for (int i = 0; i < r.checkbox_count; ++i, y += CHECKBOX_ROW_HEIGHT) {
        HWND box = Child(window, "BUTTON", r.checkbox_names[i], BS_CHECKBOX, 8, y, width - 16, 18, id++, font);
        SendMessageA(box, BM_SETCHECK, Checkbox(i) != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
    }

    // For this session of the wine server only: nothing is written to the prefix.
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        metrics.lfCaptionFont.lfHeight = CAPTION_FONT_HEIGHT;
        lstrcpynA(metrics.lfCaptionFont.lfFaceName, CAPTION_FONT_FACE, LF_FACESIZE);
        metrics.lfCaptionFont.lfQuality = ANTIALIASED_QUALITY;
        SystemParametersInfoA(SPI_SETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    }

    // No close button: without Wine's symbol font its glyph shows as a stray letter.
    SetWindowLongA(window, GWL_STYLE, GetWindowLongA(window, GWL_STYLE) & ~WS_SYSMENU);
    SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);

    PumpMessages();
}

bool StandInHost::CaptureWindow(const std::string& png_path, int scale) {
    const HWND window = state_->window;
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    PumpMessages();

    RECT frame;
    GetWindowRect(window, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    if (width <= 0 || height <= 0) return false;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC window_dc = GetWindowDC(window);
    HDC memory_dc = CreateCompatibleDC(window_dc);
    HBITMAP bitmap = CreateDIBSection(window_dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool written = false;
    if (bitmap != nullptr) {
        HGDIOBJ previous = SelectObject(memory_dc, bitmap);
        BitBlt(memory_dc, 0, 0, width, height, window_dc, 0, 0, SRCCOPY);
        GdiFlush();
        RgbImage image{width, height, std::vector<Rgb>(static_cast<size_t>(width) * height)};
        const auto* bgra = static_cast<const unsigned char*>(bits);
        for (size_t i = 0; i < image.pixels.size(); ++i)
            image.pixels[i] = Rgb{bgra[4 * i + 2], bgra[4 * i + 1], bgra[4 * i + 0]};
        written = WritePng(png_path, image, scale);
        SelectObject(memory_dc, previous);
        DeleteObject(bitmap);
    }
    DeleteDC(memory_dc);
    ReleaseDC(window, window_dc);
    return written;
}

bool WritePng(const std::string& path, const RgbImage& image, int scale) {
    if (image.width < 1 || image.height < 1 || scale < 1 || scale > 8 ||
        image.pixels.size() != static_cast<size_t>(image.width) * image.height)
        return false;
    const int width = image.width * scale;
    const int height = image.height * scale;
    std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Rgb& pixel = image.pixels[static_cast<size_t>(y / scale) * image.width + x / scale];
            unsigned char* out = &rgb[(static_cast<size_t>(y) * width + x) * 3];
            out[0] = pixel.r;
            out[1] = pixel.g;
            out[2] = pixel.b;
        }
    return stbi_write_png(path.c_str(), width, height, 3, rgb.data(), width * 3) != 0;
}

}  // namespace morvith::standin
