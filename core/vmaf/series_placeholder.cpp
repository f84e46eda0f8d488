// Stands in for the VMAF core until it lands: numbers that follow the pictures (means of
// Y) through the same sequence of calls, so that the plug-ins' order of pictures can be
// built and tested against the real interface. Not VMAF.

#include <cstdlib>
#include <new>

#include "vmaf.h"

namespace morvith {
namespace {

struct PlaceholderState {
    int width = 0;
    int height = 0;
    bool has_previous = false;
    double previous_mean = 0;
    bool pending = false;
    VmafFrame frame;
    double frame_motion = 0;
    double frame_mean = 0;
};

PlaceholderState state;
void* working = nullptr;

double MeanY(LumaPlane plane) {
    double sum = 0;
    for (int r = 0; r < state.height; ++r)
        for (int c = 0; c < state.width; ++c) sum += plane.first[r * plane.pitch + c].y;
    return sum / (static_cast<double>(state.width) * state.height);
}

double Diff(double a, double b) { return a > b ? a - b : b - a; }

}  // namespace

double VmafScore(const VmafFeatures& f) {
    double score = 50 + f.adm2 * 10 - f.vif_scale[0] * 10 + f.motion2 * 0.01;
    return score < 0 ? 0 : score > 100 ? 100 : score;
}

VmafSeries::VmafSeries() = default;
VmafSeries::~VmafSeries() { Release(); }

int64_t VmafSeries::WorkingBytes(int width, int height) { return int64_t{width} * height * 4; }

bool VmafSeries::Prepare(int width, int height) {
    if (working != nullptr && width == state.width && height == state.height) return true;
    Release();
    working = std::malloc(static_cast<size_t>(WorkingBytes(width, height)));
    if (working == nullptr) return false;
    state.width = width;
    state.height = height;
    return true;
}

void VmafSeries::Release() {
    std::free(working);
    working = nullptr;
}

void VmafSeries::Begin() {
    state.has_previous = false;
    state.pending = false;
}

void VmafSeries::BeginAfter(LumaPlane reference_before, RowTeam*) {
    state.previous_mean = MeanY(reference_before);
    state.has_previous = true;
    state.pending = false;
}

bool VmafSeries::TakeFrame(LumaPlane reference, LumaPlane distorted, RowTeam*,
                           VmafFrame* completed) {
    const double mean = MeanY(reference);
    const bool completes = state.pending;
    if (completes) {
        const double next = Diff(mean, state.frame_mean);
        state.frame.features.motion2 = next < state.frame_motion ? next : state.frame_motion;
        state.frame.score = VmafScore(state.frame.features);
        *completed = state.frame;
    }
    state.frame = {};
    state.frame.features.adm2 = MeanY(distorted) / FULL_SCALE;
    state.frame.features.vif_scale[0] = mean / FULL_SCALE;
    state.frame_motion = state.has_previous ? Diff(mean, state.previous_mean) : 0;
    state.frame_mean = mean;
    state.previous_mean = mean;
    state.has_previous = true;
    state.pending = true;
    return completes;
}

bool VmafSeries::EndBefore(LumaPlane reference_after, RowTeam*, VmafFrame* last) {
    if (!state.pending) return false;
    const double next = Diff(MeanY(reference_after), state.frame_mean);
    state.frame.features.motion2 = next < state.frame_motion ? next : state.frame_motion;
    state.frame.score = VmafScore(state.frame.features);
    *last = state.frame;
    state.pending = false;
    return true;
}

bool VmafSeries::End(VmafFrame* last) {
    if (!state.pending) return false;
    state.frame.features.motion2 = state.frame_motion;
    state.frame.score = VmafScore(state.frame.features);
    *last = state.frame;
    state.pending = false;
    return true;
}

}  // namespace morvith
