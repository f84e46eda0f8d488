#include "guarded_picture.h"

#include <cstdlib>
#include <new>

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

}  // namespace

GuardedPicture::GuardedPicture(int width, int height, int pitch)
    : width_(width), height_(height), pitch_(pitch) {
    const size_t page = PageSize();
    // The last row needs only width samples: the guard page starts right after them.
    const size_t samples = static_cast<size_t>(height - 1) * pitch + width;
    const size_t bytes = samples * sizeof(PixelYC);
    const size_t data_pages = (bytes + page - 1) / page;
    mapping_size_ = (data_pages + 1) * page;
#ifdef _WIN32
    mapping_ = VirtualAlloc(nullptr, mapping_size_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (mapping_ == nullptr) throw std::bad_alloc();
    DWORD old_protection;
    VirtualProtect(static_cast<char*>(mapping_) + data_pages * page, page, PAGE_NOACCESS,
                   &old_protection);
#else
    mapping_ = mmap(nullptr, mapping_size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                    -1, 0);
    if (mapping_ == MAP_FAILED) throw std::bad_alloc();
    mprotect(static_cast<char*>(mapping_) + data_pages * page, page, PROT_NONE);
#endif
    char* guard = static_cast<char*>(mapping_) + data_pages * page;
    first_ = reinterpret_cast<PixelYC*>(guard - bytes);
    // Bytes before the first sample and in each row's gap get a marker pattern.
    for (size_t i = 0; i < samples; ++i) first_[i] = PixelYC{-12345, 23456, -31234};
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
