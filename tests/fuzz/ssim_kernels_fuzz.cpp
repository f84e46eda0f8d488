// The SSIM kernels of every path against the scalar reference and plain 64-bit sums: the
// five sums of every channel are exact integers and must be identical. The moments made
// from them must be, to the bit, what native 128-bit integers and one rounding make of the
// same sums; they are held to the literal two-pass moments within rounding, and the value
// shown to what the literal algorithm promises of it.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "fuzz_case.h"
#include "literal_ssim.h"
#include "result_line.h"
#include "ssim.h"

namespace morvith::fuzz {
namespace {

MORVITH_FUZZ_HARNESS MomentSumsTriple PlainMomentSums(const Case& c) {
    MomentSums sums[3];
    for (int r = 0; r < c.height; ++r) {
        for (int col = 0; col < c.width; ++col) {
            const PixelYC& a = c.a->at(col, r);
            const PixelYC& b = c.b->at(col, r);
            const int64_t va[3] = {a.y, a.cb, a.cr}, vb[3] = {b.y, b.cb, b.cr};
            for (int ch = 0; ch < 3; ++ch) {
                sums[ch].a += va[ch];
                sums[ch].b += vb[ch];
                sums[ch].aa += va[ch] * va[ch];
                sums[ch].bb += vb[ch] * vb[ch];
                sums[ch].ab += va[ch] * vb[ch];
            }
        }
    }
    return {sums[0], sums[1], sums[2]};
}

// N^2 times a centred moment, rounded once to the nearest double (the conversion from
// __int128 rounds to nearest, ties to even), then divided by N^2.
double NativeCentredMoment(int64_t n, int64_t sum_products, int64_t sum_x, int64_t sum_y) {
    const __int128 scaled = static_cast<__int128>(n) * sum_products -
                            static_cast<__int128>(sum_x) * sum_y;
    const double count = static_cast<double>(n);
    return static_cast<double>(scaled) / (count * count);
}

SsimMoments NativeMoments(const MomentSums& s, int64_t n) {
    const double count = static_cast<double>(n);
    return {static_cast<double>(s.a) / count, static_cast<double>(s.b) / count,
            NativeCentredMoment(n, s.aa, s.a, s.a), NativeCentredMoment(n, s.bb, s.b, s.b),
            NativeCentredMoment(n, s.ab, s.a, s.b)};
}

const char* const kChannelNames[3] = {"y", "cb", "cr"};

template <typename T>
const T& Channel(const ChannelTriple<T>& t, int channel) {
    return channel == 0 ? t.y : channel == 1 ? t.cb : t.cr;
}

void ExpectSumsIdentical(const Case& c, const PathRun& run, const MomentSumsTriple& sums,
                         const MomentSumsTriple& expected) {
    for (int ch = 0; ch < 3; ++ch) {
        const MomentSums& s = Channel(sums, ch);
        const MomentSums& e = Channel(expected, ch);
        if (s == e) continue;
        char what[400];
        std::snprintf(what, sizeof what,
                      "sums: %s a %lld b %lld aa %lld bb %lld ab %lld, expected %lld %lld %lld "
                      "%lld %lld",
                      kChannelNames[ch], static_cast<long long>(s.a), static_cast<long long>(s.b),
                      static_cast<long long>(s.aa), static_cast<long long>(s.bb),
                      static_cast<long long>(s.ab), static_cast<long long>(e.a),
                      static_cast<long long>(e.b), static_cast<long long>(e.aa),
                      static_cast<long long>(e.bb), static_cast<long long>(e.ab));
        Fail(c, run, what);
    }
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

[[noreturn]] void FailMoments(const Case& c, int channel, const char* check, const SsimMoments& m,
                              const SsimMoments& expected) {
    char what[500];
    std::snprintf(what, sizeof what,
                  "moments (%s): %s %.17g %.17g %.17g %.17g %.17g, expected %.17g %.17g %.17g "
                  "%.17g %.17g",
                  check, kChannelNames[channel], m.mean_a, m.mean_b, m.variance_a, m.variance_b,
                  m.covariance, expected.mean_a, expected.mean_b, expected.variance_a,
                  expected.variance_b, expected.covariance);
    Fail(c, kReferenceRun, what);
}

void ExpectMoments(const Case& c, int channel, const SsimMoments& m, const SsimMoments& native,
                   const SsimMoments& literal) {
    if (!SameBits(m.mean_a, native.mean_a) || !SameBits(m.mean_b, native.mean_b) ||
        !SameBits(m.variance_a, native.variance_a) || !SameBits(m.variance_b, native.variance_b) ||
        !SameBits(m.covariance, native.covariance)) {
        FailMoments(c, channel, "to the bit, against native 128-bit integers", m, native);
    }
    const auto near = [&](double value, double expected) {
        return std::fabs(value - expected) <= testing::MomentTolerance(literal, expected);
    };
    if (m.mean_a != literal.mean_a || m.mean_b != literal.mean_b ||
        !near(m.variance_a, literal.variance_a) || !near(m.variance_b, literal.variance_b) ||
        !near(m.covariance, literal.covariance)) {
        FailMoments(c, channel, "within rounding, against the literal two-pass", m, literal);
    }
}

}  // namespace
}  // namespace morvith::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace morvith;
    using namespace morvith::fuzz;
    const Case c = Case::Decode(data, size);
    const MomentSumsTriple sums =
        ReferenceSumsCheckedOnEveryPath(c, SumMomentsWith, ExpectSumsIdentical, PlainMomentSums);
    const SsimMomentsTriple moments = MeasureSsimMomentsReference(
        c.a->first(), c.b->first(), c.width, c.height, c.pitch, nullptr);
    const SsimMomentsTriple literal = testing::LiteralTwoPassMoments(
        c.a->first(), c.b->first(), c.width, c.height, c.pitch);
    const int64_t n = int64_t{c.width} * c.height;
    for (int ch = 0; ch < 3; ++ch) {
        const SsimMoments& m = Channel(moments, ch);
        ExpectMoments(c, ch, m, NativeMoments(Channel(sums, ch), n), Channel(literal, ch));
        const std::string why = testing::CheckShownSsim(
            testing::OracleFromMoments(static_cast<double>(n), m, Channel(literal, ch)),
            FormatMeasure(SsimFromMoments(m)));
        if (!why.empty()) {
            const std::string what = testing::Joined({"shown text: ", kChannelNames[ch], ": ", why});
            Fail(c, kReferenceRun, what.c_str());
        }
    }
    return 0;
}
