// Windowed SSIM on every kernel path, serial and threaded, against the scalar reference,
// and the reference against the literal windows: all of them the same bits, for the peak
// of the plug-ins and for that of 12-bit files. ADM's adm2 on the same pictures, where they
// are large enough: every path the scalar reference's bits.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "fuzz_case.h"
#include "literal_windowed_ssim.h"
#include "row_kernels.h"
#include "vmaf/adm_kernels.h"
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

// Up to 200 wide: past that a row adds only more of the same vectors, at many times the
// windows' cost.
void CheckAdm(const Case& c, ThreadTeam& team) {
    if (c.width < VMAF_MIN_SIZE || c.height < VMAF_MIN_SIZE || c.width > 200) return;
    AdmWorkspace workspace;
    if (!workspace.Prepare(c.width, c.height)) std::abort();
    const LumaPlane a{c.a->first(), c.pitch}, b{c.b->first(), c.pitch};
    const double reference = MeasureAdm2With(ScalarAdmKernels(), a, b, c.width, c.height, workspace, nullptr);
    for (const PathRun& run : PathsToCheck(c)) {
        const double value = MeasureAdm2With(*AdmKernelsFor(run.path), a, b, c.width, c.height, workspace,
                                             run.parallel ? &team : nullptr);
        if (std::memcmp(&value, &reference, sizeof value) == 0) continue;
        char what[100];
        std::snprintf(what, sizeof what, "adm2 %.17g, expected %.17g", value, reference);
        Fail(c, run, what);
    }
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
    CheckAdm(c, team);
    return 0;
}
