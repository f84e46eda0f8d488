// Times the real plug-in modules in the stand-in host, as users feel them: the milliseconds
// that the module itself shows in its title (the passes only) and the wall time of the
// whole ProcessFrame call (with the host's copies). The floor of each row is a read of the
// very pictures the module measures, in the same state: a module of the benchmark's own
// (read_plugin.cpp) is handed the same clip by a host of its own, obtains its pictures as
// the measured module does (the host's fresh copies, the fetched frame among them) and
// times a plain read of them as the module times its passes; the two take turns, call by
// call, in the same run. morvith is timed at 640x480, 1920x1080 and 3840x2160, serial and
// with its multithread checkbox, each against the serial read; VMAF at 1920x1080 only. Then a range of
// morvith_ex with the Esc key read from the system before every fetch, against the same
// range with the module's key-state import answered by the host without a system call.
//
// The modules pinned at a kernel path (built with MORVITH_CAPPED_MODULES) follow, each
// pair after --path and the path's name; the shipped pair choose by CPUID.
//
//   module_bench MORVITH_AUF MORVITH_EX_AUF [--reps N] [--path NAME MORVITH_AUF MORVITH_EX_AUF]...

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "standin_host.h"

namespace morvith {
namespace {

using standin::Picture;
using standin::StandInHost;
using Clock = std::chrono::steady_clock;

volatile uint32_t sink;

// The reading modules' first slider: what to read, as which module obtains it.
constexpr int READ_FRAMES = 0;      // the current frame and the next, fetched
constexpr int READ_RECTANGLES = 1;  // two rectangles of the current frame

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The milliseconds at the end of a result line, "...  1.234[ms]".
double TitleMilliseconds(const std::string& title) {
    const size_t end = title.rfind("[ms]");
    const size_t start = title.rfind(' ', end);
    if (end == std::string::npos || start == std::string::npos) return -1;
    return std::atof(title.substr(start + 1, end - start - 1).c_str());
}

// Video-like samples; the second picture of a pair a little off the first.
Picture VideoPicture(int width, int height, uint32_t seed, const Picture* base) {
    Picture picture{width, height, std::vector<PixelYC>(static_cast<size_t>(width) * height)};
    uint32_t state = seed;
    const auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    for (size_t i = 0; i < picture.samples.size(); ++i) {
        if (base != nullptr) {
            const PixelYC& p = base->samples[i];
            picture.samples[i] = PixelYC{static_cast<int16_t>(p.y + static_cast<int>(next() % 9) - 4),
                                         static_cast<int16_t>(p.cb + static_cast<int>(next() % 5) - 2),
                                         static_cast<int16_t>(p.cr + static_cast<int>(next() % 5) - 2)};
        } else {
            picture.samples[i] = PixelYC{static_cast<int16_t>(next() % 4097),
                                         static_cast<int16_t>(next() % 4097 - 2048),
                                         static_cast<int16_t>(next() % 4097 - 2048)};
        }
    }
    return picture;
}

// One module setting, timed against the reading module on the same pictures.
struct Run {
    std::string name;
    StandInHost* host;
    std::vector<std::pair<int, int>> sliders;
    std::vector<std::pair<int, int>> checkboxes;
    StandInHost* read_host = nullptr;
    std::vector<std::pair<int, int>> read_sliders;
    std::vector<double> title_ms;
    std::vector<double> wall_ms;
    std::vector<double> read_ms;
    standin::KeyStateSource key_state = standin::KeyStateSource::Scripted;
};

std::string Name(const char* format, const char* measure, int width, int height, const char* more) {
    char name[120];
    std::snprintf(name, sizeof name, format, measure, width, height, more);
    return name;
}

// A pair of frames for morvith, and the same frames side by side for morvith_ex.
struct Pictures {
    Picture first, second, side_by_side;

