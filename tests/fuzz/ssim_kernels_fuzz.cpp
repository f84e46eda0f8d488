// The SSIM kernels of every path against the scalar reference. Pass one sums integers, so
// its means must be identical (and equal to plain 64-bit sums over N); pass two sums
// doubles in another order and with the integer-centred correction, so its moments must
// stay within the bound the kernel tests hold every path to.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include <omp.h>

#include "fuzz_case.h"
#include "ssim.h"

namespace morvith::fuzz {
namespace {

struct PlainMeans {
    double a[3];
    double b[3];
};

MORVITH_FUZZ_HARNESS PlainMeans PlainChannelMeans(const Case& c) {
    int64_t sum_a[3] = {0, 0, 0};
    int64_t sum_b[3] = {0, 0, 0};
    for (int r = 0; r < c.height; ++r) {
        for (int col = 0; col < c.width; ++col) {
            const PixelYC& a = c.a->at(col, r);
            const PixelYC& b = c.b->at(col, r);
            sum_a[0] += a.y, sum_a[1] += a.cb, sum_a[2] += a.cr;
            sum_b[0] += b.y, sum_b[1] += b.cb, sum_b[2] += b.cr;
        }
    }
    const double n = static_cast<double>(c.width) * static_cast<double>(c.height);
    PlainMeans means;
    for (int ch = 0; ch < 3; ++ch) {
        means.a[ch] = static_cast<double>(sum_a[ch]) / n;
        means.b[ch] = static_cast<double>(sum_b[ch]) / n;
    }
    return means;
}

const char* const kChannelNames[3] = {"y", "cb", "cr"};

void ExpectMeansIdentical(const Case& c, const PathRun& run, int channel, const SsimMoments& m,
                          double mean_a, double mean_b) {
    if (m.mean_a == mean_a && m.mean_b == mean_b) return;
    char what[200];
    std::snprintf(what, sizeof what, "%s means %.17g %.17g, expected %.17g %.17g",
                  kChannelNames[channel], m.mean_a, m.mean_b, mean_a, mean_b);
    Fail(c, run, what);
}

// Relative to the moment's own size or, for a covariance that cancels towards zero, to
// the geometric mean of the two variances.
void ExpectMomentsNear(const Case& c, const PathRun& run, int channel, const SsimMoments& m,
                       const SsimMoments& reference) {
    const double spread = std::sqrt(reference.variance_a * reference.variance_b);
    const auto near = [&](double value, double expected) {
        const double scale = std::max({std::fabs(expected), spread, 1e-2});
        return std::fabs(value - expected) <= 1e-10 * scale;
    };
    if (near(m.variance_a, reference.variance_a) && near(m.variance_b, reference.variance_b) &&
        near(m.covariance, reference.covariance)) {
        return;
    }
    char what[300];
    std::snprintf(what, sizeof what,
                  "%s variances and covariance %.17g %.17g %.17g, expected %.17g %.17g %.17g",
                  kChannelNames[channel], m.variance_a, m.variance_b, m.covariance,
                  reference.variance_a, reference.variance_b, reference.covariance);
    Fail(c, run, what);
}

const SsimMoments& Channel(const SsimMomentsTriple& t, int channel) {
    return channel == 0 ? t.y : channel == 1 ? t.cb : t.cr;
}

}  // namespace
}  // namespace morvith::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace morvith;
    using namespace morvith::fuzz;
    const Case c = Case::Decode(data, size);
    omp_set_num_threads(c.team_size);
    const SsimMomentsTriple reference = MeasureSsimMomentsReference(
        c.a->first(), c.b->first(), c.width, c.height, c.pitch, false);
    const PlainMeans plain = PlainChannelMeans(c);
    const PathRun reference_run{KernelPath::Scalar, &ScalarRowKernels(), false};
    for (int ch = 0; ch < 3; ++ch) {
        ExpectMeansIdentical(c, reference_run, ch, Channel(reference, ch), plain.a[ch],
                             plain.b[ch]);
    }
    for (const PathRun& run : PathsToCheck(c)) {
        const SsimMomentsTriple moments = MeasureSsimMomentsWith(
            *run.kernels, c.a->first(), c.b->first(), c.width, c.height, c.pitch, run.parallel);
        for (int ch = 0; ch < 3; ++ch) {
            const SsimMoments& expected = Channel(reference, ch);
            ExpectMeansIdentical(c, run, ch, Channel(moments, ch), expected.mean_a,
                                 expected.mean_b);
            ExpectMomentsNear(c, run, ch, Channel(moments, ch), expected);
        }
    }
    return 0;
}
