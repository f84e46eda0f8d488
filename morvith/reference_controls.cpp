#include "morvith.h"

#include <commdlg.h>

#include <cstring>

namespace morvith::comparator {
namespace {

using host::FilterRegistration;

HFONT control_font;
HWND browse_button;
HWND path_edit;
char reference_path[REFERENCE_TEXT_SIZE];
char reference_name[REFERENCE_TEXT_SIZE];

static_assert(sizeof(OPENFILENAMEA) == 88, "the dialog record of the platform's current form");
OPENFILENAMEA open_file_dialog;
// What the dialog writes, whether or not it succeeds: a name that does not fit comes back
// as FALSE with the size it needed in the first two bytes, which must never become the
// reference's path.
char dialog_path[REFERENCE_TEXT_SIZE];
char dialog_name[REFERENCE_TEXT_SIZE];

const char FILE_FILTER[] = "Bitmap(*.bmp)\0*.bmp\0All files(*.*)\0*.*\0";

bool IsControlOf(HWND parent, HWND control, int id) {
    return control != nullptr && IsWindow(control) && GetParent(control) == parent && GetDlgCtrlID(control) == id;
}

// The host sends the setup message once per window. Should it come again, the window keeps
// its one pair of controls and the module its one font, whether or not a teardown came
// in between.
void CreateReferenceControls(HWND parent, HINSTANCE instance) {
    if (control_font == nullptr) {
        control_font = CreateFontA(12, 0, 0, 0, FW_MEDIUM, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                                   OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, PROOF_QUALITY,
                                   FF_MODERN | DEFAULT_PITCH, "ＭＳ Ｐゴシック");
    }

    if (!IsControlOf(parent, browse_button, ID_BROWSE_BUTTON)) {
        browse_button = CreateWindowExA(
            0, "BUTTON", "参照...", WS_CHILD | WS_VISIBLE | BS_VCENTER, 230, 109, 50, 18, parent,
            reinterpret_cast<HMENU>(static_cast<UINT_PTR>(ID_BROWSE_BUTTON)), instance, nullptr);
    }
    SendMessageA(browse_button, WM_SETFONT, reinterpret_cast<WPARAM>(control_font), 0);

    if (!IsControlOf(parent, path_edit, ID_PATH_EDIT)) {
        path_edit = CreateWindowExA(
            WS_EX_CLIENTEDGE, "EDIT", "",
            WS_CHILD | WS_VISIBLE | ES_CENTER | ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL, 20,
            110, 200, 18, parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(ID_PATH_EDIT)),
            instance, nullptr);
        // A new box is empty, and so is the path it feeds: the module may have been kept in
        // memory from an earlier load.
        reference_path[0] = '\0';
        reference_name[0] = '\0';
    }
    SendMessageA(path_edit, WM_SETFONT, reinterpret_cast<WPARAM>(control_font), 0);
    SendMessageA(path_edit, EM_LIMITTEXT, REFERENCE_TEXT_SIZE, 0);
}

void BrowseForReference(FilterRegistration& registration, HWND owner) {
    std::memset(&open_file_dialog, 0, sizeof open_file_dialog);
    open_file_dialog.lStructSize = sizeof open_file_dialog;
    open_file_dialog.hwndOwner = owner;
    open_file_dialog.lpstrFilter = FILE_FILTER;
    std::memcpy(dialog_path, reference_path, sizeof dialog_path);
    dialog_name[0] = '\0';
    open_file_dialog.lpstrFile = dialog_path;
    open_file_dialog.nMaxFile = REFERENCE_TEXT_SIZE;
    open_file_dialog.lpstrFileTitle = dialog_name;
    open_file_dialog.nMaxFileTitle = REFERENCE_TEXT_SIZE;
    open_file_dialog.lpstrTitle = "ファイルを開く";
    open_file_dialog.Flags = OFN_FILEMUSTEXIST;
    open_file_dialog.lpstrDefExt = "bmp";

    if (GetOpenFileNameA(&open_file_dialog) != 0) {
        std::memcpy(reference_path, dialog_path, sizeof reference_path);
        std::memcpy(reference_name, dialog_name, sizeof reference_name);
        reference_path[REFERENCE_TEXT_SIZE - 1] = '\0';
        reference_name[REFERENCE_TEXT_SIZE - 1] = '\0';
        SetWindowTextA(path_edit, reference_path);
    }
    registration.services->RedrawFilterWindow(&registration);
}

int32_t HandleCommand(FilterRegistration& registration, HWND window, WPARAM wparam) {
    switch (LOWORD(wparam)) {
        case ID_BROWSE_BUTTON:
            BrowseForReference(registration, window);
            break;
        case ID_PATH_EDIT:
            if (HIWORD(wparam) == EN_UPDATE)
                GetWindowTextA(path_edit, reference_path, REFERENCE_TEXT_SIZE);
            break;
        default:
            return 0;
    }
    return registration.services->FilterIsEnabled(&registration);
}

}  // namespace

const char* ReferencePath() { return reference_path; }

int32_t HandleWindowMessage(HWND window, UINT message, WPARAM wparam, LPARAM, void*,
                            FilterRegistration* registration) noexcept {
    if (registration == nullptr) return 0;
    switch (message) {
        case host::WINDOW_SETUP_MESSAGE:
            CreateReferenceControls(window, registration->instance);
            return 1;
        case host::WINDOW_TEARDOWN_MESSAGE:
            DeleteObject(control_font);
            // A second teardown must not free a handle that may belong to someone else by then.
            control_font = nullptr;
            ReleaseVmafMemory();
            return 0;
        case WM_COMMAND:
            return HandleCommand(*registration, window, wparam);
        default:
            return 0;
    }
}

}  // namespace morvith::comparator
