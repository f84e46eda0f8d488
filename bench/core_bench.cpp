// Times the measurement passes of every kernel path against a plain read of the same
// pictures, side by side in one run: the machines are shared and noisy, so the ratio to
// the read means more than the milliseconds.
//
//   core_bench [--reps N] [--quick] [--pass NAME]
//
// Prints one markdown table. --quick runs the small case once (a smoke run); --pass times
// only that pass ("psnr", "ssim", "windowed ssim", "adm" or "vmaf") beside the read. VMAF is
// timed only when asked for: one frame of a series, B the distorted picture of A, measured
// with a new reference blurred for motion, as each frame after the first is.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "build_team.h"
#include "plain_read.h"
#include "psnr.h"
#include "row_kernels.h"
#include "ssim.h"
#include "vmaf/adm_kernels.h"
#include "vmaf/vmaf.h"

namespace morvith {
namespace {

struct Case {
    const char* name;
    int picture_width;
    int picture_height;
    int width;
    int height;
    int offset_b;  // samples from the first sample of A to that of B, in one picture
};

volatile double sink;

using Clock = std::chrono::steady_clock;

struct Variant {
    std::string operation;  // "read", "psnr", "ssim", "windowed ssim", "vmaf"
    const RowKernels* kernels;
    const char* path;
    bool parallel;
    std::vector<double> times_ms;
    KernelPath kernel_path = KernelPath::Scalar;
    std::shared_ptr<VmafSeries> series;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void RunCase(const Case& c, int reps, const char* only_pass) {
    const size_t samples = static_cast<size_t>(c.picture_width) * c.picture_height;
    std::vector<PixelYC> picture(samples);
    std::vector<PixelYC> second(c.offset_b == 0 ? samples : 0);
    // Video-like samples: A in the host's range, B a little off it.
    uint32_t state = 12345;
    const auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    for (PixelYC& p : picture) {
        p = PixelYC{static_cast<int16_t>(next() % 4097), static_cast<int16_t>(next() % 4097 - 2048),
                    static_cast<int16_t>(next() % 4097 - 2048)};
    }
    for (size_t i = 0; i < second.size(); ++i) {
        const PixelYC& p = picture[i];
        second[i] = PixelYC{static_cast<int16_t>(p.y + static_cast<int>(next() % 9) - 4),
                            static_cast<int16_t>(p.cb + static_cast<int>(next() % 5) - 2),
                            static_cast<int16_t>(p.cr + static_cast<int>(next() % 5) - 2)};
    }
    const PixelYC* first_a = picture.data();
    const PixelYC* first_b = c.offset_b == 0 ? second.data() : picture.data() + c.offset_b;
    const int pitch = c.picture_width;

    RowTeam* const team = &testing::BuildTeam();
    std::vector<Variant> variants;
    for (bool parallel : {false, true}) {
        variants.push_back({"read", nullptr, "-", parallel, {}, KernelPath::Scalar, nullptr});
        for (const char* operation : {"psnr", "ssim", "windowed ssim", "adm", "vmaf"}) {
            if (only_pass != nullptr ? std::strcmp(operation, only_pass) != 0
                                     : std::strcmp(operation, "vmaf") == 0)
                continue;
            for (KernelPath path : {KernelPath::Scalar, KernelPath::Sse2, KernelPath::Avx, KernelPath::Avx2}) {
                const RowKernels* kernels = RowKernelsFor(path);
                if (kernels == nullptr) continue;
                variants.push_back({operation, kernels, KernelPathName(path), parallel, {}, path, nullptr});
                if (std::strcmp(operation, "vmaf") != 0) continue;
                // Each its own series, past its first frame before the timing starts.
                auto series = std::make_shared<VmafSeries>();
                if (!series->Prepare(c.width, c.height)) {
                    std::fprintf(stderr, "no memory for VMAF at %dx%d\n", c.width, c.height);
                    std::exit(1);
                }
                series->Begin();
                VmafFrame frame;
                LimitKernelPath(path);
                series->TakeFrame({first_a, pitch}, {first_b, pitch}, parallel ? team : nullptr, &frame);
                variants.back().series = series;
            }
        }
    }

    AdmWorkspace adm_workspace;
    if (!adm_workspace.Prepare(c.width, c.height)) std::abort();

    // Round robin, so that a noisy moment spreads over every variant alike.
    for (int rep = 0; rep < reps; ++rep) {
        for (Variant& v : variants) {
            RowTeam* const pass_team = v.parallel ? team : nullptr;
            const auto start = Clock::now();
            if (v.operation == "read") {
                sink = ReadBoth(first_a, first_b, c.width, c.height, pitch, pass_team);
            } else if (v.operation == "psnr") {
                sink = static_cast<double>(SumSquaredErrorWith(*v.kernels, first_a, first_b,
                                                               c.width, c.height, pitch,
                                                               pass_team)
                                               .y);
            } else if (v.operation == "vmaf") {
                LimitKernelPath(v.kernel_path);
                VmafFrame frame;
                v.series->TakeFrame({first_a, pitch}, {first_b, pitch}, pass_team, &frame);
                sink = frame.score;
            } else if (v.operation == "adm") {
                sink = MeasureAdm2With(*AdmKernelsFor(v.kernel_path), {first_a, pitch},
                                       {first_b, pitch}, c.width, c.height, adm_workspace, pass_team);
            } else if (v.operation == "windowed ssim") {
                sink = MeasureWindowedSsimWith(*v.kernels, first_a, first_b, c.width, c.height,
                                               pitch, FULL_SCALE, pass_team)
                           .y;
            } else {
                sink = MeasureSsimMomentsWith(*v.kernels, first_a, first_b, c.width, c.height,
                                              pitch, pass_team)
                           .y.covariance;
            }
            const std::chrono::duration<double, std::milli> elapsed = Clock::now() - start;
            v.times_ms.push_back(elapsed.count());
        }
    }

    double read_ms[2] = {0, 0};
    for (const Variant& v : variants)
        if (v.operation == "read") read_ms[v.parallel ? 1 : 0] = Median(v.times_ms);
    // One line per operation and path: serial, then threaded.
    for (const Variant& serial : variants) {
        if (serial.parallel) continue;
        for (const Variant& threaded : variants) {
            if (!threaded.parallel || threaded.operation != serial.operation ||
                threaded.path != serial.path)
                continue;
            const double s = Median(serial.times_ms);
            const double t = Median(threaded.times_ms);
            std::printf("| %s | %s | %s | %.3f | %.2f | %.3f | %.2f |\n", c.name,
                        serial.operation.c_str(), serial.path, s, s / read_ms[0], t,
                        t / read_ms[1]);
        }
    }
}

}  // namespace
}  // namespace morvith

int main(int argc, char** argv) {
    using morvith::Case;
    int reps = 21;
    bool quick = false;
    const char* only_pass = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--reps") == 0 && i + 1 < argc) {
            reps = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--quick") == 0) {
            quick = true;
        } else if (std::strcmp(argv[i], "--pass") == 0 && i + 1 < argc) {
            only_pass = argv[++i];
        } else {
            std::fprintf(stderr, "usage: core_bench [--reps N] [--quick] [--pass NAME]\n");
            return 2;
        }
    }
    const Case cases[] = {
        {"1920x1080 frames", 1920, 1080, 1920, 1080, 0},
        {"3840x2160 frames", 3840, 2160, 3840, 2160, 0},
        // Two halves of a side-by-side picture: B 1920 samples right of A.
        {"640x480 rectangles", 3840, 1080, 640, 480, 1920 + 64 * 3840},
    };
    std::printf("| pair | pass | kernels | serial ms | x read | threaded ms | x read |\n");
    std::printf("|---|---|---|---:|---:|---:|---:|\n");
    for (const Case& c : cases) {
        if (quick && c.width != 640) continue;
        morvith::RunCase(c, quick ? 1 : reps, only_pass);
    }
    return 0;
}
