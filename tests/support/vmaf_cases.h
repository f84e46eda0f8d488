#pragma once

// The VMAF test clips of tests/data/vmaf: both pictures' Y on the host's scale and the
// values the reference implementation gives for every frame and for the whole clip.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace morvith::testing {

struct VmafPooled {
    double min = 0, max = 0, mean = 0, harmonic_mean = 0;
};

struct VmafCase {
    std::string name;
    int width = 0;
    int height = 0;
    int frame_count = 0;
    // frame_count pictures of width x height samples, rows top to bottom.
    std::vector<int16_t> reference;
    std::vector<int16_t> distorted;
    // Per frame, by name: adm2, motion, motion2, vif_scale0 .. vif_scale3, vmaf_float,
    // vmaf (and the integer features).
    std::vector<std::map<std::string, double>> metrics;
    VmafPooled pooled_vmaf_float;
    VmafPooled pooled_vmaf;

    const int16_t* ReferenceY(int frame) const { return reference.data() + Offset(frame); }
    const int16_t* DistortedY(int frame) const { return distorted.data() + Offset(frame); }
    // Throws std::out_of_range when the frame has no such value.
    double Metric(int frame, const std::string& metric) const { return metrics.at(frame).at(metric); }

private:
    size_t Offset(int frame) const { return static_cast<size_t>(frame) * width * height; }
};

// Every case of the folder.
const std::vector<std::string>& VmafCaseNames();

// Throws std::runtime_error when a file is missing, short or not of the expected shape.
VmafCase LoadVmafCase(const std::string& name);

}  // namespace morvith::testing
