#pragma once

// SSIM moments computed the literal way: exact integer sums for the means, then a second
// pass that sums the deviations from those means in doubles, row by row. The core gets the
// same moments from exact integer sums in one pass; this stays as the oracle it is held
// to: moments within rounding, and every value shown to six digits identical.

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "pixel.h"
#include "ssim.h"

namespace morvith::testing {

inline SsimMomentsTriple LiteralTwoPassMoments(const PixelYC* first_a, const PixelYC* first_b,
                                               int width, int height, int pitch) {
    int16_t PixelYC::*const channels[3] = {&PixelYC::y, &PixelYC::cb, &PixelYC::cr};
    const double n = static_cast<double>(width) * static_cast<double>(height);
    SsimMoments moments[3];
    for (int ch = 0; ch < 3; ++ch) {
        const auto at = [&](const PixelYC* first, int r, int c) {
            return first[static_cast<ptrdiff_t>(r) * pitch + c].*channels[ch];
        };
        int64_t sum_a = 0, sum_b = 0;
        for (int r = 0; r < height; ++r) {
            for (int c = 0; c < width; ++c) {
                sum_a += at(first_a, r, c);
                sum_b += at(first_b, r, c);
            }
        }
        SsimMoments& m = moments[ch];
        m.mean_a = static_cast<double>(sum_a) / n;
        m.mean_b = static_cast<double>(sum_b) / n;
        double aa = 0.0, bb = 0.0, ab = 0.0;
        for (int r = 0; r < height; ++r) {
            for (int c = 0; c < width; ++c) {
                const double dev_a = static_cast<double>(at(first_a, r, c)) - m.mean_a;
                const double dev_b = static_cast<double>(at(first_b, r, c)) - m.mean_b;
                aa += dev_a * dev_a;
                bb += dev_b * dev_b;
                ab += dev_a * dev_b;
            }
        }
        m.variance_a = aa / n;
        m.variance_b = bb / n;
        m.covariance = ab / n;
    }
    return {moments[0], moments[1], moments[2]};
}

inline ChannelTriple<double> LiteralTwoPassSsim(const PixelYC* first_a, const PixelYC* first_b,
                                                int width, int height, int pitch) {
    const SsimMomentsTriple m = LiteralTwoPassMoments(first_a, first_b, width, height, pitch);
    return {SsimFromMoments(m.y), SsimFromMoments(m.cb), SsimFromMoments(m.cr)};
}

// How far a moment may lie from the literal one: relative to its own size or, for a
// covariance that cancels towards zero, to the spread of the two pictures.
inline double MomentTolerance(const SsimMoments& literal, double value) {
    const double magnitude = value < 0 ? -value : value;
    double scale = literal.variance_a * literal.variance_b;
    scale = scale > 0 ? std::sqrt(scale) : 0.0;
    if (magnitude > scale) scale = magnitude;
    if (scale < 1.0) scale = 1.0;
    return 1e-12 * scale;
}

}  // namespace morvith::testing
