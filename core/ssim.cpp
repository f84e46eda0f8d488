#include "ssim.h"

#include <cstddef>

#include "row_loop.h"

namespace morvith {

SsimMomentsTriple MeasureSsimMomentsWith(const RowKernels& kernels, const PixelYC* first_a,
                                         const PixelYC* first_b, int width, int height,
                                         int pitch, bool parallel) {
    const auto sum_row = kernels.sample_sum_row;
    const SampleSums sample_sums =
        SumOverRows<SampleSums>(height, parallel, [&](int r, SampleSums& sums) {
            const ptrdiff_t offset = static_cast<ptrdiff_t>(r) * pitch;
            sum_row(first_a + offset, first_b + offset, width, sums);
        });

    const double n = static_cast<double>(width) * static_cast<double>(height);
    const SampleMeans means{
        static_cast<double>(sample_sums.a_y) / n,  static_cast<double>(sample_sums.a_cb) / n,
        static_cast<double>(sample_sums.a_cr) / n, static_cast<double>(sample_sums.b_y) / n,
        static_cast<double>(sample_sums.b_cb) / n, static_cast<double>(sample_sums.b_cr) / n,
    };

    const auto moment_row = kernels.centred_moment_row;
    const CentredSums centred =
        SumOverRows<CentredSums>(height, parallel, [&](int r, CentredSums& sums) {
            const ptrdiff_t offset = static_cast<ptrdiff_t>(r) * pitch;
            moment_row(first_a + offset, first_b + offset, width, means, sums);
        });

    return {
        SsimMoments{means.a_y, means.b_y, centred.aa_y / n, centred.bb_y / n, centred.ab_y / n},
        SsimMoments{means.a_cb, means.b_cb, centred.aa_cb / n, centred.bb_cb / n,
                    centred.ab_cb / n},
        SsimMoments{means.a_cr, means.b_cr, centred.aa_cr / n, centred.bb_cr / n,
                    centred.ab_cr / n},
    };
}

SsimMomentsTriple MeasureSsimMomentsReference(const PixelYC* first_a, const PixelYC* first_b,
                                              int width, int height, int pitch, bool parallel) {
    return MeasureSsimMomentsWith(ScalarRowKernels(), first_a, first_b, width, height, pitch,
                                  parallel);
}

SsimMomentsTriple MeasureSsimMoments(const PixelYC* first_a, const PixelYC* first_b, int width,
                                     int height, int pitch, bool parallel) {
    return MeasureSsimMomentsWith(ActiveRowKernels(), first_a, first_b, width, height, pitch,
                                  parallel);
}

double SsimFromMoments(const SsimMoments& m) {
    const double mean_numerator = (2.0 * m.mean_a) * m.mean_b + SSIM_C1;
    const double structure_numerator = 2.0 * m.covariance + SSIM_C2;
    const double mean_denominator = (m.mean_b * m.mean_b + m.mean_a * m.mean_a) + SSIM_C1;
    const double structure_denominator = (m.variance_b + m.variance_a) + SSIM_C2;
    return ((mean_numerator * structure_numerator) / mean_denominator) / structure_denominator;
}

}  // namespace morvith
