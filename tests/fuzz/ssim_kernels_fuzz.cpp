// The SSIM kernels of every path against the scalar reference and plain 64-bit sums: the
// five sums of every channel are exact integers and must be identical. The moments made
// from them are held to the literal two-pass moments (within rounding), and every value
// shown to six digits must be the literal one's.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include <omp.h>

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
                      "%s sums a %lld b %lld aa %lld bb %lld ab %lld, expected %lld %lld %lld "
                      "%lld %lld",
                      kChannelNames[ch], static_cast<long long>(s.a), static_cast<long long>(s.b),
                      static_cast<long long>(s.aa), static_cast<long long>(s.bb),
                      static_cast<long long>(s.ab), static_cast<long long>(e.a),
                      static_cast<long long>(e.b), static_cast<long long>(e.aa),
                      static_cast<long long>(e.bb), static_cast<long long>(e.ab));
        Fail(c, run, what);
    }
}

void ExpectLiteralMoments(const Case& c, const PathRun& run, int channel, const SsimMoments& m,
                          const SsimMoments& literal) {
    const auto near = [&](double value, double expected) {
        return std::fabs(value - expected) <= testing::MomentTolerance(literal, expected);
    };
    if (m.mean_a == literal.mean_a && m.mean_b == literal.mean_b &&
        near(m.variance_a, literal.variance_a) && near(m.variance_b, literal.variance_b) &&
        near(m.covariance, literal.covariance) &&
        FormatMeasure(SsimFromMoments(m)) == FormatMeasure(SsimFromMoments(literal))) {
        return;
    }
    char what[400];
    std::snprintf(what, sizeof what,
                  "%s moments %.17g %.17g %.17g %.17g %.17g, literal %.17g %.17g %.17g %.17g "
                  "%.17g",
                  kChannelNames[channel], m.mean_a, m.mean_b, m.variance_a, m.variance_b,
                  m.covariance, literal.mean_a, literal.mean_b, literal.variance_a,
                  literal.variance_b, literal.covariance);
    Fail(c, run, what);
}

}  // namespace
}  // namespace morvith::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace morvith;
    using namespace morvith::fuzz;
    const Case c = Case::Decode(data, size);
    omp_set_num_threads(c.team_size);
    const PathRun reference_run{KernelPath::Scalar, &ScalarRowKernels(), false};
    const MomentSumsTriple reference = SumMomentsWith(ScalarRowKernels(), c.a->first(),
                                                      c.b->first(), c.width, c.height, c.pitch,
                                                      false);
    ExpectSumsIdentical(c, reference_run, reference, PlainMomentSums(c));
    for (const PathRun& run : PathsToCheck(c)) {
        ExpectSumsIdentical(c, run,
                            SumMomentsWith(*run.kernels, c.a->first(), c.b->first(), c.width,
                                           c.height, c.pitch, run.parallel),
                            reference);
    }
    const SsimMomentsTriple moments = MeasureSsimMomentsReference(
        c.a->first(), c.b->first(), c.width, c.height, c.pitch, false);
    const SsimMomentsTriple literal = testing::LiteralTwoPassMoments(
        c.a->first(), c.b->first(), c.width, c.height, c.pitch);
    for (int ch = 0; ch < 3; ++ch) {
        ExpectLiteralMoments(c, reference_run, ch, Channel(moments, ch), Channel(literal, ch));
    }
    return 0;
}
