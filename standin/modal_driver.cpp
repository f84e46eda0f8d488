// Answers the plug-in's modal windows in place of a user: a WH_CBT hook sees every
// dialog (#32770) that is activated on this thread, reads message boxes and answers them
// at once, and drives open-file and save dialogs from a timer once they are up.

#include <windows.h>
#include <commdlg.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "import_table.h"
#include "standin_internal.h"

namespace morvith::standin {
namespace {

// Marks a dialog already handled: Wine activates some windows twice.
constexpr char HANDLED_PROPERTY[] = "MorvithStandInHandled";
constexpr int MESSAGE_TEXT_ID = 0xFFFF;
constexpr int MESSAGE_ICON_ID = 0x440;
constexpr int FILE_NAME_COMBO_ID = 0x47C;  // cmb13: ComboBoxEx32 > ComboBox > Edit
constexpr int FILE_NAME_EDIT_ID = 0x480;   // edt1, in dialogs without the combo box
constexpr int FILE_TYPE_LIST_ID = 0x470;   // cmb1
constexpr UINT_PTR DIALOG_TIMER_ID = 0x4D56;
constexpr UINT DIALOG_TIMER_MS = 10;
// A dialog still open this many ticks after Open was pressed refused the name.
constexpr int OPEN_TIMEOUT_TICKS = 100;

HHOOK hook = nullptr;
int hook_users = 0;
bool save_dialog_called = false;  // the dialog coming up is GetSaveFileNameA's

struct DialogState {
    HWND dialog = nullptr;
    HostState* host = nullptr;
    size_t record = 0;
    bool typed = false;
    int ticks_since_open = 0;
};
std::vector<DialogState> dialogs;

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

HWND FileNameEdit(HWND dialog) {
    if (HWND edit = GetDlgItem(dialog, FILE_NAME_EDIT_ID); edit != nullptr) return edit;
    HWND box = GetDlgItem(dialog, FILE_NAME_COMBO_ID);
    // Down the chain of controls to the innermost Edit.
    for (int depth = 0; box != nullptr && depth < 3; ++depth) {
        if (_stricmp(ClassOf(box).c_str(), "Edit") == 0) return box;
        HWND inner = FindWindowExA(box, nullptr, "ComboBox", nullptr);
        if (inner == nullptr) inner = FindWindowExA(box, nullptr, "Edit", nullptr);
        box = inner;
    }
    return nullptr;
}

bool IsFileDialog(HWND dialog) {
    return GetDlgItem(dialog, FILE_NAME_COMBO_ID) != nullptr || GetDlgItem(dialog, FILE_NAME_EDIT_ID) != nullptr;
}

DialogState* StateOf(HWND dialog) {
    for (DialogState& state : dialogs)
        if (state.dialog == dialog) return &state;
    return nullptr;
}

void Press(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

BoxIcon IconOf(HWND box) {
    const auto icon = reinterpret_cast<HICON>(SendDlgItemMessageA(box, MESSAGE_ICON_ID, STM_GETICON, 0, 0));
    if (icon == nullptr) return BoxIcon::None;
    const auto system_icon = [](LPCSTR id) { return LoadIconA(nullptr, id); };
    if (icon == system_icon(reinterpret_cast<LPCSTR>(IDI_WARNING))) return BoxIcon::Warning;
    if (icon == system_icon(reinterpret_cast<LPCSTR>(IDI_INFORMATION))) return BoxIcon::Information;
    if (icon == system_icon(reinterpret_cast<LPCSTR>(IDI_ERROR))) return BoxIcon::Error;
    if (icon == system_icon(reinterpret_cast<LPCSTR>(IDI_QUESTION))) return BoxIcon::Question;
    return BoxIcon::None;
}

void AnswerMessageBox(HWND box) {
    MessageBoxRecord record;
    record.owner = GetWindow(box, GW_OWNER);
    record.caption = TextOf(box);
    record.text = TextOf(GetDlgItem(box, MESSAGE_TEXT_ID));
    record.icon = IconOf(box);
    // Wine's box holds every button and hides those that the style does not ask for.
    for (const int id : {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO, IDTRYAGAIN, IDCONTINUE}) {
        const HWND button = GetDlgItem(box, id);
        if (button != nullptr && (GetWindowLongA(button, GWL_STYLE) & WS_VISIBLE) != 0) record.buttons.push_back(id);
    }
    DialogState* file_dialog = StateOf(record.owner);
    record.inside_file_dialog = file_dialog != nullptr;

    HostState* host = file_dialog != nullptr ? file_dialog->host : HostState::current;
    int answer = 0;
    if (host != nullptr && !host->box_answers.empty()) {
        answer = host->box_answers.front();
        host->box_answers.pop_front();
    } else if (record.buttons.empty() ||
               std::find(record.buttons.begin(), record.buttons.end(), IDOK) != record.buttons.end()) {
        answer = IDOK;
    } else {
        answer = record.buttons.front();
    }
    record.answer = answer;
    if (host != nullptr) {
        record.sequence = host->NextSequence();
        host->message_boxes.push_back(std::move(record));
        auto& records = host->file_dialogs;
        // Yes to an overwrite prompt lets the dialog close with the name; any other box
        // leaves it open, the name refused.
        if (file_dialog != nullptr && file_dialog->record < records.size() && answer != IDYES)
            records[file_dialog->record].refused = true;
        if (host->hooks.at_message_box) host->hooks.at_message_box();
    }
    Press(box, answer);
}

std::vector<std::string> FileTypesOf(HWND dialog) {
    std::vector<std::string> types;
    const HWND list = GetDlgItem(dialog, FILE_TYPE_LIST_ID);
    if (list == nullptr) return types;
    const int count = static_cast<int>(SendMessageA(list, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        const int length = static_cast<int>(SendMessageA(list, CB_GETLBTEXTLEN, i, 0));
        if (length < 0) continue;
        std::string text(static_cast<size_t>(length) + 1, '\0');
        SendMessageA(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        text.resize(std::strlen(text.c_str()));
        types.push_back(std::move(text));
    }
    return types;
}

void CALLBACK DriveFileDialog(HWND dialog, UINT, UINT_PTR, DWORD) {
    DialogState* state = StateOf(dialog);
    if (state == nullptr) {
        KillTimer(dialog, DIALOG_TIMER_ID);
        return;
    }
    auto& records = state->host->file_dialogs;
    if (state->record >= records.size()) {  // the log was cleared meanwhile
        KillTimer(dialog, DIALOG_TIMER_ID);
        Press(dialog, IDCANCEL);
        return;
    }
    FileDialogRecord& record = records[state->record];
    if (!state->typed) {
        const HWND edit = FileNameEdit(dialog);
        record.initial_file_name = TextOf(edit);
        record.file_types = FileTypesOf(dialog);
        if (record.answer.cancel || edit == nullptr) {
            KillTimer(dialog, DIALOG_TIMER_ID);
            Press(dialog, IDCANCEL);
            return;
        }
        SetWindowTextA(edit, record.answer.path.c_str());
        Press(dialog, IDOK);
        state->typed = true;
        return;
    }
    // Open was pressed and the dialog is still there: it raised a box (already answered)
    // or went somewhere else with the name. Either way the name was refused.
    if (record.refused || ++state->ticks_since_open >= OPEN_TIMEOUT_TICKS) {
        record.refused = true;
        KillTimer(dialog, DIALOG_TIMER_ID);
        Press(dialog, IDCANCEL);
    }
}

void StartFileDialog(HWND dialog) {
    HostState* host = HostState::current;
    if (host == nullptr) {
        Press(dialog, IDCANCEL);
        return;
    }
    // States of dialogs that are gone; their handles may come back for new windows.
    dialogs.erase(std::remove_if(dialogs.begin(), dialogs.end(), [](const DialogState& s) { return !IsWindow(s.dialog); }),
                  dialogs.end());
    FileDialogRecord record;
    record.sequence = host->NextSequence();
    record.save = save_dialog_called;
    record.owner = GetWindow(dialog, GW_OWNER);
    record.title = TextOf(dialog);
    auto& answers = host->dialog_answers;
    record.answer_was_queued = !answers.empty();
    if (record.answer_was_queued) {
        record.answer = std::move(answers.front());
        answers.pop_front();
    }
    auto& records = host->file_dialogs;
    records.push_back(std::move(record));
    dialogs.push_back({dialog, host, records.size() - 1, false, 0});
    SetTimer(dialog, DIALOG_TIMER_ID, DIALOG_TIMER_MS, DriveFileDialog);
}

LRESULT CALLBACK WatchActivations(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HCBT_ACTIVATE) {
        const auto window = reinterpret_cast<HWND>(wparam);
        if (ClassOf(window) == "#32770" && GetPropA(window, HANDLED_PROPERTY) == nullptr) {
            SetPropA(window, HANDLED_PROPERTY, reinterpret_cast<HANDLE>(1));
            if (IsFileDialog(window))
                StartFileDialog(window);
            else
                AnswerMessageBox(window);
        }
    } else if (code == HCBT_DESTROYWND) {
        RemovePropA(reinterpret_cast<HWND>(wparam), HANDLED_PROPERTY);
    }
    return CallNextHookEx(hook, code, wparam, lparam);
}

// The module's GetOpenFileNameA and GetSaveFileNameA: the system's dialog, driven as
// above, unless the test queued an answer that no dialog gives.
template <BOOL(WINAPI* SYSTEM_DIALOG)(OPENFILENAMEA*), bool SAVE>
BOOL WINAPI AnsweredFileDialog(OPENFILENAMEA* dialog) {
    HostState* host = HostState::current;
    const bool scripted = host != nullptr && !host->dialog_answers.empty() &&
                          (host->dialog_answers.front().needed_size != 0 || host->dialog_answers.front().without_dialog);
    if (host != nullptr) host->dialog_error_scripted = scripted;
    if (!scripted) {
        save_dialog_called = SAVE;
        const BOOL chosen = SYSTEM_DIALOG(dialog);
        save_dialog_called = false;
        return chosen;
    }
    FileDialogRecord record;
    record.sequence = host->NextSequence();
    record.save = SAVE;
    record.owner = dialog->hwndOwner;
    if (dialog->lpstrTitle != nullptr) record.title = dialog->lpstrTitle;
    record.answer_was_queued = true;
    record.answer = std::move(host->dialog_answers.front());
    host->dialog_answers.pop_front();
    BOOL chosen = FALSE;
    host->scripted_dialog_error = record.answer.needed_size != 0 ? FNERR_BUFFERTOOSMALL : 0;
    if (record.answer.without_dialog) {
        const std::string& path = record.answer.path;
        chosen = dialog->lpstrFile != nullptr && path.size() < dialog->nMaxFile;
        if (chosen) std::memcpy(dialog->lpstrFile, path.c_str(), path.size() + 1);
    } else if (dialog->lpstrFile != nullptr && dialog->nMaxFile >= 2) {
        std::memcpy(dialog->lpstrFile, &record.answer.needed_size, 2);
    }
    host->file_dialogs.push_back(std::move(record));
    return chosen;
}

// The module's CommDlgExtendedError: the error of the scripted answer that the last dialog
// call gave, else the system's.
DWORD WINAPI AnsweredDialogError() {
    HostState* host = HostState::current;
    if (host != nullptr && host->dialog_error_scripted) return host->scripted_dialog_error;
    return CommDlgExtendedError();
}

}  // namespace

void AcquireModalHook() {
    if (hook_users++ == 0) hook = SetWindowsHookExA(WH_CBT, WatchActivations, nullptr, GetCurrentThreadId());
}

void ReleaseModalHook() {
    if (--hook_users == 0 && hook != nullptr) {
        UnhookWindowsHookEx(hook);
        hook = nullptr;
        dialogs.clear();
    }
}

void StandInHost::QueueMessageBoxAnswer(int button_id) { state_->box_answers.push_back(button_id); }
void HostState::RouteFileDialogImport() {
    if (void** slot = FindImportSlot(module, "comdlg32.dll", "GetOpenFileNameA"))
        WriteImportSlot(slot, reinterpret_cast<void*>(AnsweredFileDialog<GetOpenFileNameA, false>));
    if (void** slot = FindImportSlot(module, "comdlg32.dll", "GetSaveFileNameA"))
        WriteImportSlot(slot, reinterpret_cast<void*>(AnsweredFileDialog<GetSaveFileNameA, true>));
    if (void** slot = FindImportSlot(module, "comdlg32.dll", "CommDlgExtendedError"))
        WriteImportSlot(slot, reinterpret_cast<void*>(AnsweredDialogError));
}

void StandInHost::QueueFileDialogAnswer(FileDialogAnswer answer) { state_->dialog_answers.push_back(std::move(answer)); }
const std::vector<MessageBoxRecord>& StandInHost::message_boxes() const { return state_->message_boxes; }
const std::vector<FileDialogRecord>& StandInHost::file_dialogs() const { return state_->file_dialogs; }

}  // namespace morvith::standin
