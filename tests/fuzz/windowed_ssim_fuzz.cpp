// Windowed SSIM on every kernel path, serial and threaded, against the scalar reference,
// and the reference against the literal windows: all of them the same bits, for the peak
// of the plug-ins and for that of 12-bit files. VMAF on the same pictures where they are
// 17 x 17 to 200 wide: B against A after A's reference, a series whose every feature (adm2
// among them) and score must have on every path, serial and threaded, the scalar path's bits.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "fuzz_case.h"
#include "literal_windowed_ssim.h"
#include "row_kernels.h"
#include "vmaf/vmaf.h"
#include "windowed_ssim.h"

namespace morvith::fuzz {
namespace {

bool SameBits(const ChannelTriple<double>& x, const ChannelTriple<double>& y) {
    return std::memcmp(&x, &y, sizeof x) == 0;
}

void ExpectSameBits(const Case& c, const PathRun& run, int peak, const ChannelTriple<double>& values,
                    const ChannelTriple<double>& expected) {
    if (SameBits(values, expected)) return;
    char what[300];
    std::snprintf(what, sizeof what, "peak %d: %.17g %.17g %.17g, expected %.17g %.17g %.17g", peak,
                  values.y, values.cb, values.cr, expected.y, expected.cb, expected.cr);
    Fail(c, run, what);
}

VmafFrame MeasureVmaf(const Case& c, KernelPath path, RowTeam* team) {
    LimitKernelPath(path);
    VmafFrame frame;
    VmafSeries series;
    // Working memory of a few hundred kilobytes: refused only where the process is dying.
    if (!series.Prepare(c.width, c.height)) std::abort();
    series.BeginAfter({c.a->first(), c.pitch}, team);
    series.TakeFrame({c.b->first(), c.pitch}, {c.a->first(), c.pitch}, team, &frame);
    if (!series.End(&frame)) std::abort();
    LimitKernelPath(KernelPath::Avx2);
    return frame;
}

void ExpectSameVmaf(const Case& c, const PathRun& run, const VmafFrame& f, const VmafFrame& expected) {
    if (std::memcmp(&f, &expected, sizeof f) == 0) return;
    char what[300];
    std::snprintf(what, sizeof what, "VMAF %.17g adm2 %.17g motion2 %.17g vif %.17g %.17g %.17g %.17g, expected %.17g",
                  f.score, f.features.adm2, f.features.motion2, f.features.vif_scale[0], f.features.vif_scale[1],
                  f.features.vif_scale[2], f.features.vif_scale[3], expected.score);
    Fail(c, run, what);
}

}  // namespace
}  // namespace morvith::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace morvith;
    using namespace morvith::fuzz;
    const Case c = Case::Decode(data, size, true);
    ThreadTeam team(c.team_size, c.workers_refused ? 0 : -1);
    for (const int peak : {FULL_SCALE, 4095}) {
        const auto measure = [&](const RowKernels& kernels, bool parallel) {
            return MeasureWindowedSsimWith(kernels, c.a->first(), c.b->first(), c.width, c.height,
                                           c.pitch, peak, parallel ? &team : nullptr);
        };
        const ChannelTriple<double> reference = measure(ScalarRowKernels(), false);
        ExpectSameBits(c, kReferenceRun, peak, reference,
                       testing::LiteralWindowedSsim(c.a->first(), c.b->first(), c.width, c.height,
                                                    c.pitch, peak));
        for (const PathRun& run : PathsToCheck(c))
            ExpectSameBits(c, run, peak, measure(*run.kernels, run.parallel), reference);
    }
    // Up to 200 wide: past that a row adds only more of the same vectors, at many times the
    // windows' cost.
    if (c.width >= VMAF_MIN_SIZE && c.height >= VMAF_MIN_SIZE && c.width <= 200) {
        const VmafFrame reference = MeasureVmaf(c, KernelPath::Scalar, nullptr);
        for (const PathRun& run : PathsToCheck(c))
            ExpectSameVmaf(c, run, MeasureVmaf(c, run.path, run.parallel ? &team : nullptr), reference);
    }
    return 0;
}
