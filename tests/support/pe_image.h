#pragma once

// The export and import tables of a Portable Executable module, read from its file, so
// that a test can check what a built module offers and what it needs without loading it.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace morvith::testing {

struct PeExport {
    std::string name;  // empty for an export by ordinal only
    uint32_t ordinal = 0;
};

struct PeImage {
    uint16_t machine = 0;  // IMAGE_FILE_MACHINE_*: 0x14C for 32-bit x86
    bool is_dll = false;
    uint64_t file_size = 0;  // bytes
    std::vector<PeExport> exports;            // in ordinal order
    std::vector<std::string> imported_dlls;   // as the import directory names them
    std::vector<std::string> imported_functions;  // by name, of every DLL alike
};

// Throws std::runtime_error naming what is wrong when the bytes are not a well-formed
// module; never reads outside them.
PeImage ParsePeImage(std::span<const uint8_t> bytes);
PeImage ReadPeImage(const std::string& path);

// Functions through which a module could read the process's environment.
inline constexpr const char* ENVIRONMENT_READERS[] = {
    "getenv", "_wgetenv", "getenv_s", "_dupenv_s", "GetEnvironmentVariableA",
    "GetEnvironmentVariableW", "GetEnvironmentStrings", "GetEnvironmentStringsA",
    "GetEnvironmentStringsW", "ExpandEnvironmentStringsA", "ExpandEnvironmentStringsW"};

}  // namespace morvith::testing
