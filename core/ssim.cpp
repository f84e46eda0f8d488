#include "ssim.h"

#include <cstddef>

#include "row_loop.h"
#include "wide_integer.h"

namespace morvith {

namespace {

// N^2 variance = N S(aa) - S(a)^2 and N^2 covariance = N S(ab) - S(a) S(b), exactly, in
// integers: nothing cancels, so the moments need neither a second pass nor doubles. With
// N < 2^32 and S(aa) < 2^62 each term is below 2^94. The exact difference is rounded once
// to a double and once more by the division: N^2 is itself exact up to 94906265 samples
// (eleven 4K pictures), beyond which it adds a third rounding.
double CentredMoment(int64_t n, int64_t sum_products, int64_t sum_first, int64_t sum_second) {
    const double count = static_cast<double>(n);
    return NearestDouble(MultiplyWide(n, sum_products) - MultiplyWide(sum_first, sum_second)) /
           (count * count);
}

SsimMoments MomentsFromSums(const MomentSums& s, int64_t n) {
    const double count = static_cast<double>(n);
    return SsimMoments{
        static_cast<double>(s.a) / count,
        static_cast<double>(s.b) / count,
        CentredMoment(n, s.aa, s.a, s.a),
        CentredMoment(n, s.bb, s.b, s.b),
        CentredMoment(n, s.ab, s.a, s.b),
    };
}

}  // namespace

MomentSumsTriple SumMomentsWith(const RowKernels& kernels, const PixelYC* first_a,
                                const PixelYC* first_b, int width, int height, int pitch,
                                RowTeam* team) {
    const auto row = kernels.moment_sum_row;
    return SumOverRows<MomentSumsTriple>(width, height, team, [&](int r, MomentSumsTriple& sums) {
        const ptrdiff_t offset = static_cast<ptrdiff_t>(r) * pitch;
        row(first_a + offset, first_b + offset, width, sums);
    });
}

SsimMomentsTriple MeasureSsimMomentsWith(const RowKernels& kernels, const PixelYC* first_a,
                                         const PixelYC* first_b, int width, int height,
                                         int pitch, RowTeam* team) {
    const MomentSumsTriple sums =
        SumMomentsWith(kernels, first_a, first_b, width, height, pitch, team);
    const int64_t n = int64_t{width} * height;
    return {MomentsFromSums(sums.y, n), MomentsFromSums(sums.cb, n), MomentsFromSums(sums.cr, n)};
}

SsimMomentsTriple MeasureSsimMomentsReference(const PixelYC* first_a, const PixelYC* first_b,
                                              int width, int height, int pitch, RowTeam* team) {
    return MeasureSsimMomentsWith(ScalarRowKernels(), first_a, first_b, width, height, pitch,
                                  team);
}

SsimMomentsTriple MeasureSsimMoments(const PixelYC* first_a, const PixelYC* first_b, int width,
                                     int height, int pitch, RowTeam* team) {
    return MeasureSsimMomentsWith(ActiveRowKernels(), first_a, first_b, width, height, pitch,
                                  team);
}

double SsimFromMoments(const SsimMoments& m) {
    const double mean_numerator = (2.0 * m.mean_a) * m.mean_b + SSIM_C1;
    const double structure_numerator = 2.0 * m.covariance + SSIM_C2;
    const double mean_denominator = (m.mean_b * m.mean_b + m.mean_a * m.mean_a) + SSIM_C1;
    const double structure_denominator = (m.variance_b + m.variance_a) + SSIM_C2;
    return ((mean_numerator * structure_numerator) / mean_denominator) / structure_denominator;
}

}  // namespace morvith
