#include "pe_image.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <utility>

namespace morvith::testing {
namespace {

constexpr uint16_t PE32_MAGIC = 0x10B;
constexpr uint16_t PE32_PLUS_MAGIC = 0x20B;
constexpr uint16_t IMAGE_FILE_DLL = 0x2000;
constexpr uint32_t EXPORT_DIRECTORY = 0;
constexpr uint32_t IMPORT_DIRECTORY = 1;

[[noreturn]] void Malformed(const std::string& what) {
    throw std::runtime_error("not a well-formed PE module: " + what);
}

class Reader {
public:
    explicit Reader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    template <typename T>
    T At(uint64_t offset) const {
        if (offset > bytes_.size() || bytes_.size() - offset < sizeof(T)) Malformed("truncated");
        T value = 0;
        for (size_t i = 0; i < sizeof(T); ++i)
            value |= static_cast<T>(static_cast<T>(bytes_[offset + i]) << (8 * i));
        return value;
    }

    std::string StringAt(uint64_t offset) const {
        if (offset >= bytes_.size()) Malformed("string outside the file");
        const auto first = bytes_.begin() + static_cast<ptrdiff_t>(offset);
        const auto end = std::find(first, bytes_.end(), uint8_t{0});
        if (end == bytes_.end()) Malformed("unterminated string");
        return std::string(first, end);
    }

private:
    std::span<const uint8_t> bytes_;
};

struct Section {
    uint32_t virtual_address;
    uint32_t virtual_size;
    uint32_t raw_size;
    uint32_t raw_offset;
};

class Module {
public:
    explicit Module(std::span<const uint8_t> bytes) : read_(bytes) {
        if (read_.At<uint16_t>(0) != 0x5A4D) Malformed("no MZ signature");
        const uint32_t pe = read_.At<uint32_t>(0x3C);
        if (read_.At<uint32_t>(pe) != 0x00004550) Malformed("no PE signature");
        const uint64_t coff = pe + 4ull;
        machine_ = read_.At<uint16_t>(coff);
        const uint16_t section_count = read_.At<uint16_t>(coff + 2);
        const uint16_t optional_size = read_.At<uint16_t>(coff + 16);
        characteristics_ = read_.At<uint16_t>(coff + 18);

        optional_ = coff + 20;
        const uint16_t magic = read_.At<uint16_t>(optional_);
        if (magic == PE32_MAGIC) {
            directory_count_offset_ = optional_ + 92;
        } else if (magic == PE32_PLUS_MAGIC) {
            directory_count_offset_ = optional_ + 108;
        } else {
            Malformed("unknown optional header");
        }
        directory_count_ = read_.At<uint32_t>(directory_count_offset_);

        const uint64_t section_table = optional_ + optional_size;
        for (uint16_t i = 0; i < section_count; ++i) {
            const uint64_t entry = section_table + 40ull * i;
            sections_.push_back({read_.At<uint32_t>(entry + 12), read_.At<uint32_t>(entry + 8),
                                 read_.At<uint32_t>(entry + 16), read_.At<uint32_t>(entry + 20)});
        }
    }

    const Reader& read() const { return read_; }
    uint16_t machine() const { return machine_; }
    bool is_dll() const { return (characteristics_ & IMAGE_FILE_DLL) != 0; }

    // The directory's RVA, or 0 when the module has none.
    uint32_t DirectoryRva(uint32_t index) const {
        if (index >= directory_count_) return 0;
        return read_.At<uint32_t>(directory_count_offset_ + 4 + 8ull * index);
    }

