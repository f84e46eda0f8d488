#pragma once

// Windowed SSIM the literal way, for the tests to hold the plug-ins to: every 8 x 8 window
// on a stride of 4 summed sample by sample, from the samples as a file holds them (chroma
// up by 2048), in 64-bit integers; the formula in doubles from those exact integers; each
// window row summed left to right, the rows added in order, the total divided by the
// window count. Its integers are exact, so its values are the core's to the bit.

#include <cstddef>
#include <cstdint>

#include "pixel.h"

namespace morvith::testing {

inline ChannelTriple<double> LiteralWindowedSsim(const PixelYC* first_a, const PixelYC* first_b,
                                                 int width, int height, int pitch, int peak) {
    int16_t PixelYC::*const channels[3] = {&PixelYC::y, &PixelYC::cb, &PixelYC::cr};
    const int64_t offsets[3] = {0, 2048, 2048};
    const double c1 = 0.0001 * (static_cast<double>(peak) * peak) * 64;
    const double c2 = 0.0009 * (static_cast<double>(peak) * peak) * 64 * 63;
    const int windows_across = width / 4 - 1;
    const int windows_down = height / 4 - 1;
    double values[3] = {0, 0, 0};
    if (windows_across < 1 || windows_down < 1) return {};
    for (int ch = 0; ch < 3; ++ch) {
        double total = 0.0;
        for (int wy = 0; wy < windows_down; ++wy) {
            double row = 0.0;
            for (int wx = 0; wx < windows_across; ++wx) {
                int64_t s1 = 0, s2 = 0, ss = 0, s12 = 0;
                for (int r = 4 * wy; r < 4 * wy + 8; ++r) {
                    for (int c = 4 * wx; c < 4 * wx + 8; ++c) {
                        const ptrdiff_t at = static_cast<ptrdiff_t>(r) * pitch + c;
                        const int64_t a = first_a[at].*channels[ch] + offsets[ch];
                        const int64_t b = first_b[at].*channels[ch] + offsets[ch];
                        s1 += a;
                        s2 += b;
                        ss += a * a + b * b;
                        s12 += a * b;
                    }
                }
                const int64_t vars = 64 * ss - s1 * s1 - s2 * s2;
                const int64_t covar = 64 * s12 - s1 * s2;
                row += (static_cast<double>(2 * s1 * s2) + c1) *
                       (static_cast<double>(2 * covar) + c2) /
                       ((static_cast<double>(s1 * s1 + s2 * s2) + c1) *
                        (static_cast<double>(vars) + c2));
            }
            total += row;
        }
        values[ch] = total / (static_cast<double>(windows_across) * windows_down);
    }
    return {values[0], values[1], values[2]};
}

}  // namespace morvith::testing
