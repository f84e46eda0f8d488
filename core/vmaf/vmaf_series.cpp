#include <cstdint>
#include <cstdlib>
#include <new>

#include "vmaf/adm.h"
#include "vmaf/motion.h"
#include "vmaf/vif.h"
#include "vmaf/vmaf.h"
#include "vmaf/vmaf_kernels.h"

namespace morvith {

// A frame's pair is measured as it is taken; its score waits for the next frame's motion.
struct VmafSeries::State {
    int width = 0;
    int height = 0;
    void* memory = nullptr;
    VifWorkspace vif;
    MotionWorkspace motion;
    AdmWorkspace adm;
    int blurred = 0;          // the motion plane holding the last reference blurred
    bool has_before = false;  // a reference has been blurred in this series
    bool pending = false;
    VmafFeatures pending_features;
    double pending_motion = 0;

    // Both workspaces laid over `base`, or only counted when it is null.
    int64_t Lay(unsigned char* base) {
        vmaf_rows::WorkArea area(base);
        vif.Lay(area, width, height);
        motion.Lay(area, width, height);
        return area.used();
    }

    // Completes the pending frame with the motion of the frame after it.
    bool Complete(double motion_after, VmafFrame* completed) {
        if (!pending) return false;
        pending_features.motion2 = motion_after < pending_motion ? motion_after : pending_motion;
        pending = false;
        if (completed != nullptr) {
            completed->features = pending_features;
            completed->score = VmafScore(pending_features);
        }
        return true;
    }

    // The plane for the next reference blurred: the other one, when this one holds the
    // reference before it.
    int NextPlane() const { return has_before ? 1 - blurred : blurred; }

    // The motion of the reference just blurred into `plane`.
    double MotionInto(int plane, RowTeam* team) {
        const double m = has_before ? motion.MeanAbsoluteDifference(ActiveVmafKernels(),
                                                                      blurred, plane, team)
                                    : 0.0;
        blurred = plane;
        has_before = true;
        return m;
    }

    double BlurNext(LumaPlane reference, RowTeam* team) {
        const int plane = NextPlane();
        motion.Blur(ActiveVmafKernels(), reference, plane, team);
        return MotionInto(plane, team);
    }
};

namespace {

constexpr int64_t ALIGNMENT = 64;

bool SizeAccepted(int width, int height) {
    return width >= VMAF_MIN_SIZE && height >= VMAF_MIN_SIZE;
}

}  // namespace

VmafSeries::VmafSeries() = default;

VmafSeries::~VmafSeries() { Release(); }

int64_t VmafSeries::WorkingBytes(int width, int height) {
    if (!SizeAccepted(width, height)) return 0;
    State counting;
    counting.width = width;
    counting.height = height;
    return counting.Lay(nullptr) + ALIGNMENT + static_cast<int64_t>(sizeof(State)) +
           AdmWorkspace::WorkingBytes(width, height);
}

bool VmafSeries::Prepare(int width, int height) {
    if (state_ != nullptr && state_->width == width && state_->height == height) return true;
    Release();
    if (!SizeAccepted(width, height)) return false;
    // The largest picture the host makes needs a small fraction of this; a 32-bit process
    // cannot address more anyway.
    const int64_t bytes = WorkingBytes(width, height);
    if (bytes > (int64_t{1} << 31) - 1 || static_cast<uint64_t>(bytes) > SIZE_MAX / 2) return false;
    // malloc, not a nothrow new: the library's nothrow new wraps the throwing one and
    // pulls the exception runtime into the modules.
    void* const state_memory = std::malloc(sizeof(State));
    if (state_memory == nullptr) return false;
    State* state = new (state_memory) State;
    state->width = width;
    state->height = height;
    const int64_t laid = state->Lay(nullptr);
    state->memory = std::malloc(static_cast<size_t>(laid + ALIGNMENT));
    if (state->memory == nullptr || !state->adm.Prepare(width, height)) {
        std::free(state->memory);
        state->~State();
        std::free(state);
        return false;
    }
    const uintptr_t address = reinterpret_cast<uintptr_t>(state->memory);
    state->Lay(reinterpret_cast<unsigned char*>((address + ALIGNMENT - 1) &
                                                ~static_cast<uintptr_t>(ALIGNMENT - 1)));
    state_ = state;
    return true;
}

void VmafSeries::Release() {
    if (state_ == nullptr) return;
    std::free(state_->memory);
    state_->~State();
    std::free(state_);
    state_ = nullptr;
}

void VmafSeries::Begin() {
    if (state_ == nullptr) return;
    state_->has_before = false;
    state_->pending = false;
}

void VmafSeries::BeginAfter(LumaPlane reference_before, RowTeam* team) {
    Begin();
    if (state_ == nullptr) return;
    state_->BlurNext(reference_before, team);
}

bool VmafSeries::TakeFrame(LumaPlane reference, LumaPlane distorted, RowTeam* team,
                           VmafFrame* completed) {
    if (state_ == nullptr) return false;
    State& s = *state_;
    VmafFeatures features;
    features.adm2 = MeasureAdm2(reference, distorted, s.width, s.height, s.adm, team);
    const int plane = s.NextPlane();
    s.vif.Measure(ActiveVmafKernels(), reference, distorted, s.motion.Plane(plane), team,
                  features.vif_scale);
    const double m = s.MotionInto(plane, team);
    const bool done = s.Complete(m, completed);
    s.pending = true;
    s.pending_features = features;
    s.pending_motion = m;
    return done;
}

bool VmafSeries::EndBefore(LumaPlane reference_after, RowTeam* team, VmafFrame* last) {
    if (state_ == nullptr || !state_->pending) return false;
    return state_->Complete(state_->BlurNext(reference_after, team), last);
}

bool VmafSeries::End(VmafFrame* last) {
    if (state_ == nullptr) return false;
    return state_->Complete(state_->pending_motion, last);
}

}  // namespace morvith

namespace morvith {

VmafSummary SummarizeVmaf(const double* scores, int count) {
    VmafSummary summary{0, 0, scores[0], scores[0]};
    double sum = 0;
    double inverse_sum = 0;
    for (int t = 0; t < count; ++t) {
        sum += scores[t];
        inverse_sum += 1 / (scores[t] + 1);
        summary.min = scores[t] < summary.min ? scores[t] : summary.min;
        summary.max = scores[t] > summary.max ? scores[t] : summary.max;
    }
    summary.mean = sum / count;
    summary.harmonic_mean = count / inverse_sum - 1;
    return summary;
}

}  // namespace morvith
