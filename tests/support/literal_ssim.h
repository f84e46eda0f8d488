#pragma once

// SSIM computed the literal way, and what it promises of the value the plug-ins show.
//
// The literal way: exact integer sums for the means, then a second pass that sums the
// deviations from those means in doubles, row by row. The core gets its moments from exact
// integer sums instead, so the literal moments are an independent oracle, but one that
// carries rounding error: where the shown value hinges on a cancellation or lies on a
// six-digit rounding boundary, no exact computation can show the literal text. So a shown
// value is held to the literal one wherever every value within the literal's error bound
// is shown alike, and to the exact moments' value (the core's scalar reference) elsewhere,
// which must then lie within the bound.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>

#include "pixel.h"
#include "result_line.h"
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

// How far a moment may lie from the literal one: relative to its own size or, for a
// covariance that cancels towards zero, to the spread of the two pictures. Tighter than the
// worst case below (rounding errors seldom add up), and held in every case tested.
inline double MomentTolerance(const SsimMoments& literal, double value) {
    const double magnitude = value < 0 ? -value : value;
    double scale = literal.variance_a * literal.variance_b;
    scale = scale > 0 ? std::sqrt(scale) : 0.0;
    if (magnitude > scale) scale = magnitude;
    if (scale < 1.0) scale = 1.0;
    return 1e-12 * scale;
}

inline constexpr double kUnitRoundoff = 0x1p-53;

// The relative error of k roundings in a row.
inline double Gamma(double k) { return k * kUnitRoundoff / (1.0 - k * kUnitRoundoff); }

// The worst case of |literal moment - exact moment| for one pair of channels x, y of N
// samples, given the exact moments (each within two roundings of the true ones, V and C).
// The literal sum adds N terms fl(fl(x - mx) fl(y - my)) of three roundings each in a row,
// so it lies within gamma(N + 2) sum |(x - mx)(y - my)| of the sum over the deviations from
// the rounded means mx, my; Cauchy-Schwarz bounds that sum by N sqrt((Vx + dx^2)(Vy + dy^2)),
// where dx = |true mean - mx| <= u |mx|. Since the deviations from the true means add up to
// zero, the sum over deviations from mx, my is N (C + dx dy) exactly. The division by N
// rounds once more; the exact moment is within two roundings of C.
inline double LiteralMomentBound(double n, double mean_x, double mean_y, double variance_x,
                                 double variance_y, double exact_moment) {
    const double dx = Gamma(1) * std::fabs(mean_x), dy = Gamma(1) * std::fabs(mean_y);
    const double spread = std::sqrt((variance_x * (1 + Gamma(2)) + dx * dx) *
                                    (variance_y * (1 + Gamma(2)) + dy * dy));
    return Gamma(n + 3) * spread + dx * dy + Gamma(2) * std::fabs(exact_moment);
}

// One channel's shown SSIM as both oracles see it.
struct SsimOracle {
    double literal = 0.0;  // from the literal two-pass moments
    double exact = 0.0;    // from the exact moments: what the plug-ins compute
    double bound = 0.0;    // the worst case of |literal - exact|
};

using SsimOracleTriple = ChannelTriple<SsimOracle>;

// SSIM = ((MN SN) / MD) / SD. Both sets of moments share the means, so MN and MD are the
// same bits; SN = 2 C + C2 and SD = Va + Vb + C2 move by at most 2 Ec and Ea + Eb between
// them. As |SN| <= SD (|2 C| <= Va + Vb), the two exact-arithmetic values differ by at most
// |MN / MD| (2 Ec + Ea + Eb) / SD, and each evaluation rounds six times after MN and MD.
// Twice the sum, for the second-order terms that these bounds leave out.
inline SsimOracle OracleFromMoments(double n, const SsimMoments& exact,
                                    const SsimMoments& literal) {
    const SsimMoments& m = exact;
    const double e_a =
        LiteralMomentBound(n, m.mean_a, m.mean_a, m.variance_a, m.variance_a, m.variance_a);
    const double e_b =
        LiteralMomentBound(n, m.mean_b, m.mean_b, m.variance_b, m.variance_b, m.variance_b);
    const double e_c =
        LiteralMomentBound(n, m.mean_a, m.mean_b, m.variance_a, m.variance_b, m.covariance);
    const double mean_numerator = (2.0 * m.mean_a) * m.mean_b + SSIM_C1;
    const double mean_denominator = (m.mean_b * m.mean_b + m.mean_a * m.mean_a) + SSIM_C1;
    const double structure_denominator = (literal.variance_b + literal.variance_a) + SSIM_C2;
    SsimOracle oracle{SsimFromMoments(literal), SsimFromMoments(exact), 0.0};
    oracle.bound = 2.0 * (std::fabs(mean_numerator) / mean_denominator * (2.0 * e_c + e_a + e_b) /
                              structure_denominator +
                          Gamma(6) * (std::fabs(oracle.literal) + std::fabs(oracle.exact)));
    return oracle;
}

