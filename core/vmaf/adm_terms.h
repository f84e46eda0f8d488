#pragma once

// ADM's per-coefficient terms, shared by the scalar kernels and the tails of the x86 ones.
// Internal linkage: each file compiles its own copy with its own instruction set, and no
// copy built for a later set may stand in for the baseline's.

#include <cmath>

#include "pixel.h"

namespace morvith {
namespace {

// db2's taps in float32; the high-pass taps are the low-pass ones reversed, every other
// one negated.
inline constexpr float ADM_LOW[4] = {0x1.ee8dd4p-2f, 0x1.ac4bdep-1f, 0x1.cb0bf0p-3f,
                                     -0x1.0907dcp-3f};
inline constexpr float ADM_HIGH[4] = {-0x1.0907dcp-3f, -0x1.cb0bf0p-3f, 0x1.ac4bdep-1f,
                                      -0x1.ee8dd4p-2f};

// cos^2(1 degree), rounded to float32.
inline constexpr float ADM_COS2_ONE_DEGREE = 0x1.ffd814p-1f;

// How far the restored detail may exceed the reference where the distorted one points its
// way.
inline constexpr double ADM_GAIN_LIMIT = 100.0;

// The 8-bit scale the feature is defined on, centred: 16 + Y * 219 / 4096 - 128. Y * 219
// has at most 23 bits and the result at most 11 integer and 12 fraction bits, so every
// step is exact in float32.
inline float AdmSampleValue(int16_t y) {
    return static_cast<float>(y * 219) * 0x1p-12f - 112.0f;
}

// The reference's and the distorted picture's (H, V) detail within 1 degree of each other,
// or either of them zero. float32, grouped as defined: the flag decides whole coefficients.
inline bool AdmAngleFlag(float o_h, float o_v, float t_h, float t_v) {
    const float dot = o_h * t_h + o_v * t_v;
    const float o_mag = o_h * o_h + o_v * o_v;
    const float t_mag = t_h * t_h + t_v * t_v;
    return dot >= 0.0f && dot * dot >= (ADM_COS2_ONE_DEGREE * o_mag) * t_mag;
}

// The part of the distorted coefficient t that restores the reference's o: t where it is a
// weaker copy of o (same sign), o where it is a stronger one, nothing where the signs differ;
// where the detail points the same way, t itself up to the gain limit. This is the clipped
// ratio clamp(t / o, 0, 1) * o, exactly and without a division.
inline double AdmRestored(double o, double t, bool aligned) {
    if (!(o * t > 0.0)) return 0.0;
    const double r = std::fabs(t) <= std::fabs(o) ? t : o;
    if (!aligned) return r;
    return r > 0.0 ? std::fmin(ADM_GAIN_LIMIT * r, t) : std::fmax(ADM_GAIN_LIMIT * r, t);
}

// The masking threshold at column j from three rows of masking sums laid out with their
// mirrors (column j at index j + 1): the 3 x 3 neighbourhood with the centre twice, / 30.
inline double AdmThreshold(const double* const masking[3], int j) {
    const double above = (masking[0][j] + masking[0][j + 1]) + masking[0][j + 2];
    const double centre = (masking[1][j] + masking[1][j + 1]) + masking[1][j + 2];
    const double below = (masking[2][j] + masking[2][j + 1]) + masking[2][j + 2];
    return (((above + centre) + below) + masking[1][j + 1]) / 30.0;
}

// Column j's terms of the Minkowski sums into accumulator m of each: the restored detail
// less the threshold, then the weighted reference, each cubed.
inline void AdmPoolColumn(const double* const masking[3], const double* const restored[3],
                          const float* const reference[3], int j, const double weights[3],
                          double partial[6][4], int m) {
    const double threshold = AdmThreshold(masking, j);
    for (int o = 0; o < 3; ++o) {
        const double x = std::fmax(restored[o][j] - threshold, 0.0);
        partial[o][m] += (x * x) * x;
        const double c = weights[o] * std::fabs(static_cast<double>(reference[o][j]));
        partial[3 + o][m] += (c * c) * c;
    }
}

}  // namespace
}  // namespace morvith
