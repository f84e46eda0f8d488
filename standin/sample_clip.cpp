#include "sample_clip.h"

#include <cstdint>

namespace morvith::standin {
namespace {

int16_t Clamp(int value, int low, int high) {
    return static_cast<int16_t>(value < low ? low : (value > high ? high : value));
}

uint32_t Hash(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352du;
    x ^= x >> 15;
    x *= 0x846ca68bu;
    x ^= x >> 16;
    return x;
}

}  // namespace

// The scene stays inside the RGB gamut, so that a frame saved as a bitmap and loaded
// back differs from the frame by rounding only.
Picture SampleFrame(int index, int width, int height) {
    Picture picture{width, height, std::vector<PixelYC>(static_cast<std::size_t>(width) * height)};
    const int bar_left = (index * 8) % (width > 0 ? width : 1);
    const int last_column = width > 1 ? width - 1 : 1;
    const int rows = height > 0 ? height : 1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            int luma = 1024 + (x * 1536) / last_column + (y * 512) / rows;
            if (x >= bar_left && x < bar_left + width / 10) luma = 3300;
            const uint32_t noise = Hash(static_cast<uint32_t>((index * height + y) * width + x));
            luma += static_cast<int>(noise % 33) - 16;
            picture.at(x, y) = PixelYC{Clamp(luma, 0, FULL_SCALE),
                                       Clamp((x - width / 2) * 600 / last_column + static_cast<int>(noise >> 28) - 8, -2048, 2048),
                                       Clamp((y - height / 2) * 400 / rows - index, -2048, 2048)};
        }
    }
    return picture;
}

Picture SideBySideFrame(int index, int half_width, int height, int step) {
    const Picture source = SampleFrame(index, half_width, height);
    Picture picture{2 * half_width, height,
                    std::vector<PixelYC>(static_cast<std::size_t>(2 * half_width) * height)};
    const auto quantize = [step](int16_t v) {
        const int q = (v >= 0 ? v + step / 2 : v - step / 2) / step * step;
        return static_cast<int16_t>(q);
    };
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < half_width; ++x) {
            const PixelYC s = source.at(x, y);
            picture.at(x, y) = s;
            picture.at(half_width + x, y) = PixelYC{quantize(s.y), quantize(s.cb), quantize(s.cr)};
        }
    }
    return picture;
}

}  // namespace morvith::standin
