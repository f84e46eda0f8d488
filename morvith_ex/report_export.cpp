// File > Export: the last report as CSV, written beside the chosen name and moved into
// place, so that a failure leaves neither half a file under that name nor harm to a file
// that was to be replaced.

#include <windows.h>
#include <commdlg.h>

#include <cstdio>
#include <cstring>

#include "range_report.h"
#include "report_commands.h"

namespace morvith::ex {
namespace {

constexpr char EXPORT_DIALOG_TITLE[] = "測定結果をCSVに書き出す";
constexpr char CSV_FILTER[] = "CSV (*.csv)\0*.csv\0すべてのファイル (*.*)\0*.*\0";
constexpr char EXPORT_FAILED_TEXT[] = "CSVファイルを書き出せませんでした。";
constexpr char NO_TEMPORARY_FILE_TEXT[] = "同じフォルダに一時ファイルを作れません。";
constexpr char NOT_WRITTEN_TEXT[] = "書き込みに失敗しました。";
constexpr char NOT_REPLACED_TEXT[] = "ファイルを置き換えられません。";
constexpr char NOT_CHOSEN_TEXT[] = "保存先のファイル名を受け取れませんでした。";

// Buffers of the module's own: the dialog writes only into these.
OPENFILENAMEA save_dialog;
char dialog_path[MAX_PATH];

enum class Choice { Chosen, Cancelled, Failed };

Choice AskForFileName(HWND owner, const RangeReport& report) {
    std::snprintf(dialog_path, sizeof dialog_path, "morvith_ex_%ld-%ld.csv",
                  static_cast<long>(report.settings.range_start),
                  static_cast<long>(report.settings.range_end));
    std::memset(&save_dialog, 0, sizeof save_dialog);
    save_dialog.lStructSize = sizeof save_dialog;
    save_dialog.hwndOwner = owner;
    save_dialog.lpstrFilter = CSV_FILTER;
    save_dialog.lpstrFile = dialog_path;
    save_dialog.nMaxFile = sizeof dialog_path;
    save_dialog.lpstrTitle = EXPORT_DIALOG_TITLE;
    save_dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    save_dialog.lpstrDefExt = "csv";
    if (GetSaveFileNameA(&save_dialog) != 0) return Choice::Chosen;
    // A name too long for the buffer, among others, ends the dialog as Cancel does.
    return CommDlgExtendedError() == 0 ? Choice::Cancelled : Choice::Failed;
}

// Rows gathered into one buffer and written a buffer at a time.
class CsvWriter {
public:
    explicit CsvWriter(HANDLE file) : file_(file) {}

    bool Put(std::string_view text) {
        if (used_ + text.size() > sizeof buffer_ && !Flush()) return false;
        std::memcpy(buffer_ + used_, text.data(), text.size());
        used_ += text.size();
        return true;
    }

    bool Flush() {
        DWORD written = 0;
        const bool ok = used_ == 0 || (WriteFile(file_, buffer_, static_cast<DWORD>(used_), &written,
                                                 nullptr) != 0 &&
                                       written == used_);
        used_ = 0;
        return ok;
    }

private:
    HANDLE file_;
    char buffer_[8192];
    size_t used_ = 0;
};

bool WriteRows(HANDLE file, const RangeReport& report) {
    CsvWriter writer(file);
    const ReportFrames frames = report.Frames();
    if (!writer.Put(frames.stride == VMAF_VALUES ? VMAF_CSV_HEADER : CSV_HEADER)) return false;
    for (int32_t i = 0; i < report.frame_count; ++i) {
        if (!writer.Put(ComposeCsvRow(report.settings.range_start + i, frames, i))) {
            return false;
        }
    }
    return writer.Flush() && FlushFileBuffers(file) != 0;
}

// The length of the folder part of a path, up to its last separator. A trail byte of
// code page 932 may be '\\': it ends no folder.
size_t FolderLength(const char* path) {
    size_t length = 0;
    for (size_t i = 0; path[i] != '\0'; ++i) {
        if (IsDBCSLeadByte(static_cast<BYTE>(path[i])) && path[i + 1] != '\0') {
            ++i;
        } else if (path[i] == '\\' || path[i] == '/' || path[i] == ':') {
            length = i + 1;
        }
    }
    return length;
}

// A new empty file beside the target, open for writing, its name in `temporary`; null when
// none could be made.
HANDLE CreateTemporaryFile(const char* target, char (&temporary)[MAX_PATH]) {
    // GetTempFileNameA takes folders of up to MAX_PATH - 14 characters.
    constexpr size_t TEMP_FILE_FOLDER_MAX = MAX_PATH - 14;
    const size_t folder_length = FolderLength(target);
    if (folder_length <= TEMP_FILE_FOLDER_MAX) {
        char folder[MAX_PATH];
        if (folder_length == 0) {
            std::snprintf(folder, sizeof folder, ".");
        } else {
            std::memcpy(folder, target, folder_length);
            folder[folder_length] = '\0';
        }
        if (GetTempFileNameA(folder, "mvx", 0, temporary) == 0) return nullptr;
        return CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    }
    // A deeper folder: the target's own name with a suffix, a name no other file holds.
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (std::snprintf(temporary, sizeof temporary, "%s~%d", target, attempt) >= static_cast<int>(sizeof temporary)) {
            break;
        }
        const HANDLE file = CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                        nullptr);
        if (file != INVALID_HANDLE_VALUE) return file;
        if (GetLastError() != ERROR_FILE_EXISTS) break;
    }
    return nullptr;
}

// The reason, or null once the file is in place.
const char* WriteCsvFile(const char* target, const RangeReport& report) {
    char temporary[MAX_PATH] = "";
    const HANDLE file = CreateTemporaryFile(target, temporary);
    if (file == nullptr) return NO_TEMPORARY_FILE_TEXT;
    const char* failure = nullptr;
    if (file == INVALID_HANDLE_VALUE) {
        failure = NOT_WRITTEN_TEXT;
    } else {
        if (!WriteRows(file, report)) failure = NOT_WRITTEN_TEXT;
        if (CloseHandle(file) == 0 && failure == nullptr) failure = NOT_WRITTEN_TEXT;
    }
    if (failure == nullptr &&
        MoveFileExA(temporary, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        failure = NOT_REPLACED_TEXT;
    }
    if (failure != nullptr) DeleteFileA(temporary);
    return failure;
}

}  // namespace

void ExportReport(HWND owner) {
    const RangeReport* report = LastReport();
    if (report == nullptr || !report->HasFrames()) {
        MessageBoxA(nullptr, NOTHING_TO_EXPORT_TEXT, DISPLAY_NAME, MB_OK | MB_ICONINFORMATION);
        return;
    }
    const Choice choice = AskForFileName(owner, *report);
    if (choice == Choice::Cancelled) return;
    char text[MAX_PATH + 160];
    if (choice == Choice::Failed) {
        std::snprintf(text, sizeof text, "%s\n%s", EXPORT_FAILED_TEXT, NOT_CHOSEN_TEXT);
    } else if (const char* failure = WriteCsvFile(dialog_path, *report)) {
        std::snprintf(text, sizeof text, "%s\n%s\n%s", EXPORT_FAILED_TEXT, dialog_path, failure);
    } else {
        return;
    }
    host::ShowErrorBox(text);
}

}  // namespace morvith::ex