    Pictures(int width, int height)
        : first(VideoPicture(width, height, 1, nullptr)),
          second(VideoPicture(width, height, 2, &first)),
          side_by_side{2 * width, height, std::vector<PixelYC>(size_t{2} * width * height)} {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                side_by_side.at(x, y) = first.at(x, y);
                side_by_side.at(width + x, y) = second.at(x, y);
            }
    }
};

void RunOnce(Run& run) {
    for (auto [index, value] : run.sliders) run.host->SetSlider(index, value);
    for (auto [index, value] : run.checkboxes) run.host->SetCheckbox(index, value);
    run.host->SetKeyStateSource(run.key_state);
    const auto start = Clock::now();
    const standin::FrameResult result = run.host->ProcessFrame(0);
    run.wall_ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    run.title_ms.push_back(TitleMilliseconds(result.title));
}

void ReadOnce(Run& run) {
    for (auto [index, value] : run.read_sliders) run.read_host->SetSlider(index, value);
    const double ms = TitleMilliseconds(run.read_host->ProcessFrame(0).title);
    if (ms < 0) {
        std::fprintf(stderr, "module_bench: the reading module could not read the pictures of %s (%s)\n",
                     run.name.c_str(), run.read_host->WindowTitle().c_str());
        std::exit(1);
    }
    run.read_ms.push_back(ms);
}

// The system's GetAsyncKeyState alone, in nanoseconds per call.
double KeyStateCallNanoseconds() {
    constexpr int CALLS = 100000;
    const auto start = Clock::now();
    for (int i = 0; i < CALLS; ++i) sink = sink + static_cast<uint32_t>(GetAsyncKeyState(VK_ESCAPE));
    return std::chrono::duration<double, std::nano>(Clock::now() - start).count() / CALLS;
}

// One build of both modules: its kernel path's name and the two files.
struct Modules {
    const char* path;
    const char* morvith;
    const char* morvith_ex;
};

// Every setting of one pair of modules on pictures of one size, the read timed beside each.
// Each module and each reading module has a host of its own with the same clip.
void TimeModules(const Modules& modules, const Pictures& pictures, int width, int height, int reps) {
    const standin::Clip frames = standin::MakeClip({pictures.first, pictures.second});
    StandInHost morvith_host(standin::HostPath(modules.morvith), frames);
    StandInHost read_host(standin::HostPath(MORVITH_BENCH_READ), frames);
    std::optional<StandInHost> ex_host, read_ex_host;
    if (width == 1920) {
        const standin::Clip side_by_side = standin::MakeClip({pictures.side_by_side});
        ex_host.emplace(standin::HostPath(modules.morvith_ex), side_by_side);
        read_ex_host.emplace(standin::HostPath(MORVITH_BENCH_READ_EX), side_by_side);
    }

    std::vector<Run> runs;
    for (int kind : {1, 2, 3, 4}) {
        // VMAF, the heavy kind, at 1920x1080 only: its reference's neighbour is fetched too,
        // outside the title's time.
        if (kind == 4 && width != 1920) continue;
        const char* measure = kind == 1 ? "PSNR" : kind == 2 ? "SSIM" : kind == 3 ? "windowed SSIM" : "VMAF";
        for (int multithread : {0, 1})
            runs.push_back({Name("morvith %s, %dx%d frames%s", measure, width, height,
                                 multithread ? ", multithread" : ""),
                            &morvith_host,
                            {{0, kind}, {1, 1}},
                            {{0, multithread}},
                            &read_host,
                            {{0, READ_FRAMES}},
                            {}, {}, {}});
        if (!ex_host) continue;
        for (auto [ex_width, ex_height] : {std::pair{1920, 1080}, std::pair{640, 480}}) {
            if (kind == 4 && ex_width != 1920) continue;
            const std::vector<std::pair<int, int>> rectangles{{1, ex_width}, {2, ex_height}, {3, 0},
                                                              {4, 0},        {5, 1920},      {6, 0}};
            Run run{Name("morvith_ex %s, %dx%d rectangles", measure, ex_width, ex_height, ""),
                    &*ex_host,
                    rectangles,
                    {{1, 0}},
                    &*read_ex_host,
                    rectangles,
                    {}, {}, {}};
            run.sliders.push_back({0, kind});
            run.read_sliders.push_back({0, READ_RECTANGLES});
            runs.push_back(std::move(run));
        }
    }

    for (int rep = 0; rep < reps; ++rep) {
        for (Run& run : runs) {
            ReadOnce(run);
            RunOnce(run);
        }
    }
    for (const Run& run : runs) {
        const double read = Median(run.read_ms);
        const double title = Median(run.title_ms);
        std::printf("| %s | %s | %.3f | %.3f | %.2f | %.3f |\n", run.name.c_str(), modules.path, read, title,
                    title / read, Median(run.wall_ms));
    }
}

}  // namespace
}  // namespace morvith

