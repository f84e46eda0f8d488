#pragma once

// Built-in pictures for the main job and the tests: a small moving scene, and the same
// scene side by side with a coarsely quantized copy of itself, as a comparison video
// of an encode shows it.

#include <cstddef>
#include <vector>

#include "pixel.h"

namespace morvith::standin {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<PixelYC> samples;  // width * height, rows packed

    PixelYC& at(int x, int y) { return samples[static_cast<std::size_t>(y) * width + x]; }
    const PixelYC& at(int x, int y) const { return samples[static_cast<std::size_t>(y) * width + x]; }
};

// Frame `index` of a width x height scene: gradients, a moving bar, mild noise.
Picture SampleFrame(int index, int width, int height);

// The scene in the left half and a quantized copy (steps of `step`) in the right half.
Picture SideBySideFrame(int index, int half_width, int height, int step);

}  // namespace morvith::standin
