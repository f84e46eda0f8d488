#include "vmaf/adm.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <new>

#include "vmaf/adm_kernels.h"

namespace morvith {

namespace {

constexpr int ADM_SCALES = 4;

// The most shares of a level's rows: each keeps its own rows, a quarter of a megabyte at
// 1920 wide.
constexpr int ADM_SHARES = 8;

// The contrast sensitivity weights of H and V, and of D, per level, as the reference
// implementation evaluates them in float32.
constexpr double ADM_WEIGHT_HV[ADM_SCALES] = {0x1.1cc774p-6, 0x1.06050cp-5, 0x1.634f10p-5,
                                              0x1.762816p-5};
constexpr double ADM_WEIGHT_D[ADM_SCALES] = {0x1.820d54p-8, 0x1.d48d46p-7, 0x1.8fb80cp-6,
                                             0x1.008392p-5};

int Half(int n) { return (n + 1) / 2; }

// The wavelet's border: the start mirrors without repeating the edge, the end repeating it.
int Mirror(int k, int n) { return k < 0 ? -k : (k >= n ? 2 * n - 1 - k : k); }

// About a tenth of a band on each side is left out of the pooling.
int Border(int n) { return std::max(0, (n - 5) / 10); }

// Hands out pieces of one allocation, each on a 64-byte boundary of it; without an
// allocation it only counts.
struct Carver {
    unsigned char* base;
    uint64_t used = 0;  // beyond what a 32-bit size holds for a large enough picture

