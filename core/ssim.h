#pragma once

#include "pixel.h"
#include "row_team.h"

namespace morvith {

// Moments of one channel over the whole rectangle (population statistics, divided by N).
struct SsimMoments {
    double mean_a = 0.0;
    double mean_b = 0.0;
    double variance_a = 0.0;
    double variance_b = 0.0;
    double covariance = 0.0;

    friend bool operator==(const SsimMoments&, const SsimMoments&) = default;
};

using SsimMomentsTriple = ChannelTriple<SsimMoments>;

// (0.01 * 4096)^2 and (0.03 * 4096)^2: the product in double is the nearest double anyway.
inline constexpr double SSIM_C1 = 1677.7216;
inline constexpr double SSIM_C2 = 15099.4944;

// One pass of exact integer sums per channel; the centred moments follow from them
// exactly, so serial and threaded runs and every kernel path give the same bits.
SsimMomentsTriple MeasureSsimMoments(const PixelYC* first_a, const PixelYC* first_b, int width,
                                     int height, int pitch, RowTeam* team);

// The scalar loops themselves: the reference every fast kernel is checked against.
SsimMomentsTriple MeasureSsimMomentsReference(const PixelYC* first_a, const PixelYC* first_b,
                                              int width, int height, int pitch, RowTeam* team);

// SSIM of one channel with a single window covering the whole rectangle.
double SsimFromMoments(const SsimMoments& moments);

}  // namespace morvith