inline SsimOracleTriple OracleSsim(const PixelYC* first_a, const PixelYC* first_b, int width,
                                   int height, int pitch) {
    const SsimMomentsTriple exact =
        MeasureSsimMomentsReference(first_a, first_b, width, height, pitch, nullptr);
    const SsimMomentsTriple literal =
        LiteralTwoPassMoments(first_a, first_b, width, height, pitch);
    const double n = static_cast<double>(width) * static_cast<double>(height);
    return {OracleFromMoments(n, exact.y, literal.y), OracleFromMoments(n, exact.cb, literal.cb),
            OracleFromMoments(n, exact.cr, literal.cr)};
}

// The mean of per-frame values as a range measurement takes it: added in frame order, then
// divided by the count F. Each mean rounds F times, the sum of the bounds too: gamma(F + 1)
// of the magnitudes added.
class SsimOracleMean {
public:
    void Add(const SsimOracleTriple& frame) {
        Add(sums_.y, frame.y);
        Add(sums_.cb, frame.cb);
        Add(sums_.cr, frame.cr);
        ++count_;
    }
    SsimOracleTriple Mean() const { return {Mean(sums_.y), Mean(sums_.cb), Mean(sums_.cr)}; }

private:
    struct Sums {
        SsimOracle values;
        double magnitudes = 0.0;
    };
    static void Add(Sums& sums, const SsimOracle& frame) {
        sums.values.literal += frame.literal;
        sums.values.exact += frame.exact;
        sums.values.bound += frame.bound;
        sums.magnitudes += std::fabs(frame.literal) + std::fabs(frame.exact) + frame.bound;
    }
    SsimOracle Mean(const Sums& sums) const {
        const double count = count_;
        return {sums.values.literal / count, sums.values.exact / count,
                (sums.values.bound + Gamma(count + 1) * sums.magnitudes) / count};
    }

    ChannelTriple<Sums> sums_;
    int count_ = 0;
};

// Empty when `shown` is what the oracles promise of one value; otherwise what is wrong.
inline std::string CheckShownSsim(const SsimOracle& o, std::string_view shown) {
    char why[300];
    const MeasureText literal = FormatMeasure(o.literal), exact = FormatMeasure(o.exact);
    const std::string text(shown);
    if (!(std::fabs(o.exact - o.literal) <= o.bound)) {
        std::snprintf(why, sizeof why,
                      "the exact value %.17g lies %.3g from the literal %.17g, beyond the bound "
                      "%.3g",
                      o.exact, std::fabs(o.exact - o.literal), o.literal, o.bound);
    } else if (FormatMeasure(o.literal - o.bound) == FormatMeasure(o.literal + o.bound)) {
        if (shown == literal) return {};
        std::snprintf(why, sizeof why, "shown \"%s\", the literal algorithm's \"%s\"",
                      text.c_str(), literal.c_str());
    } else {
        if (shown == exact) return {};
        std::snprintf(why, sizeof why,
                      "shown \"%s\", the exact moments' \"%s\" (the literal \"%s\" lies within "
                      "%.3g of zero or a rounding boundary)",
                      text.c_str(), exact.c_str(), literal.c_str(), o.bound);
    }
    return why;
}

inline std::string Joined(std::initializer_list<std::string_view> pieces) {
    std::string text;
    for (const std::string_view piece : pieces) text.append(piece);
    return text;
}

// The values of an SSIM line, "y cb cr " (each followed by its space), against the oracles.
inline std::string CheckShownSsimValues(const SsimOracleTriple& oracles, std::string_view values) {
    const SsimOracle* const channels[3] = {&oracles.y, &oracles.cb, &oracles.cr};
    const char* const names[3] = {"y", "cb", "cr"};
    for (int ch = 0; ch < 3; ++ch) {
        const size_t space = values.find(' ');
        if (space == std::string_view::npos || space == 0)
            return Joined({"\"", values, "\" is not three values, each with its space"});
        const std::string why = CheckShownSsim(*channels[ch], values.substr(0, space));
        if (!why.empty()) return Joined({names[ch], ": ", why});
        values.remove_prefix(space + 1);
    }
    if (!values.empty()) return Joined({"\"", values, "\" after the three values"});
    return {};
}

// "y cb cr " as the exact moments show them, for a failure message.
inline std::string ExactSsimValues(const SsimOracleTriple& oracles) {
    std::string values;
    for (const SsimOracle* channel : {&oracles.y, &oracles.cb, &oracles.cr})
        values.append(FormatMeasure(channel->exact)).append(1, ' ');
    return values;
}

}  // namespace morvith::testing
