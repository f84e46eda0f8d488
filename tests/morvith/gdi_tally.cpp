#include "gdi_tally.h"

#include <cstring>
#include <iterator>
#include <stdexcept>

#include "import_table.h"

namespace morvith::testing {
namespace {

GdiTally* active_tally = nullptr;

HFONT WINAPI TallyCreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                              DWORD underline, DWORD strike_out, DWORD charset, DWORD output_precision,
                              DWORD clip_precision, DWORD quality, DWORD pitch_and_family, LPCSTR face) {
    const HFONT font = CreateFontA(height, width, escapement, orientation, weight, italic, underline, strike_out,
                                   charset, output_precision, clip_precision, quality, pitch_and_family, face);
    if (active_tally != nullptr) active_tally->Created(font);
    return font;
}

HFONT WINAPI TallyCreateFontIndirectA(const LOGFONTA* description) {
    const HFONT font = CreateFontIndirectA(description);
    if (active_tally != nullptr) active_tally->Created(font);
    return font;
}

HPEN WINAPI TallyCreatePen(int style, int width, COLORREF color) {
    const HPEN pen = CreatePen(style, width, color);
    if (active_tally != nullptr) active_tally->Created(pen);
    return pen;
}

BOOL WINAPI TallyDeleteObject(HGDIOBJ object) {
    if (active_tally != nullptr) active_tally->Deleting(object);
    return DeleteObject(object);
}

void* Replacement(const char* name) {
    if (std::strcmp(name, "CreateFontA") == 0) return reinterpret_cast<void*>(TallyCreateFontA);
    if (std::strcmp(name, "CreateFontIndirectA") == 0) return reinterpret_cast<void*>(TallyCreateFontIndirectA);
    if (std::strcmp(name, "CreatePen") == 0) return reinterpret_cast<void*>(TallyCreatePen);
    if (std::strcmp(name, "DeleteObject") == 0) return reinterpret_cast<void*>(TallyDeleteObject);
    return nullptr;
}

// Functions that create no object, left as they are.
bool CreatesNothing(const char* name) {
    static constexpr const char* NAMES[] = {"SelectObject", "GetStockObject", "MoveToEx", "LineTo", "TextOutA",
                                            "SetTextAlign", "SetTextColor", "SetBkMode", "GetTextExtentPoint32A"};
    for (const char* other : NAMES)
        if (std::strcmp(name, other) == 0) return true;
    return false;
}

}  // namespace

GdiTally::GdiTally(const std::string& module_path) {
    if (active_tally != nullptr) throw std::logic_error("GdiTally: one at a time");
    module_ = LoadLibraryA(module_path.c_str());
    if (module_ == nullptr) throw std::runtime_error("GdiTally: cannot load " + module_path);
    try {
        RedirectImports();
    } catch (...) {
        for (int i = 0; i < redirect_count_; ++i) standin::WriteImportSlot(redirects_[i].slot, redirects_[i].original);
        FreeLibrary(module_);
        throw;
    }
    active_tally = this;
}

void GdiTally::RedirectImports() {
    standin::ForEachImport(module_, "gdi32.dll", [&](const char* name, void** slot) {
        if (name == nullptr) throw std::runtime_error("GdiTally: a gdi32 import by ordinal");
        if (CreatesNothing(name)) return;
        void* replacement = Replacement(name);
        if (replacement == nullptr || redirect_count_ == static_cast<int>(std::size(redirects_)))
            throw std::runtime_error(std::string("GdiTally: cannot follow gdi32 ") + name);
        redirects_[redirect_count_++] = {slot, *slot};
        standin::WriteImportSlot(slot, replacement);
    });
}

GdiTally::~GdiTally() {
    for (int i = 0; i < redirect_count_; ++i) standin::WriteImportSlot(redirects_[i].slot, redirects_[i].original);
    active_tally = nullptr;
    FreeLibrary(module_);
}

void GdiTally::Created(HGDIOBJ object) {
    if (object == nullptr) return;
    ++created_;
    live_.insert(object);
}

void GdiTally::Deleting(HGDIOBJ object) {
    if (object == nullptr) return;
    if (live_.erase(object) == 0) ++foreign_deletions_;
}

}  // namespace morvith::testing