    template <typename T>
    T* Take(uint64_t count) {
        used = (used + 63) & ~uint64_t{63};
        T* piece = base != nullptr ? reinterpret_cast<T*>(base + used) : nullptr;
        used += count * sizeof(T);
        return piece;
    }
};

}  // namespace

// The rows one share of the team streams a level through. Rows of a band are kept in three
// slots, row i in slot i % 3: the masking threshold of a row needs the row above and below.
struct AdmShare {
    float* converted[2][4];  // [picture][input row % 4], the finest level's input
    int converted_row[2][4];
    float* padded[2];           // the vertical pass's low and high rows, with their mirrors
    float* bands[3][2][3];      // [slot][reference, distorted][H, V, D]
    float* approximation[2];    // where rows of A go that no one keeps
    double* masking[3];         // [slot], with mirrors: column j at j + 1
    double* restored[3][3];     // [slot][H, V, D]
};

namespace {

uint64_t Layout(int width, int height, unsigned char* base, float* approximation[3][2],
              AdmShare** shares, double** row_sums) {
    Carver carver{base};
    int level_width = width, level_height = height;
    for (int level = 0; level < ADM_SCALES - 1; ++level) {
        level_width = Half(level_width);
        level_height = Half(level_height);
        for (int picture = 0; picture < 2; ++picture) {
            approximation[level][picture] = carver.Take<float>(uint64_t(level_width) * level_height);
        }
    }
    const int band_width = Half(width);
    *shares = carver.Take<AdmShare>(ADM_SHARES);
    *row_sums = carver.Take<double>(uint64_t{6} * Half(height));
    for (int share = 0; share < ADM_SHARES; ++share) {
        AdmShare s;
        for (auto& rows : s.converted) {
            for (float*& row : rows) row = carver.Take<float>(width);
        }
        for (float*& row : s.padded) row = carver.Take<float>(width + 3);
        for (auto& slot : s.bands) {
            for (auto& picture : slot) {
                for (float*& band : picture) band = carver.Take<float>(band_width);
            }
        }
        for (float*& row : s.approximation) row = carver.Take<float>(band_width);
        for (double*& row : s.masking) row = carver.Take<double>(band_width + 2);
        for (auto& slot : s.restored) {
            for (double*& row : slot) row = carver.Take<double>(band_width);
        }
        if (base != nullptr) (*shares)[share] = s;
    }
    return carver.used;
}

// One level of both pictures.
struct LevelPass {
    const AdmKernels* kernels;
    int input_width, input_height;  // the level's input
    int width, height;              // its bands
    LumaPlane luma[2];              // the finest level's input
    const float* input[2];          // a coarser level's input
    float* output[2];               // the approximations the next level reads, or null
    AdmWeights weights;
    int left, top;
    int shares;
    AdmShare* share_memory;
    double* row_sums;
};

const float* InputRow(const LevelPass& p, AdmShare& s, int picture, int row) {
    if (p.input[picture] != nullptr) {
        return p.input[picture] + static_cast<ptrdiff_t>(row) * p.input_width;
    }
    const int slot = row % 4;
    if (s.converted_row[picture][slot] != row) {
        const LumaPlane& plane = p.luma[picture];
        p.kernels->convert_row(plane.first + static_cast<ptrdiff_t>(row) * plane.pitch,
                               p.input_width, s.converted[picture][slot]);
        s.converted_row[picture][slot] = row;
    }
    return s.converted[picture][slot];
}

void PadRow(float* padded, int n) {
    padded[0] = padded[2];
    padded[n + 1] = padded[n];
    padded[n + 2] = padded[n - 1];
}

// Band row k of both pictures into its slot, and its restored detail and masking sums; the
// approximation row goes to the next level when the share owns it.
void BandRow(const LevelPass& p, AdmShare& s, int k, bool owned) {
    const int slot = k % 3;
    for (int picture = 0; picture < 2; ++picture) {
        const float* rows[4];
        for (int m = 0; m < 4; ++m) {
            rows[m] = InputRow(p, s, picture, Mirror(2 * k - 1 + m, p.input_height));
        }
        p.kernels->vertical(rows, p.input_width, s.padded[0] + 1, s.padded[1] + 1);
        PadRow(s.padded[0], p.input_width);
        PadRow(s.padded[1], p.input_width);
        float* approximation = owned && p.output[picture] != nullptr
                                   ? p.output[picture] + static_cast<ptrdiff_t>(k) * p.width
                                   : s.approximation[picture];
        float* const* bands = s.bands[slot][picture];
        p.kernels->horizontal(s.padded[0], p.width, approximation, bands[1]);
        p.kernels->horizontal(s.padded[1], p.width, bands[0], bands[2]);
    }
    double* masking = s.masking[slot];
    p.kernels->decouple(s.bands[slot][0], s.bands[slot][1], p.width, p.weights,
                        s.restored[slot], masking + 1);
    masking[0] = masking[2];
    masking[p.width + 1] = masking[p.width];
}

void PoolRow(const LevelPass& p, AdmShare& s, int i) {
    if (i < p.top || i >= p.height - p.top) return;
    const double* const masking[3] = {s.masking[Mirror(i - 1, p.height) % 3], s.masking[i % 3],
                                      s.masking[Mirror(i + 1, p.height) % 3]};
    p.kernels->pool(masking, s.restored[i % 3], s.bands[i % 3][0], p.left, p.width - p.left,
                    p.weights, p.row_sums + 6 * static_cast<ptrdiff_t>(i));
}

// Band rows [first, end) of share b, and one row either side for the masking.
void RunShare(const LevelPass& p, int b) {
    const int first = static_cast<int>(int64_t{b} * p.height / p.shares);
    const int end = static_cast<int>(int64_t{b + 1} * p.height / p.shares);
    AdmShare& s = p.share_memory[b];
    for (auto& rows : s.converted_row) std::fill(rows, rows + 4, -1);
    const int stop = std::min(end + 1, p.height);
    for (int k = std::max(first - 1, 0); k < stop; ++k) {
        BandRow(p, s, k, k >= first && k < end);
        if (k - 1 >= first && k - 1 < end) PoolRow(p, s, k - 1);
        if (k == p.height - 1 && k >= first && k < end) PoolRow(p, s, k);
    }
}

}  // namespace

int64_t AdmWorkspace::WorkingBytes(int width, int height) {
    float* approximation[3][2];
    AdmShare* shares;
    double* row_sums;
    return static_cast<int64_t>(Layout(width, height, nullptr, approximation, &shares, &row_sums));
}

bool AdmWorkspace::Prepare(int width, int height) {
    if (memory_ != nullptr && width == width_ && height == height_) return true;
    Release();
    const int64_t bytes = WorkingBytes(width, height);
    if (width < 1 || height < 1 || static_cast<uint64_t>(bytes) > PTRDIFF_MAX) return false;
    // malloc, not a nothrow new: the library's nothrow new wraps the throwing one and
    // pulls the exception runtime into the modules.
    memory_ = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(bytes)));
    if (memory_ == nullptr) return false;
    Layout(width, height, memory_, approximation_, &shares_, &row_sums_);
    width_ = width;
    height_ = height;
    return true;
}

