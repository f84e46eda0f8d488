// Measures neighbouring frames of the built-in clip with the core and prints the lines
// the plug-ins would show.

#include <cstdio>

#include "psnr.h"
#include "result_line.h"
#include "sample_clip.h"
#include "ssim.h"
#include "stopwatch.h"

using namespace morvith;

int main() {
    for (int frame = 0; frame < 3; ++frame) {
        const standin::Picture a = standin::SampleFrame(frame, 640, 360);
        const standin::Picture b = standin::SampleFrame(frame + 1, 640, 360);
        Stopwatch stopwatch;
        stopwatch.Start();
        const SquaredErrorTriple sse = SumSquaredError(a.samples.data(), b.samples.data(), a.width, a.height, a.width, false);
        const double psnr_ms = stopwatch.Stop();
        std::printf("frame %d against %d, PSNR: %s\n", frame, frame + 1,
                    ComposePsnrLine(ReadPsnr(sse, a.width * a.height, 1, PsnrForm::LogSum), psnr_ms).c_str());
        stopwatch.Start();
        const SsimMomentsTriple m = MeasureSsimMoments(a.samples.data(), b.samples.data(), a.width, a.height, a.width, false);
        const double ssim_ms = stopwatch.Stop();
        std::printf("frame %d against %d, SSIM: %s\n", frame, frame + 1,
                    ComposeSsimLine({SsimFromMoments(m.y), SsimFromMoments(m.cb), SsimFromMoments(m.cr)}, ssim_ms).c_str());
    }
    return 0;
}