int main(int argc, char** argv) {
    using namespace morvith;
    if (argc < 3) {
        std::fprintf(stderr, "usage: module_bench MORVITH_AUF MORVITH_EX_AUF [--reps N] "
                             "[--path NAME MORVITH_AUF MORVITH_EX_AUF]...\n");
        return 2;
    }
    std::vector<Modules> module_sets{{"cpuid", argv[1], argv[2]}};
    int reps = 15;
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "--reps") == 0 && i + 1 < argc) {
            reps = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--path") == 0 && i + 3 < argc) {
            module_sets.push_back({argv[i + 1], argv[i + 2], argv[i + 3]});
            i += 3;
        } else {
            std::fprintf(stderr, "module_bench: unexpected argument %s\n", argv[i]);
            return 2;
        }
    }

    std::printf("| module, pictures | kernels | read of the same pictures ms | title ms | x read "
                "| ProcessFrame ms, host copies included |\n");
    std::printf("|---|---|---:|---:|---:|---:|\n");
    // morvith: frame 0 against frame 1; morvith_ex: rectangles of the two frames side by side.
    // One size at a time, with one host per module: a second host of the same module would
    // take over its one registration.
    for (const auto& [width, height] : {std::pair{640, 480}, std::pair{1920, 1080}, std::pair{3840, 2160}}) {
        const Pictures pictures(width, height);
        for (const Modules& modules : module_sets)
            TimeModules(modules, pictures, width, height, reps);
    }

    // A range of 16 frames of two 640 x 360 halves: small frames, so that the check weighs
    // as much as it ever can against a frame's fetch and measurement.
    std::vector<std::optional<Picture>> range_frames;
    for (uint32_t i = 0; i < 16; ++i) {
        const Picture left = VideoPicture(640, 360, 10 + i, nullptr);
        const Picture right = VideoPicture(640, 360, 50 + i, &left);
        Picture frame{1280, 360, std::vector<PixelYC>(1280 * 360)};
        for (int y = 0; y < 360; ++y)
            for (int x = 0; x < 640; ++x) {
                frame.at(x, y) = left.at(x, y);
                frame.at(640 + x, y) = right.at(x, y);
            }
        range_frames.push_back(std::move(frame));
    }
    StandInHost range_host(standin::HostPath(argv[2]), standin::MakeClip(std::move(range_frames)));
    std::vector<Run> range_runs;
    for (const auto key_state : {standin::KeyStateSource::Scripted, standin::KeyStateSource::System})
        range_runs.push_back({key_state == standin::KeyStateSource::System
                                  ? "Esc read from the system before each fetch"
                                  : "key-state import answered by the host (no system call)",
                              &range_host,
                              {{0, 1}, {1, 640}, {2, 360}, {3, 0}, {4, 0}, {5, 640}, {6, 0}, {7, 0}, {8, 15}},
                              {{0, 1}, {1, 0}},
                              nullptr,
                              {},
                              {},
                              {},
                              {},
                              key_state});
    std::vector<double> key_state_ns;
    for (int rep = 0; rep < reps; ++rep) {
        key_state_ns.push_back(KeyStateCallNanoseconds());
        for (Run& run : range_runs) RunOnce(run);
    }
    const double base_title = Median(range_runs[0].title_ms);
    const double base_wall = Median(range_runs[0].wall_ms);
    std::printf("\n| morvith_ex PSNR, range of 16 frames of a 640x360 pair | title ms | x no call "
                "| ProcessFrame ms | x no call |\n");
    std::printf("|---|---:|---:|---:|---:|\n");
    for (const Run& run : range_runs) {
        const double title = Median(run.title_ms);
        const double wall = Median(run.wall_ms);
        std::printf("| %s | %.3f | %.3f | %.3f | %.3f |\n", run.name.c_str(), title, title / base_title, wall,
                    wall / base_wall);
    }
    const double per_call_ns = Median(key_state_ns);
    std::printf("\nGetAsyncKeyState: %.1f ns per call, %.5f of a frame's title ms\n", per_call_ns,
                per_call_ns * 1e-6 / (base_title / 16));
    return 0;
}
