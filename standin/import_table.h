#pragma once

// The import address table of a loaded module: where it calls the functions of a system
// DLL, so that a test can send those calls to a function of its own.

#include <windows.h>

#include <cstring>

namespace morvith::standin {

// visit(name, slot) for every function that module imports from dll; name is null for an
// import by ordinal.
template <typename Visit>
void ForEachImport(HMODULE module, const char* dll, Visit visit) {
    auto* base = reinterpret_cast<unsigned char*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) return;
    for (auto* descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         descriptor->Name != 0; ++descriptor) {
        if (_stricmp(reinterpret_cast<const char*>(base + descriptor->Name), dll) != 0) continue;
        const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA32*>(
            base + (descriptor->OriginalFirstThunk != 0 ? descriptor->OriginalFirstThunk : descriptor->FirstThunk));
        auto** slots = reinterpret_cast<void**>(base + descriptor->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            const char* name = IMAGE_SNAP_BY_ORDINAL32(names->u1.Ordinal)
                                   ? nullptr
                                   : reinterpret_cast<const char*>(
                                         reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name);
            visit(name, slots);
        }
    }
}

// The slot through which module calls `function` of `dll` (imported by name), or null.
inline void** FindImportSlot(HMODULE module, const char* dll, const char* function) {
    void** found = nullptr;
    ForEachImport(module, dll, [&](const char* name, void** slot) {
        if (found == nullptr && name != nullptr && std::strcmp(name, function) == 0) found = slot;
    });
    return found;
}

inline void WriteImportSlot(void** slot, void* value) {
    DWORD protection;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection);
    *slot = value;
    VirtualProtect(slot, sizeof *slot, protection, &protection);
}

}  // namespace morvith::standin
