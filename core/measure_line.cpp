#include "measure_line.h"

#include "result_line.h"
#include "ssim.h"
#include "stopwatch.h"

namespace morvith {

std::string MeasurePsnrLine(const RectanglePair& pair, bool parallel, PsnrForm form) {
    Stopwatch stopwatch;
    stopwatch.Start();
    const SquaredErrorTriple sse = SumSquaredError(pair.first_a, pair.first_b, pair.width,
                                                   pair.height, pair.pitch, parallel);
    const double elapsed_ms = stopwatch.Stop();
    return ComposePsnrLine(ReadPsnr(sse, pair.width * pair.height, 1, form), elapsed_ms);
}

std::string MeasureSsimLine(const RectanglePair& pair, bool parallel) {
    Stopwatch stopwatch;
    stopwatch.Start();
    const SsimMomentsTriple moments = MeasureSsimMoments(pair.first_a, pair.first_b, pair.width,
                                                         pair.height, pair.pitch, parallel);
    const double elapsed_ms = stopwatch.Stop();
    return ComposeSsimLine(
        {SsimFromMoments(moments.y), SsimFromMoments(moments.cb), SsimFromMoments(moments.cr)},
        elapsed_ms);
}

}  // namespace morvith
