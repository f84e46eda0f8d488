// The pictures the host hands out: each in guard pages, copied from the clip, and
// checked when given back that the plug-in wrote nothing into a frame it only reads.

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "standin_internal.h"

namespace morvith::standin {
namespace {

// Handed-out frames kept alive at once: enough for any fetch pattern of one call, bounded
// so that a long frame range does not exhaust a 32-bit address space.
constexpr size_t KEPT_FETCHED_FRAMES = 32;

size_t PageSize() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
}

bool SameSample(PixelYC a, PixelYC b) { return a.y == b.y && a.cb == b.cb && a.cr == b.cr; }

bool RowsMatch(const testing::GuardedPicture& picture, const Picture& source) {
    for (int y = 0; y < picture.height(); ++y)
        if (std::memcmp(&picture.at(0, y), &source.at(0, y), sizeof(PixelYC) * picture.width()) != 0) return false;
    return true;
}

}  // namespace

GuardedWords::GuardedWords(size_t count) {
    const size_t page = PageSize();
    const size_t data_pages = std::max<size_t>(1, (count * sizeof(int32_t) + page - 1) / page);
    mapping_size = (data_pages + 1) * page;
    mapping = VirtualAlloc(nullptr, mapping_size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (mapping == nullptr) throw std::bad_alloc();
    char* guard = static_cast<char*>(mapping) + data_pages * page;
    DWORD old_protection;
    VirtualProtect(guard, page, PAGE_NOACCESS, &old_protection);
    words = reinterpret_cast<int32_t*>(guard) - count;
}

GuardedWords::~GuardedWords() { VirtualFree(mapping, 0, MEM_RELEASE); }

void CopyInto(testing::GuardedPicture& target, const Picture& source) {
    for (int y = 0; y < source.height; ++y)
        std::memcpy(&target.at(0, y), &source.at(0, y), sizeof(PixelYC) * source.width);
}

Picture CopyOut(const testing::GuardedPicture& source, int width, int height) {
    Picture picture{width, height, std::vector<PixelYC>(static_cast<size_t>(width) * height)};
    for (int y = 0; y < height; ++y)
        std::memcpy(&picture.at(0, y), &source.at(0, y), sizeof(PixelYC) * width);
    return picture;
}

// The last row has no gap of its own: the picture may end at a guard page right after it.
bool GapsIntact(const testing::GuardedPicture& picture) {
    for (int y = 0; y + 1 < picture.height(); ++y)
        for (int x = picture.width(); x < picture.pitch(); ++x)
            if (!SameSample(picture.at(x, y), testing::GUARD_GAP_MARKER)) return false;
    return true;
}

void StandInHost::SetClip(Clip clip) {
    for (const auto& frame : clip.frames) {
        if (!frame) continue;
        if (frame->width < 1 || frame->height < 1 ||
            frame->samples.size() != static_cast<size_t>(frame->width) * frame->height)
            throw std::invalid_argument("stand-in host: a clip frame is empty or its samples do not match its size");
        if (frame->width > clip.max_width || frame->height > clip.max_height)
            throw std::invalid_argument("stand-in host: a clip frame is larger than the host's buffers");
    }
    state_->fetched.clear();  // they belong to the old clip
    state_->clip = std::move(clip);
}

const Clip& StandInHost::clip() const { return state_->clip; }
void StandInHost::SetPicturePlacement(testing::GuardPlacement placement) { state_->placement = placement; }
testing::GuardPlacement StandInHost::PicturePlacement() const { return state_->placement; }

PixelYC* HostState::Fetch(int32_t frame, int32_t* width, int32_t* height) {
    ++fetches_in_call;
    if (frame < 0 || frame >= clip.frame_count() || !clip.frames[frame]) return nullptr;
    const Picture& source = *clip.frames[frame];
    auto picture = std::make_unique<testing::GuardedPicture>(source.width, source.height, clip.max_width, placement);
    CopyInto(*picture, source);
    if (width != nullptr) *width = source.width;
    if (height != nullptr) *height = source.height;
    fetched.push_back({frame, std::move(picture)});
    while (fetched.size() > KEPT_FETCHED_FRAMES) {
        ReleaseFetchedFrame(fetched.front());
        fetched.pop_front();
    }
    return fetched.back().picture->data();
}

void StandInHost::SetSpoilFetchedFrames(bool spoil) { state_->spoil_fetched = spoil; }

void HostState::ReleaseFetchedFrame(const FetchedFrame& frame) {
    if (frame.spoiled) return;
    fetched_intact = fetched_intact && RowsMatch(*frame.picture, *clip.frames[frame.frame]) && GapsIntact(*frame.picture);
}

// Samples no picture of a test holds, that turn any measurement into another number.
void HostState::SpoilFetchedFrames() {
    if (!spoil_fetched) return;
    for (FetchedFrame& frame : fetched) {
        if (frame.spoiled) continue;
        ReleaseFetchedFrame(frame);
        frame.spoiled = true;
        for (int y = 0; y < frame.picture->height(); ++y)
            for (int x = 0; x < frame.picture->width(); ++x)
                frame.picture->at(x, y) = {static_cast<int16_t>(x * 97 + y * 31 - 7777), 1234, -1234};
    }
}

void HostState::ReleaseFetchedFrames() {
    for (const FetchedFrame& frame : fetched) ReleaseFetchedFrame(frame);
    fetched.clear();
}

int32_t HostState::LoadImage(PixelYC* destination, const char* file_name, int32_t* width, int32_t* height) {
    if (destination == nullptr || file_name == nullptr || file_name[0] == '\0') return 0;
    const std::optional<RgbImage> image = ReadRgbImage(file_name);
    if (!image || image->width > clip.max_width || image->height > clip.max_height) return 0;
    for (int y = 0; y < image->height; ++y)
        for (int x = 0; x < image->width; ++x)
            destination[static_cast<ptrdiff_t>(y) * clip.max_width + x] =
                RgbToYc(image->pixels[static_cast<size_t>(y) * image->width + x]);
    if (width != nullptr) *width = image->width;
    if (height != nullptr) *height = image->height;
    return 1;
}

}  // namespace morvith::standin
