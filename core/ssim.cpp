#include "ssim.h"

#include <cstddef>

#include "row_kernels.h"

namespace morvith {
namespace {

void Accumulate(SampleSums& into, const SampleSums& from) {
    into.a_y += from.a_y;
    into.a_cb += from.a_cb;
    into.a_cr += from.a_cr;
    into.b_y += from.b_y;
    into.b_cb += from.b_cb;
    into.b_cr += from.b_cr;
}

void Accumulate(CentredSums& into, const CentredSums& from) {
    into.aa_y += from.aa_y;
    into.bb_y += from.bb_y;
    into.ab_y += from.ab_y;
    into.aa_cb += from.aa_cb;
    into.bb_cb += from.bb_cb;
    into.ab_cb += from.ab_cb;
    into.aa_cr += from.aa_cr;
    into.bb_cr += from.bb_cr;
    into.ab_cr += from.ab_cr;
}

#pragma omp declare reduction(sum : SampleSums : Accumulate(omp_out, omp_in)) \
    initializer(omp_priv = SampleSums{})
#pragma omp declare reduction(sum : CentredSums : Accumulate(omp_out, omp_in)) \
    initializer(omp_priv = CentredSums{})

}  // namespace

SsimMomentsTriple MeasureSsimMomentsWith(const RowKernels& kernels, const PixelYC* first_a,
                                         const PixelYC* first_b, int width, int height,
                                         int pitch, bool parallel) {
    SampleSums sample_sums{};
    const auto sum_row = kernels.sample_sum_row;
#pragma omp parallel for if (parallel) reduction(sum : sample_sums)
    for (int r = 0; r < height; ++r) {
        const ptrdiff_t offset = static_cast<ptrdiff_t>(r) * pitch;
        sum_row(first_a + offset, first_b + offset, width, sample_sums);
    }

    const double n = static_cast<double>(width) * static_cast<double>(height);
    const SampleMeans means{
        static_cast<double>(sample_sums.a_y) / n,  static_cast<double>(sample_sums.a_cb) / n,
        static_cast<double>(sample_sums.a_cr) / n, static_cast<double>(sample_sums.b_y) / n,
        static_cast<double>(sample_sums.b_cb) / n, static_cast<double>(sample_sums.b_cr) / n,
    };

    CentredSums centred{};
    const auto moment_row = kernels.centred_moment_row;
#pragma omp parallel for if (parallel) reduction(sum : centred)
    for (int r = 0; r < height; ++r) {
        const ptrdiff_t offset = static_cast<ptrdiff_t>(r) * pitch;
        moment_row(first_a + offset, first_b + offset, width, means, centred);
    }

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
