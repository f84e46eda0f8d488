#include <stb_image.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "standin_internal.h"

namespace morvith::standin {
namespace {

// 8-bit RGB steps to the YC scale, where 255 is FULL_SCALE.
constexpr double YC_PER_RGB = FULL_SCALE / 255.0;

int16_t RoundToSample(double value) { return static_cast<int16_t>(std::lround(value)); }

uint8_t RoundToByte(double value) {
    return static_cast<uint8_t>(std::clamp<long>(std::lround(value), 0, 255));
}

void PutLittleEndian(std::vector<uint8_t>& bytes, uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

Clip MakeClip(std::vector<std::optional<Picture>> frames, int max_width, int max_height) {
    Clip clip;
    for (const auto& frame : frames) {
        if (!frame) continue;
        clip.max_width = std::max(clip.max_width, frame->width);
        clip.max_height = std::max(clip.max_height, frame->height);
    }
    if (max_width != 0) clip.max_width = max_width;
    if (max_height != 0) clip.max_height = max_height;
    if (clip.max_width < 1 || clip.max_height < 1)
        throw std::invalid_argument("stand-in host: a clip needs a buffer size (no frame gives one)");
    clip.frames = std::move(frames);
    return clip;
}

Clip SampleClip(int frame_count, int width, int height, int max_width, int max_height) {
    std::vector<std::optional<Picture>> frames;
    for (int i = 0; i < frame_count; ++i) frames.emplace_back(SampleFrame(i, width, height));
    return MakeClip(std::move(frames), max_width != 0 ? max_width : width, max_height != 0 ? max_height : height);
}

Clip SideBySideClip(int frame_count, int half_width, int height, int step) {
    std::vector<std::optional<Picture>> frames;
    for (int i = 0; i < frame_count; ++i) frames.emplace_back(SideBySideFrame(i, half_width, height, step));
    return MakeClip(std::move(frames), 2 * half_width, height);
}

Picture ConstantPicture(int width, int height, PixelYC value) {
    return Picture{width, height, std::vector<PixelYC>(static_cast<size_t>(width) * height, value)};
}

PixelYC RgbToYc(Rgb rgb) {
    const double y = 0.299 * rgb.r + 0.587 * rgb.g + 0.114 * rgb.b;
    return PixelYC{RoundToSample(y * YC_PER_RGB), RoundToSample((rgb.b - y) * 0.564 * YC_PER_RGB),
                   RoundToSample((rgb.r - y) * 0.713 * YC_PER_RGB)};
}

Rgb YcToRgb(PixelYC sample) {
    const double y = sample.y / YC_PER_RGB;
    const double b = y + sample.cb / YC_PER_RGB / 0.564;
    const double r = y + sample.cr / YC_PER_RGB / 0.713;
    const double g = (y - 0.299 * r - 0.114 * b) / 0.587;
    return Rgb{RoundToByte(r), RoundToByte(g), RoundToByte(b)};
}

RgbImage PictureToRgb(const Picture& picture) {
    RgbImage image{picture.width, picture.height, {}};
    image.pixels.reserve(picture.samples.size());
    for (const PixelYC& sample : picture.samples) image.pixels.push_back(YcToRgb(sample));
    return image;
}

bool WriteBmp24(const std::string& path, const RgbImage& image) {
    if (image.width < 1 || image.height < 1 ||
        image.pixels.size() != static_cast<size_t>(image.width) * image.height)
        return false;
    const uint32_t row_bytes = (static_cast<uint32_t>(image.width) * 3 + 3) & ~3u;
    const uint32_t data_bytes = row_bytes * static_cast<uint32_t>(image.height);
    std::vector<uint8_t> bytes;
    bytes.reserve(54 + data_bytes);
    bytes.push_back('B');
    bytes.push_back('M');
    PutLittleEndian(bytes, 54 + data_bytes, 4);
    PutLittleEndian(bytes, 0, 4);
    PutLittleEndian(bytes, 54, 4);
    PutLittleEndian(bytes, 40, 4);  // BITMAPINFOHEADER
    PutLittleEndian(bytes, static_cast<uint32_t>(image.width), 4);
    PutLittleEndian(bytes, static_cast<uint32_t>(image.height), 4);  // positive: bottom row first
    PutLittleEndian(bytes, 1, 2);
    PutLittleEndian(bytes, 24, 2);
    PutLittleEndian(bytes, 0, 4);  // BI_RGB
    PutLittleEndian(bytes, data_bytes, 4);
    PutLittleEndian(bytes, 2835, 4);  // 72 dpi
    PutLittleEndian(bytes, 2835, 4);
    PutLittleEndian(bytes, 0, 4);
    PutLittleEndian(bytes, 0, 4);
    for (int y = image.height - 1; y >= 0; --y) {
        for (int x = 0; x < image.width; ++x) {
            const Rgb& p = image.pixels[static_cast<size_t>(y) * image.width + x];
            bytes.push_back(p.b);
            bytes.push_back(p.g);
            bytes.push_back(p.r);
        }
        for (uint32_t pad = static_cast<uint32_t>(image.width) * 3; pad < row_bytes; ++pad) bytes.push_back(0);
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

std::optional<RgbImage> ReadRgbImage(const char* path) {
    int width = 0, height = 0, channels = 0;
    stbi_uc* data = stbi_load(path, &width, &height, &channels, 3);
    if (data == nullptr) return std::nullopt;
    RgbImage image{width, height, std::vector<Rgb>(static_cast<size_t>(width) * height)};
    for (size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = Rgb{data[3 * i], data[3 * i + 1], data[3 * i + 2]};
    stbi_image_free(data);
    return image;
}

std::optional<Picture> ReadImageFileAsPicture(const std::string& path) {
    const std::optional<RgbImage> image = ReadRgbImage(path.c_str());
    if (!image) return std::nullopt;
    Picture picture{image->width, image->height, {}};
    picture.samples.reserve(image->pixels.size());
    for (const Rgb& p : image->pixels) picture.samples.push_back(RgbToYc(p));
    return picture;
}

std::string Cp932ToUtf8(std::string_view cp932) {
    if (cp932.empty()) return {};
    const int wide_length = MultiByteToWideChar(932, 0, cp932.data(), static_cast<int>(cp932.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(wide_length), L'\0');
    MultiByteToWideChar(932, 0, cp932.data(), static_cast<int>(cp932.size()), wide.data(), wide_length);
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_length, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_length, utf8.data(), length, nullptr, nullptr);
    return utf8;
}

std::string HostPath(std::string_view path) {
    if (path.empty() || path.front() != '/') return std::string(path);
    std::string windows_path = "Z:";
    for (const char c : path) windows_path += c == '/' ? '\\' : c;
    return windows_path;
}

}  // namespace morvith::standin
