#!/usr/bin/env python3
"""Writes core/vmaf/vmaf_model.cpp from a model file of the vmaf_v0.6.1 shape.

Usage: python3 scripts/vmaf_model_table.py vmaf_v0.6.1.json LICENSE > core/vmaf/vmaf_model.cpp
"""
import json
import sys

model_path, licence_path = sys.argv[1], sys.argv[2]
model = json.load(open(model_path))["model_dict"]
lines = model["model"].strip().split("\n")
header = dict(line.split(" ", 1) for line in lines[: lines.index("SV")])
assert header["svm_type"] == "nu_svr" and header["kernel_type"] == "rbf"
vectors = []
for line in lines[lines.index("SV") + 1:]:
    fields = line.split()
    values = [0.0] * 6  # a missing index is 0
    for pair in fields[1:]:
        index, value = pair.split(":")
        values[int(index) - 1] = float(value)
    vectors.append((float(fields[0]), values))
assert len(vectors) == int(header["total_sv"])
assert model["norm_type"] == "linear_rescale" and len(model["slopes"]) == 7

out = []
out.append("// The model vmaf_v0.6.1: its figures, written by scripts/vmaf_model_table.py from the model")
out.append("// file, come under this notice:")
out.append("//")
for line in open(licence_path).read().rstrip().split("\n"):
    out.append(("// " + line).rstrip())
out.append("")
out.append('#include "vmaf/vmaf.h"')
out.append("")
out.append("#include <algorithm>")
out.append("#include <cmath>")
out.append("")
out.append("namespace morvith {")
out.append("namespace {")
out.append("")
out.append("struct SupportVector {")
out.append("    double alpha;")
out.append("    double z[6];  // normalised adm2, motion2, vif_scale0 .. vif_scale3")
out.append("};")
out.append("")
fmt = lambda v: repr(float(v))
out.append(f"constexpr double GAMMA = {fmt(header['gamma'])};")
out.append(f"constexpr double RHO = {fmt(header['rho'])};")
out.append("// Element 0 belongs to the score, 1 .. 6 to the features in the model's order.")
out.append("constexpr double SLOPES[7] = {" + ", ".join(fmt(v) for v in model["slopes"]) + "};")
out.append("constexpr double INTERCEPTS[7] = {" + ", ".join(fmt(v) for v in model["intercepts"]) + "};")
out.append("")
out.append(f"constexpr SupportVector SUPPORT_VECTORS[{len(vectors)}] = {{")
for alpha, values in vectors:
    out.append(f"    {{{fmt(alpha)}, {{" + ", ".join(fmt(v) for v in values) + "}},")
out.append("};")
out.append("")
out.append("}  // namespace")
out.append("")
out.append("""double VmafScore(const VmafFeatures& features) {
    const double raw[6] = {features.adm2,         features.motion2,      features.vif_scale[0],
                           features.vif_scale[1], features.vif_scale[2], features.vif_scale[3]};
    double z[6];
    for (int k = 0; k < 6; ++k) z[k] = SLOPES[k + 1] * raw[k] + INTERCEPTS[k + 1];
    double sum = 0;
    for (const SupportVector& vector : SUPPORT_VECTORS) {
        double distance = 0;
        for (int k = 0; k < 6; ++k) {
            const double d = z[k] - vector.z[k];
            distance += d * d;
        }
        sum += vector.alpha * std::exp(-GAMMA * distance);
    }
    const double score = (sum - RHO - INTERCEPTS[0]) / SLOPES[0];
    // NaN features (none the core makes) give 0 rather than a NaN score.
    return score > 0 ? std::min(score, 100.0) : 0.0;
}""")
out.append("")
out.append("}  // namespace morvith")
print("\n".join(out))
