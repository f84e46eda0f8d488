#include "plugin_support.h"

namespace morvith::host {

const char FRAME_ERROR_TEXT[] = "フレームが読み込めませんでした。";
const char ERROR_CAPTION[] = "エラー";
const char VMAF_MEMORY_TEXT[] = "VMAFの計算に必要なメモリを確保できませんでした。";

void SetTitle(const FilterRegistration& registration, const char* text) {
    SetWindowTextA(registration.window, text);
}

void ShowErrorBox(const char* text) {
    MessageBoxA(nullptr, text, ERROR_CAPTION, MB_OK | MB_ICONWARNING);
}

}  // namespace morvith::host
