// The squared-error kernels of every path against the scalar reference, and the reference
// against plain 64-bit arithmetic. The sums are exact integers: they must be identical.

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "fuzz_case.h"
#include "psnr.h"

namespace morvith::fuzz {
namespace {

MORVITH_FUZZ_HARNESS SquaredErrorTriple PlainSquaredError(const Case& c) {
    SquaredErrorTriple sums;
    for (int r = 0; r < c.height; ++r) {
        for (int col = 0; col < c.width; ++col) {
            const PixelYC& a = c.a->at(col, r);
            const PixelYC& b = c.b->at(col, r);
            const int64_t dy = a.y - b.y, dcb = a.cb - b.cb, dcr = a.cr - b.cr;
            sums.y += static_cast<uint64_t>(dy * dy);
            sums.cb += static_cast<uint64_t>(dcb * dcb);
            sums.cr += static_cast<uint64_t>(dcr * dcr);
        }
    }
    return sums;
}

void ExpectIdentical(const Case& c, const PathRun& run, const SquaredErrorTriple& sums,
                     const SquaredErrorTriple& expected) {
    if (sums == expected) return;
    char what[200];
    std::snprintf(what, sizeof what, "squared error sums %llu %llu %llu, expected %llu %llu %llu",
                  static_cast<unsigned long long>(sums.y), static_cast<unsigned long long>(sums.cb),
                  static_cast<unsigned long long>(sums.cr),
                  static_cast<unsigned long long>(expected.y),
                  static_cast<unsigned long long>(expected.cb),
                  static_cast<unsigned long long>(expected.cr));
    Fail(c, run, what);
}

}  // namespace
}  // namespace morvith::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace morvith::fuzz;
    const Case c = Case::Decode(data, size);
    ReferenceSumsCheckedOnEveryPath(c, morvith::SumSquaredErrorWith, ExpectIdentical,
                                    PlainSquaredError);
    return 0;
}
