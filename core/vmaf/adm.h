#pragma once

// ADM's adm2, the detail-loss feature of VMAF, on the Y of two pictures: four levels of a
// Daubechies-2 wavelet, the distorted detail split into what restores the reference and
// what is added, weighted by contrast sensitivity, masked, and pooled as Minkowski sums.
//
// The wavelet and the 1-degree angle test are float32 operation by operation, as the
// reference implementation rounds them: the test is all-or-nothing, so a different rounding
// there moves adm2 by far more than the rest of the arithmetic. Everything after it is
// double, in one order for every kernel path and every team.

#include <cstdint>

#include "row_team.h"
#include "vmaf/vmaf.h"

namespace morvith {

struct AdmKernels;
struct AdmShare;

// The working memory of one size: the first level streams through a few rows per share of
// the team; only the coarser levels' approximations are kept whole.
class AdmWorkspace {
public:
    AdmWorkspace() = default;
    ~AdmWorkspace() { Release(); }
    AdmWorkspace(const AdmWorkspace&) = delete;
    AdmWorkspace& operator=(const AdmWorkspace&) = delete;

    // Keeps what it has for the same size; false when memory is refused (then holds none).
    // Any size of at least 1 x 1 may be asked for.
    bool Prepare(int width, int height);
    void Release();
    static int64_t WorkingBytes(int width, int height);

private:
    friend double MeasureAdm2With(const AdmKernels&, LumaPlane, LumaPlane, int, int,
                                  AdmWorkspace&, RowTeam*);

    unsigned char* memory_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    float* approximation_[3][2] = {};  // levels 1 .. 3: [level - 1][reference, distorted]
    AdmShare* shares_ = nullptr;
    double* row_sums_ = nullptr;  // six per band row of the finest level
};

// adm2 of the Y planes (width, height >= VMAF_MIN_SIZE), with the workspace prepared for
// that size; NaN, with nothing read, for a smaller size or a workspace not prepared for
// it. Never allocates.
double MeasureAdm2(LumaPlane reference, LumaPlane distorted, int width, int height,
                   AdmWorkspace& workspace, RowTeam* team);

}  // namespace morvith
