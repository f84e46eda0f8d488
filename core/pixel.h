#pragma once

#include <cstdint>

namespace morvith {

// One sample of the host's YC picture format: y is 0..FULL_SCALE for black..white,
// cb and cr are signed around 0. The host packs rows of these with no gaps.
struct PixelYC {
    int16_t y;
    int16_t cb;
    int16_t cr;
};
static_assert(sizeof(PixelYC) == 6, "the host's samples are three packed 16-bit words");

inline constexpr int FULL_SCALE = 4096;

// Every per-channel quantity travels in the order Y, Cb, Cr.
template <typename T>
struct ChannelTriple {
    T y{};
    T cb{};
    T cr{};

    friend bool operator==(const ChannelTriple&, const ChannelTriple&) = default;
};

// Two equally sized rectangles that share one row pitch (they may lie in one picture
// and overlap). Sample (r, c) of A is first_a[r * pitch + c]; the same for B.
struct RectanglePair {
    const PixelYC* first_a;
    const PixelYC* first_b;
    int width;   // samples per row, at least 1
    int height;  // rows, at least 1
    int pitch;   // samples from one row's first sample to the next row's
};

}  // namespace morvith
