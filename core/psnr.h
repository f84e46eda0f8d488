#pragma once

#include <cstdint>

#include "pixel.h"
#include "row_team.h"

namespace morvith {

using SquaredErrorTriple = ChannelTriple<uint64_t>;

// Sum of squared differences of A against B per channel. Exact integer sums, so the
// result is the same whether the rows are shared by a team or not (a null team).
SquaredErrorTriple SumSquaredError(const PixelYC* first_a, const PixelYC* first_b, int width,
                                   int height, int pitch, RowTeam* team);

// The scalar loop itself: the reference every fast kernel is checked against.
SquaredErrorTriple SumSquaredErrorReference(const PixelYC* first_a, const PixelYC* first_b,
                                            int width, int height, int pitch, RowTeam* team);

// A sum of squared errors pooled over many frames. 999999 frames of 1920 x 1080 extreme
// samples add up to about 8.9e21, past 2^64, so the sum carries into a high word.
struct PooledSquaredError {
    uint64_t low = 0;
    uint64_t high = 0;

    void Add(uint64_t value);
    bool IsZero() const { return low == 0 && high == 0; }
    // The exact value rounded to the nearest double (ties to even).
    double ToDouble() const;
};

using PooledSquaredErrorTriple = ChannelTriple<PooledSquaredError>;
void AddToPool(PooledSquaredErrorTriple& pool, const SquaredErrorTriple& frame);

enum class PsnrForm {
    LogSum,    // 20 log10(4096) + log10(N) + log10(F) - log10(SSE), times 10
    Quotient,  // 10 log10(N * 4096^2 / SSE)
};

// A channel's reading: infinite when its SSE is zero, otherwise decibels.
struct PsnrReading {
    bool infinite = false;
    double decibels = 0.0;

    friend bool operator==(const PsnrReading&, const PsnrReading&) = default;
};

using PsnrReadingTriple = ChannelTriple<PsnrReading>;

// sample_count N is the samples of one rectangle, frame_count F the frames whose sums
// were pooled into sse (1 for one picture). Quotient ignores F.
PsnrReadingTriple ReadPsnr(const SquaredErrorTriple& sse, int32_t sample_count,
                           int32_t frame_count, PsnrForm form);
PsnrReadingTriple ReadPsnr(const PooledSquaredErrorTriple& sse, int32_t sample_count,
                           int32_t frame_count, PsnrForm form);

}  // namespace morvith