void AdmWorkspace::Release() {
    std::free(memory_);
    memory_ = nullptr;
    width_ = height_ = 0;
}

double MeasureAdm2With(const AdmKernels& kernels, LumaPlane reference, LumaPlane distorted,
                       int width, int height, AdmWorkspace& workspace, RowTeam* team) {
    if (width < VMAF_MIN_SIZE || height < VMAF_MIN_SIZE || width != workspace.width_ ||
        height != workspace.height_) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    double numerator = 0, denominator = 0;
    LevelPass p{};
    p.kernels = &kernels;
    p.input_width = width;
    p.input_height = height;
    p.luma[0] = reference;
    p.luma[1] = distorted;
    p.share_memory = workspace.shares_;
    p.row_sums = workspace.row_sums_;
    for (int scale = 0; scale < ADM_SCALES; ++scale) {
        p.width = Half(p.input_width);
        p.height = Half(p.input_height);
        for (int picture = 0; picture < 2; ++picture) {
            p.input[picture] = scale == 0 ? nullptr : workspace.approximation_[scale - 1][picture];
            p.output[picture] =
                scale + 1 < ADM_SCALES ? workspace.approximation_[scale][picture] : nullptr;
        }
        p.weights = {{ADM_WEIGHT_HV[scale], ADM_WEIGHT_HV[scale], ADM_WEIGHT_D[scale]}};
        p.left = Border(p.width);
        p.top = Border(p.height);
        const int64_t samples = int64_t{p.input_width} * p.input_height;
        p.shares = team == nullptr ? 1
                                   : std::clamp(team->BlocksFor(samples), 1,
                                                std::min(ADM_SHARES, p.height));
        if (p.shares == 1) {
            RunShare(p, 0);
        } else {
            team->RunBlocks(
                p.shares,
                [](void* context, int share) {
                    RunShare(*static_cast<const LevelPass*>(context), share);
                },
                &p);
        }

        // Row by row from the top, whatever the shares.
        double sums[6] = {};
        for (int i = p.top; i < p.height - p.top; ++i) {
            for (int q = 0; q < 6; ++q) sums[q] += p.row_sums[6 * static_cast<ptrdiff_t>(i) + q];
        }
        const double pooled = static_cast<double>(p.width - 2 * p.left) * (p.height - 2 * p.top);
        const double floor = std::cbrt(pooled / 32.0);
        const auto minkowski = [&](const double* three) {
            return ((std::cbrt(three[0]) + floor) + (std::cbrt(three[1]) + floor)) +
                   (std::cbrt(three[2]) + floor);
        };
        numerator += minkowski(sums);
        denominator += minkowski(sums + 3);

        p.input_width = p.width;
        p.input_height = p.height;
    }
    const double negligible = 1e-10 * width * height / (1920.0 * 1080.0);
    if (numerator < negligible) numerator = 0;
    if (denominator < negligible) return 1.0;
    return numerator / denominator;
}

double MeasureAdm2(LumaPlane reference, LumaPlane distorted, int width, int height,
                   AdmWorkspace& workspace, RowTeam* team) {
    return MeasureAdm2With(*AdmKernelsFor(ActiveKernelPath()), reference, distorted, width,
                           height, workspace, team);
}

}  // namespace morvith
