#pragma once

// One position of VIF's terms and the log2 they use, shared by the scalar kernels and the
// scalar tails of the fast ones. Internal linkage: a copy compiled for AVX2 must never
// stand in for the baseline one at link time.

#include <cstdint>
#include <cstring>

namespace morvith {
namespace {

// Highest power first; the constant term is 0.
constexpr float LOG2_POLYNOMIAL[9] = {
    -0.012671635276421f, 0.064841182402670f, -0.157048836463065f,
    0.257167726303123f,  -0.353800560300520f, 0.480131410397451f,
    -0.721314327952201f, 1.442694803896991f,  0.0f};

constexpr float VIF_EPSILON = 1e-10f;
constexpr float VIF_LOW_VARIANCE_SCALE = 4.0f / 65025.0f;

inline float Log2Polynomial(float x) {
    uint32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    const int exponent = static_cast<int>(bits >> 23) - 127;
    const uint32_t mantissa_bits = (bits & 0x7FFFFFu) | 0x3F800000u;
    float mantissa;
    std::memcpy(&mantissa, &mantissa_bits, sizeof mantissa);
    const float t = mantissa - 1.0f;
    float v = LOG2_POLYNOMIAL[0];
    for (int i = 1; i < 9; ++i) v = v * t + LOG2_POLYNOMIAL[i];
    return static_cast<float>(exponent) + v;
}

// num and den of one position from its filtered R, D, R·R, D·D, R·D.
inline void VifTerm(float mu1, float mu2, float rr, float dd, float rd, float& num, float& den) {
    float sigma1_sq = rr - mu1 * mu1;
    float sigma2_sq = dd - mu2 * mu2;
    const float sigma12 = rd - mu1 * mu2;
    sigma1_sq = sigma1_sq < 0 ? 0.0f : sigma1_sq;
    sigma2_sq = sigma2_sq < 0 ? 0.0f : sigma2_sq;
    if (sigma1_sq < 2.0f) {
        num = 1.0f - sigma2_sq * VIF_LOW_VARIANCE_SCALE;
        den = 1.0f;
        return;
    }
    den = Log2Polynomial(1.0f + sigma1_sq * 0.5f);
    if (sigma12 <= 0 || sigma2_sq < VIF_EPSILON) {
        num = 0;
        return;
    }
    float g = sigma12 / (sigma1_sq + VIF_EPSILON);
    float sv_sq = sigma2_sq - g * sigma12;
    sv_sq = sv_sq < VIF_EPSILON ? VIF_EPSILON : sv_sq;
    g = g > 100.0f ? 100.0f : g;
    num = Log2Polynomial(1.0f + (g * g * sigma1_sq) / (sv_sq + 2.0f));
}

inline float WorkingValue(int16_t y) {
    return static_cast<float>(y * 219) * (1.0f / 4096) - 112.0f;
}

}  // namespace
}  // namespace morvith
