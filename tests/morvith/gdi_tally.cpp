#include "gdi_tally.h"

#include <cstring>
#include <iterator>
#include <stdexcept>

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

BOOL WINAPI TallyDeleteObject(HGDIOBJ object) {
    if (active_tally != nullptr) active_tally->Deleting(object);
    return DeleteObject(object);
}

void* Replacement(const char* name) {
    if (std::strcmp(name, "CreateFontA") == 0) return reinterpret_cast<void*>(TallyCreateFontA);
    if (std::strcmp(name, "CreateFontIndirectA") == 0) return reinterpret_cast<void*>(TallyCreateFontIndirectA);
    if (std::strcmp(name, "DeleteObject") == 0) return reinterpret_cast<void*>(TallyDeleteObject);
    return nullptr;
}

void WriteSlot(void** slot, void* value) {
    DWORD protection;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection);
    *slot = value;
    VirtualProtect(slot, sizeof *slot, protection, &protection);
}

}  // namespace

GdiTally::GdiTally(const std::string& module_path) {
    if (active_tally != nullptr) throw std::logic_error("GdiTally: one at a time");
    module_ = LoadLibraryA(module_path.c_str());
    if (module_ == nullptr) throw std::runtime_error("GdiTally: cannot load " + module_path);
    try {
        RedirectImports();
    } catch (...) {
        for (int i = 0; i < redirect_count_; ++i) WriteSlot(redirects_[i].slot, redirects_[i].original);
        FreeLibrary(module_);
        throw;
    }
    active_tally = this;
}

void GdiTally::RedirectImports() {
    auto* base = reinterpret_cast<unsigned char*>(module_);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) return;
    for (auto* descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         descriptor->Name != 0; ++descriptor) {
        if (_stricmp(reinterpret_cast<const char*>(base + descriptor->Name), "gdi32.dll") != 0) continue;
        const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA32*>(
            base + (descriptor->OriginalFirstThunk != 0 ? descriptor->OriginalFirstThunk : descriptor->FirstThunk));
        auto** slots = reinterpret_cast<void**>(base + descriptor->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL32(names->u1.Ordinal))
                throw std::runtime_error("GdiTally: a gdi32 import by ordinal");
            const char* name = reinterpret_cast<const char*>(
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name);
            void* replacement = Replacement(name);
            if (replacement == nullptr || redirect_count_ == static_cast<int>(std::size(redirects_)))
                throw std::runtime_error(std::string("GdiTally: cannot follow gdi32 ") + name);
            redirects_[redirect_count_++] = {slots, *slots};
            WriteSlot(slots, replacement);
        }
    }
}

GdiTally::~GdiTally() {
    for (int i = 0; i < redirect_count_; ++i) WriteSlot(redirects_[i].slot, redirects_[i].original);
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
