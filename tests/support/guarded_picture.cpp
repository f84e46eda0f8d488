#include "guarded_picture.h"

#include <cstdlib>
#include <new>
#include <stdexcept>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace morvith::testing {
namespace {

size_t PageSize() {
#ifdef _WIN32
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
#else
    return static_cast<size_t>(sysconf(_SC_PAGESIZE));
#endif
}

GuardPlacement PlacementFromEnvironment() {
    const char* value = std::getenv("MORVITH_GUARD_PLACEMENT");
    if (value == nullptr || value[0] == '\0') return GuardPlacement::After;
    const std::string name = value;
    if (name == "after") return GuardPlacement::After;
    if (name == "before") return GuardPlacement::Before;
    throw std::invalid_argument("MORVITH_GUARD_PLACEMENT is \"" + name + "\"; expected after or before");
}

GuardPlacement& DefaultPlacementSlot() {
    static GuardPlacement placement = PlacementFromEnvironment();
    return placement;
}

}  // namespace

GuardPlacement DefaultGuardPlacement() { return DefaultPlacementSlot(); }

void SetDefaultGuardPlacement(GuardPlacement placement) { DefaultPlacementSlot() = placement; }

const char* GuardPlacementName(GuardPlacement placement) {
    return placement == GuardPlacement::Before ? "before" : "after";
}

GuardedPicture::GuardedPicture(int width, int height, int pitch, GuardPlacement placement)
    : width_(width), height_(height), pitch_(pitch), placement_(placement) {
    const size_t page = PageSize();
    // The last row needs only width samples: After puts the guard page right after them.
    const size_t samples = static_cast<size_t>(height - 1) * pitch + width;
    const size_t bytes = samples * sizeof(PixelYC);
    const size_t data_pages = (bytes + page - 1) / page;
    mapping_size_ = (data_pages + 1) * page;
    const size_t guard_offset = placement == GuardPlacement::After ? data_pages * page : 0;
#ifdef _WIN32
    mapping_ = VirtualAlloc(nullptr, mapping_size_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (mapping_ == nullptr) throw std::bad_alloc();
    DWORD old_protection;
    VirtualProtect(static_cast<char*>(mapping_) + guard_offset, page, PAGE_NOACCESS, &old_protection);
#else
    mapping_ = mmap(nullptr, mapping_size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                    -1, 0);
    if (mapping_ == MAP_FAILED) throw std::bad_alloc();
    mprotect(static_cast<char*>(mapping_) + guard_offset, page, PROT_NONE);
#endif
    char* guard = static_cast<char*>(mapping_) + guard_offset;
    first_ = reinterpret_cast<PixelYC*>(placement == GuardPlacement::After ? guard - bytes : guard + page);
    for (size_t i = 0; i < samples; ++i) first_[i] = GUARD_GAP_MARKER;
}

GuardedPicture::~GuardedPicture() {
#ifdef _WIN32
    VirtualFree(mapping_, 0, MEM_RELEASE);
#else
    munmap(mapping_, mapping_size_);
#endif
}

void GuardedPicture::Fill(PixelYC value) {
    for (int r = 0; r < height_; ++r)
        for (int c = 0; c < width_; ++c) at(c, r) = value;
}

void GuardedPicture::FillRandom(uint32_t seed, int low, int high) {
    TestRandom random(seed);
    for (int r = 0; r < height_; ++r) {
        for (int c = 0; c < width_; ++c) {
            at(c, r) = PixelYC{static_cast<int16_t>(random.Between(low, high)),
                               static_cast<int16_t>(random.Between(low, high)),
                               static_cast<int16_t>(random.Between(low, high))};
        }
    }
}

}  // namespace morvith::testing