    uint64_t FileOffset(uint32_t rva) const {
        for (const Section& section : sections_) {
            const uint32_t extent = std::max(section.virtual_size, section.raw_size);
            if (rva >= section.virtual_address && rva - section.virtual_address < extent) {
                const uint32_t into = rva - section.virtual_address;
                if (into >= section.raw_size) Malformed("address in uninitialised data");
                return static_cast<uint64_t>(section.raw_offset) + into;
            }
        }
        Malformed("address outside every section");
    }

private:
    Reader read_;
    uint16_t machine_ = 0;
    uint16_t characteristics_ = 0;
    uint64_t optional_ = 0;
    uint64_t directory_count_offset_ = 0;
    uint32_t directory_count_ = 0;
    std::vector<Section> sections_;
};

std::vector<PeExport> ReadExports(const Module& module) {
    const uint32_t rva = module.DirectoryRva(EXPORT_DIRECTORY);
    if (rva == 0) return {};
    const Reader& read = module.read();
    const uint64_t directory = module.FileOffset(rva);
    const uint32_t base = read.At<uint32_t>(directory + 16);
    const uint32_t function_count = read.At<uint32_t>(directory + 20);
    const uint32_t name_count = read.At<uint32_t>(directory + 24);
    const uint32_t functions_rva = read.At<uint32_t>(directory + 28);
    const uint32_t names_rva = read.At<uint32_t>(directory + 32);
    const uint32_t name_ordinals_rva = read.At<uint32_t>(directory + 36);

    std::vector<PeExport> exports;
    std::vector<bool> named(function_count, false);
    for (uint32_t i = 0; i < name_count; ++i) {
        const uint16_t index = read.At<uint16_t>(module.FileOffset(name_ordinals_rva) + 2ull * i);
        if (index >= function_count) Malformed("name ordinal past the function table");
        const uint32_t name_rva = read.At<uint32_t>(module.FileOffset(names_rva) + 4ull * i);
        exports.push_back({read.StringAt(module.FileOffset(name_rva)), base + index});
        named[index] = true;
    }
    for (uint32_t index = 0; index < function_count; ++index) {
        if (named[index]) continue;
        if (read.At<uint32_t>(module.FileOffset(functions_rva) + 4ull * index) != 0)
            exports.push_back({{}, base + index});
    }
    std::sort(exports.begin(), exports.end(),
              [](const PeExport& a, const PeExport& b) { return a.ordinal < b.ordinal; });
    return exports;
}

struct Imports {
    std::vector<std::string> dlls;
    std::vector<std::string> functions;
};

Imports ReadImports(const Module& module) {
    const uint32_t rva = module.DirectoryRva(IMPORT_DIRECTORY);
    if (rva == 0) return {};
    const Reader& read = module.read();
    const uint64_t descriptors = module.FileOffset(rva);
    Imports imports;
    // The table ends with an all-zero descriptor; its Name word is enough to tell.
    for (uint64_t entry = descriptors;; entry += 20) {
        const uint32_t name_rva = read.At<uint32_t>(entry + 12);
        if (name_rva == 0) break;
        imports.dlls.push_back(read.StringAt(module.FileOffset(name_rva)));
        // The lookup table (or, without one, the address table as the file holds it): one
        // word a function up to a zero word, a name's address unless the top bit says ordinal.
        uint32_t thunks = read.At<uint32_t>(entry);
        if (thunks == 0) thunks = read.At<uint32_t>(entry + 16);
        for (uint64_t thunk = module.FileOffset(thunks);; thunk += 4) {
            const uint32_t word = read.At<uint32_t>(thunk);
            if (word == 0) break;
            if ((word & 0x80000000u) == 0)
                imports.functions.push_back(read.StringAt(module.FileOffset(word) + 2));
        }
    }
    return imports;
}

}  // namespace

PeImage ParsePeImage(std::span<const uint8_t> bytes) {
    const Module module(bytes);
    Imports imports = ReadImports(module);
    return {module.machine(), module.is_dll(), bytes.size(), ReadExports(module),
            std::move(imports.dlls), std::move(imports.functions)};
}

PeImage ReadPeImage(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error("cannot open " + path);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file),
                                     std::istreambuf_iterator<char>()};
    return ParsePeImage(bytes);
}

}  // namespace morvith::testing
