#pragma once

// Clips as the stand-in host holds them, and image files as its LoadImageFile reads them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sample_clip.h"

namespace morvith::standin {

// A clip as the host holds it: each frame is a picture or a gap that the host cannot
// deliver. Every buffer the host hands out has room for max_width x max_height samples
// with pitch max_width.
struct Clip {
    int max_width = 0;
    int max_height = 0;
    std::vector<std::optional<Picture>> frames;  // nullopt: not deliverable

    int frame_count() const { return static_cast<int>(frames.size()); }
};

// A clip of the given frames; a max size of 0 means that of the largest frame.
Clip MakeClip(std::vector<std::optional<Picture>> frames, int max_width = 0, int max_height = 0);
// frame_count frames of the built-in scene (SampleFrame), 640 x 360 by default.
Clip SampleClip(int frame_count, int width = 640, int height = 360, int max_width = 0,
                int max_height = 0);
// frame_count side-by-side frames (SideBySideFrame): two half_width x height halves.
Clip SideBySideClip(int frame_count, int half_width = 640, int height = 480, int step = 64);
// A width x height picture whose every sample is value.
Picture ConstantPicture(int width, int height, PixelYC value);

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
};
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels;  // width * height, top row first
};

// BT.601 with 255 -> 4096: Y = 0.299R + 0.587G + 0.114B, Cb = (B - Y) * 0.564,
// Cr = (R - Y) * 0.713, each scaled and rounded to the nearest integer.
PixelYC RgbToYc(Rgb rgb);
// The inverse, rounded and clamped to 0..255: to write a clip frame as a bitmap.
Rgb YcToRgb(PixelYC sample);
RgbImage PictureToRgb(const Picture& picture);
// Writes a 24-bit bottom-up BMP; false if the file cannot be written. Path in the ANSI code page.
bool WriteBmp24(const std::string& path, const RgbImage& image);
// Writes a PNG with each pixel enlarged to scale x scale (1 to 8, nearest neighbour);
// false if the file cannot be written.
bool WritePng(const std::string& path, const RgbImage& image, int scale = 1);
// Decodes an image file (BMP, PNG, ...) and converts it as LoadImageFile does; nullopt
// if it cannot be read. Tests use it for the exact expected reference picture.
std::optional<Picture> ReadImageFileAsPicture(const std::string& path);

// Code page 932 bytes as UTF-8, for printing; invalid bytes become U+FFFD.
std::string Cp932ToUtf8(std::string_view cp932);
// An absolute Unix path of the build tree (e.g. a target's file name from CMake) as
// Wine's Windows path on drive Z:; any other path unchanged.
std::string HostPath(std::string_view path);

}  // namespace morvith::standin
