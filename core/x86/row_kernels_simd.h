#pragma once

// The fast row kernels, written once against a vector type V (vector_sse2.h,
// vector_avx2.h) and compiled once per instruction set by the file that includes them.
// Everything here has internal linkage, so that an AVX2 copy of a function can never
// stand in for the SSE2 one at link time.
//
// A row is a flat array of 3 * width int16 words; word t belongs to channel t % 3. A block
// is three vectors, V::kWords samples, and blocks 2p and 2p + 1 form pair p. Vector i of
// both blocks holds the same channels word for word, so interleaving the two puts two
// words of one channel into each 32-bit lane, and one pmaddwd adds two products of that
// channel. Lanes are sorted into channels once per row. A lone last block pairs with
// zeros, which add nothing; samples past the last whole block go through scalar code, so
// no load reaches past a row's last sample.
//
// The lanes stay 32 bits for a stretch of kStretchPairs pairs, then widen into 64-bit
// sums. Every pmaddwd sum of two squares is checked to be below 2^26: then every sample
// (or difference) is within +-8191, far beyond the host's ranges, and so is each sum of
// two cross products (|xy + zw| <= (x^2 + y^2 + z^2 + w^2) / 2). A lane takes two such
// sums per pair, and 16 pairs keep it below 32 * 2^26 = 2^31. A row that fails the check,
// the one pmaddwd that wraps, (-32768)^2 + (-32768)^2, among them, is summed by the
// scalar reference instead: exact for every int16, and never the host's case.

#include <emmintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "row_kernels.h"

namespace morvith {
namespace {

constexpr int kStretchPairs = 16;
constexpr int kFastSquareBits = 26;

template <typename V>
struct Blocks {
    using Vector = typename V::Vector;
    static constexpr int kSamples = V::kWords;
    static constexpr int kWords = 3 * V::kWords;

    // The channel in lane 0 of vector i of a block interleaved low or high: the high half
    // of an interleave starts at word 4 of each 128-bit half.
    static constexpr int LowChannel(int i) { return V::kWords * i % 3; }
    static constexpr int HighChannel(int i) { return (V::kWords * i + 4) % 3; }
};

// What a lone last block pairs with, as wide as the widest block.
alignas(64) constexpr int16_t kZeroBlock[48] = {};

// The blocks of one row, pair by pair.
template <typename V>
struct PairedRow {
    const int16_t* words;
    int blocks;

    static_assert(Blocks<V>::kWords <= sizeof kZeroBlock / sizeof kZeroBlock[0]);

    int Pairs() const { return (blocks + 1) / 2; }
    const int16_t* First(int p) const { return words + 2 * p * Blocks<V>::kWords; }
    const int16_t* Second(int p) const {
        return 2 * p + 1 == blocks ? kZeroBlock : First(p) + Blocks<V>::kWords;
    }
};

template <typename V>
PairedRow<V> Paired(const PixelYC* row, int width) {
    return {reinterpret_cast<const int16_t*>(row), width / Blocks<V>::kSamples};
}

// 64-bit lane sums of one quantity, by the channel of lane 0.
template <typename V>
struct WideSums {
    typename V::Vector lanes[3][2];

    WideSums() {
        for (auto& pair : lanes) pair[0] = pair[1] = V::Zero();
    }
    void Add(const typename V::Vector narrow[3]) {
        for (int s = 0; s < 3; ++s) V::Widen(narrow[s], lanes[s]);
    }
    void SortInto(int64_t channels[3]) const {
        for (int s = 0; s < 3; ++s) {
            int64_t wide[V::kLanes];
            V::StoreWide(lanes[s], wide);
            for (int m = 0; m < V::kLanes; ++m) channels[V::LaneChannel(s, m)] += wide[m];
        }
    }
};

// Vector i of a pair, interleaved low and high: its sums of two squares into the channel
// sums, and into seen for the check.
template <typename V>
__attribute__((always_inline)) inline void AddInterleavedSquares(
    typename V::Vector low, typename V::Vector high, int i, typename V::Vector squares[3],
    typename V::Vector& seen) {
    const typename V::Vector low_squares = V::MultiplyAdd(low, low);
    const typename V::Vector high_squares = V::MultiplyAdd(high, high);
    seen = V::Or(seen, V::Or(low_squares, high_squares));
    squares[Blocks<V>::LowChannel(i)] = V::Add(squares[Blocks<V>::LowChannel(i)], low_squares);
    squares[Blocks<V>::HighChannel(i)] = V::Add(squares[Blocks<V>::HighChannel(i)], high_squares);
}

// ---- Squared error ----------------------------------------------------------------

// False when a difference left the fast path: the sums are then incomplete.
template <typename V>
bool AddSquaredErrorPairs(const PairedRow<V>& a, const PairedRow<V>& b, int64_t channels[3]) {
    using Vector = typename V::Vector;
    constexpr int kWords = V::kWords;
    WideSums<V> wide;
    const int pairs = a.Pairs();
    for (int first = 0; first < pairs; first += kStretchPairs) {
        const int last = pairs - first < kStretchPairs ? pairs : first + kStretchPairs;
        Vector squares[3] = {V::Zero(), V::Zero(), V::Zero()};
        Vector seen = V::Zero();
        for (int p = first; p < last; ++p) {
            const int16_t* const a0 = a.First(p);
            const int16_t* const a1 = a.Second(p);
            const int16_t* const b0 = b.First(p);
            const int16_t* const b1 = b.Second(p);
#pragma GCC unroll 3
            for (int i = 0; i < 3; ++i) {
                // Saturated differences (beyond +-32767) fail the check below.
                const Vector d0 = V::SubtractSaturated(V::Load(a0 + kWords * i),
                                                       V::Load(b0 + kWords * i));
                const Vector d1 = V::SubtractSaturated(V::Load(a1 + kWords * i),
                                                       V::Load(b1 + kWords * i));
                const Vector low = V::InterleaveLow(d0, d1);
                const Vector high = V::InterleaveHigh(d0, d1);
                AddInterleavedSquares<V>(low, high, i, squares, seen);
            }
        }
        if (!V::AllBelow(seen, kFastSquareBits)) return false;
        wide.Add(squares);
    }
    wide.SortInto(channels);
    return true;
}

template <typename V>
void SquaredErrorRow(const PixelYC* a, const PixelYC* b, int width, SquaredErrorTriple& sums) {
    int64_t channels[3] = {0, 0, 0};
    if (!AddSquaredErrorPairs(Paired<V>(a, width), Paired<V>(b, width), channels)) {
        ScalarRowKernels().squared_error_row(a, b, width, sums);
        return;
    }
    const int done = width / Blocks<V>::kSamples * Blocks<V>::kSamples;
    SquaredErrorTriple tail;
    ScalarRowKernels().squared_error_row(a + done, b + done, width - done, tail);
    sums.y += static_cast<uint64_t>(channels[0]) + tail.y;
    sums.cb += static_cast<uint64_t>(channels[1]) + tail.cb;
    sums.cr += static_cast<uint64_t>(channels[2]) + tail.cr;
}

// ---- Moment sums --------------------------------------------------------------------
//
// Eight vector registers in 32-bit mode cannot hold fifteen accumulators, so a stretch is
// summed in sweeps, each with few: the squares of A, keeping A's interleaved words; the
// same for B; then the cross products and the plain sums from the kept words. The stretch
// (at most 2 * 96 vectors) stays in the first-level cache, and each row is read from
// memory once.

template <typename V>
struct Stretch {
    using Vector = typename V::Vector;
    static constexpr int kKept = 6 * kStretchPairs;  // 2 interleaves x 3 vectors per pair
    static constexpr int Channel(int k) {
        return k % 2 == 0 ? Blocks<V>::LowChannel(k % 6 / 2) : Blocks<V>::HighChannel(k % 6 / 2);
    }
};

// Squares of one picture's pairs first..last, its interleaved words kept for the sweeps
// that follow. Everything stays local: stores into kept could alias anything behind a
// pointer, which would send every accumulator through memory.
template <typename V>
struct SquareSweep {
    typename V::Vector squares[3];
    typename V::Vector seen;  // the OR of every sum of two squares, for the check
};

template <typename V>
SquareSweep<V> AddSquares(const PairedRow<V> row, int first, int last,
                          typename V::Vector* kept) {
    using Vector = typename V::Vector;
    constexpr int kWords = V::kWords;
    Vector squares[3] = {V::Zero(), V::Zero(), V::Zero()};
    Vector seen = V::Zero();
    for (int p = first; p < last; ++p) {
        const int16_t* const block0 = row.First(p);
        const int16_t* const block1 = row.Second(p);
#pragma GCC unroll 3
        for (int i = 0; i < 3; ++i) {
            const Vector x0 = V::Load(block0 + kWords * i);
            const Vector x1 = V::Load(block1 + kWords * i);
            const Vector low = V::InterleaveLow(x0, x1);
            const Vector high = V::InterleaveHigh(x0, x1);
            kept[2 * i] = low;
            kept[2 * i + 1] = high;
            AddInterleavedSquares<V>(low, high, i, squares, seen);
        }
        kept += 6;
    }
    return {{squares[0], squares[1], squares[2]}, seen};
}

// sums[channel of k] += pmaddwd(x[k], y[k]) for the kept vectors of count pairs.
template <typename V>
void AddKeptProducts(const typename V::Vector* x, const typename V::Vector* y, int count,
                     typename V::Vector sums[3]) {
    typename V::Vector local[3] = {sums[0], sums[1], sums[2]};
    for (int p = 0; p < count; ++p) {
#pragma GCC unroll 6
        for (int k = 0; k < 6; ++k) {
            typename V::Vector& sum = local[Stretch<V>::Channel(k)];
            sum = V::Add(sum, V::MultiplyAdd(x[6 * p + k], y[6 * p + k]));
        }
    }
    for (int s = 0; s < 3; ++s) sums[s] = local[s];
}

// Each channel's lane pattern comes twice in a pair's six kept vectors, so two pairs give
// four vectors of one pattern: added as words (the check bounds each by 8191, four by
// 32764) and then widened by one pmaddwd against ones, which adds the two words of each
// lane.
template <typename V>
void AddKeptWords(const typename V::Vector* x, int count, typename V::Vector sums[3]) {
    using Vector = typename V::Vector;
    const Vector ones = V::Words(1);
    Vector local[3] = {sums[0], sums[1], sums[2]};
    for (int p = 0; p < count; p += 2) {
        const int vectors = count - p >= 2 ? 12 : 6;
        Vector words[3] = {V::Zero(), V::Zero(), V::Zero()};
#pragma GCC unroll 12
        for (int k = 0; k < 12; ++k) {
            if (k >= vectors) break;
            Vector& word_sum = words[Stretch<V>::Channel(k)];
            word_sum = V::AddWords(word_sum, x[6 * p + k]);
        }
        for (int ch = 0; ch < 3; ++ch) local[ch] = V::Add(local[ch], V::MultiplyAdd(words[ch], ones));
    }
    for (int ch = 0; ch < 3; ++ch) sums[ch] = local[ch];
}

// The five sums of every channel, [quantity][channel] in the order a, b, aa, bb, ab.
// False when a sample left the fast path: the sums are then incomplete.
template <typename V>
bool AddMomentPairs(const PairedRow<V>& a, const PairedRow<V>& b, int64_t channels[5][3]) {
    using Vector = typename V::Vector;
    Vector kept_a[Stretch<V>::kKept];
    Vector kept_b[Stretch<V>::kKept];
    WideSums<V> wide[5];
    const int pairs = a.Pairs();
    for (int first = 0; first < pairs; first += kStretchPairs) {
        const int last = pairs - first < kStretchPairs ? pairs : first + kStretchPairs;
        const SquareSweep<V> aa = AddSquares(a, first, last, kept_a);
        const SquareSweep<V> bb = AddSquares(b, first, last, kept_b);
        if (!V::AllBelow(V::Or(aa.seen, bb.seen), kFastSquareBits)) return false;
        wide[2].Add(aa.squares);
        wide[3].Add(bb.squares);

        Vector sums[3] = {V::Zero(), V::Zero(), V::Zero()};
        AddKeptProducts<V>(kept_a, kept_b, last - first, sums);
        wide[4].Add(sums);
        sums[0] = sums[1] = sums[2] = V::Zero();
        AddKeptWords<V>(kept_a, last - first, sums);
        wide[0].Add(sums);
        sums[0] = sums[1] = sums[2] = V::Zero();
        AddKeptWords<V>(kept_b, last - first, sums);
        wide[1].Add(sums);
    }
    for (int q = 0; q < 5; ++q) wide[q].SortInto(channels[q]);
    return true;
}

template <typename V>
void MomentSumRow(const PixelYC* a, const PixelYC* b, int width, MomentSumsTriple& sums) {
    int64_t channels[5][3] = {};
    if (!AddMomentPairs(Paired<V>(a, width), Paired<V>(b, width), channels)) {
        ScalarRowKernels().moment_sum_row(a, b, width, sums);
        return;
    }
    const int done = width / Blocks<V>::kSamples * Blocks<V>::kSamples;
    ScalarRowKernels().moment_sum_row(a + done, b + done, width - done, sums);
    MomentSums* const by_channel[3] = {&sums.y, &sums.cb, &sums.cr};
    for (int ch = 0; ch < 3; ++ch) {
        MomentSums& s = *by_channel[ch];
        s.a += channels[0][ch];
        s.b += channels[1][ch];
        s.aa += channels[2][ch];
        s.bb += channels[3][ch];
        s.ab += channels[4][ch];
    }
}

// ---- Windowed SSIM ------------------------------------------------------------------
//
// Block sums: three vectors of a row hold V::kWords / 4 blocks of 4 samples. The four rows
// of a block row are interleaved in pairs, so that one pmaddwd adds two rows of a word
// position: the squares (checked as above, which bounds a position's four rows of a^2 + b^2
// by 2^28 and a block's by 2^30, and every sample within +-8191), the products, and the
// samples: the two pairs added as words (within +-16382) and then against ones. The vector
// type then adds each block's 12 positions into its three channels (StoreBlockChannels).
// Blocks outside the whole groups, and rows that fail the check, go through the scalar
// reference. False when a sample left the fast path: the sums are then incomplete.
//
// The rows are loaded again for each half rather than kept: 32-bit code has eight vector
// registers, and eight rows kept across both halves sent most of the sums through the stack.
template <typename V>
bool AddBlockGroups(const int16_t* const rows_a[4], const int16_t* const rows_b[4],
                    int first_group, int end_group, BlockSumRow& row) {
    using Vector = typename V::Vector;
    constexpr int kWords = V::kWords;
    constexpr int kGroupBlocks = kWords / 4;
    const Vector ones = V::Words(1);
    Vector seen = V::Zero();
    for (int group = first_group; group < end_group; ++group) {
        Vector sums[4][2][3];  // [quantity][low, high][vector]
#pragma GCC unroll 3
        for (int v = 0; v < 3; ++v) {
            const ptrdiff_t at = (static_cast<ptrdiff_t>(group) * 3 + v) * kWords;
#pragma GCC unroll 2
            for (int half = 0; half < 2; ++half) {
                const auto paired = [&](const int16_t* const rows[4], int first) {
                    const Vector p = V::Load(rows[first] + at);
                    const Vector q = V::Load(rows[first + 1] + at);
                    return half == 0 ? V::InterleaveLow(p, q) : V::InterleaveHigh(p, q);
                };
                const Vector a01 = paired(rows_a, 0), a23 = paired(rows_a, 2);
                const Vector aa01 = V::MultiplyAdd(a01, a01), aa23 = V::MultiplyAdd(a23, a23);
                seen = V::Or(seen, V::Or(aa01, aa23));
                sums[BLOCK_SUM_A][half][v] = V::MultiplyAdd(V::AddWords(a01, a23), ones);
                const Vector squares_a = V::Add(aa01, aa23);
                const Vector b01 = paired(rows_b, 0), b23 = paired(rows_b, 2);
                sums[BLOCK_SUM_PRODUCTS][half][v] =
                    V::Add(V::MultiplyAdd(a01, b01), V::MultiplyAdd(a23, b23));
                const Vector bb01 = V::MultiplyAdd(b01, b01), bb23 = V::MultiplyAdd(b23, b23);
                seen = V::Or(seen, V::Or(bb01, bb23));
                sums[BLOCK_SUM_B][half][v] = V::MultiplyAdd(V::AddWords(b01, b23), ones);
                sums[BLOCK_SUM_SQUARES][half][v] = V::Add(squares_a, V::Add(bb01, bb23));
            }
        }
        for (int q = 0; q < 4; ++q) {
            V::StoreBlockChannels(sums[q][0], sums[q][1], [&](int k, __m128i channels) {
                V::Doubles::StoreConverted(channels, row.sums[group * kGroupBlocks + k][q]);
            });
        }
    }
    return V::AllBelow(seen, kFastSquareBits);
}

template <typename V>
void BlockSumsOfRow(const PixelYC* a, const PixelYC* b, int pitch, int first_block,
                    int end_block, BlockSumRow& row) {
    constexpr int kGroupBlocks = V::kWords / 4;
    const int16_t* rows_a[4];
    const int16_t* rows_b[4];
    for (int r = 0; r < 4; ++r) {
        rows_a[r] = reinterpret_cast<const int16_t*>(a + static_cast<ptrdiff_t>(r) * pitch);
        rows_b[r] = reinterpret_cast<const int16_t*>(b + static_cast<ptrdiff_t>(r) * pitch);
    }
    const int first_group = (first_block + kGroupBlocks - 1) / kGroupBlocks;
    const int end_group = std::max(first_group, end_block / kGroupBlocks);
    if (!AddBlockGroups<V>(rows_a, rows_b, first_group, end_group, row)) {
        ScalarRowKernels().block_sum_row(a, b, pitch, first_block, end_block, row);
        return;
    }
    const int first_fast = first_group * kGroupBlocks, end_fast = end_group * kGroupBlocks;
    ScalarRowKernels().block_sum_row(a, b, pitch, first_block, std::min(first_fast, end_block), row);
    ScalarRowKernels().block_sum_row(a, b, pitch, std::max(end_fast, first_block), end_block, row);
}

// The window values with the channels across the lanes (and a fourth lane of zeros, whose
// value is 1), so that each lane adds its channel's values left to right, as the scalar
// reference does. The window sums are exact in any order: a window is the vertical sums of
// its two blocks, each shared with the window beside it.
template <typename V>
void WindowValuesOfRow(const BlockSumRow& top, const BlockSumRow& bottom, int windows,
                       const WindowedSsimConstants& k, ChannelTriple<double>& row_sums) {
    using F = typename V::Doubles;
    using D = typename F::Vector;
    constexpr double kShift = 64.0 * CHROMA_FILE_OFFSET;
    alignas(32) static constexpr double kShifts[4] = {0.0, kShift, kShift, 0.0};
    alignas(32) double sums[4] = {row_sums.y, row_sums.cb, row_sums.cr, 0.0};
    const D c1 = F::Of(k.c1), c2 = F::Of(k.c2);
    const D two = F::Of(2.0), sixty_four = F::Of(64.0);
    for (int lane = 0; lane < 4; lane += F::kLanes) {
        const D shift = F::Load(kShifts + lane);
        const auto vertical = [&](int i, int q) {
            return F::Add(F::Load(&top.sums[i][q][lane]), F::Load(&bottom.sums[i][q][lane]));
        };
        D left[4] = {vertical(0, 0), vertical(0, 1), vertical(0, 2), vertical(0, 3)};
        D sum = F::Load(sums + lane);
        for (int i = 0; i < windows; ++i) {
            D window[4];
            for (int q = 0; q < 4; ++q) {
                const D right = vertical(i + 1, q);
                window[q] = F::Add(left[q], right);
                left[q] = right;
            }
            const D s1 = window[BLOCK_SUM_A], s2 = window[BLOCK_SUM_B];
            const D squares = F::Multiply(sixty_four, window[BLOCK_SUM_SQUARES]);
            const D vars =
                F::Subtract(F::Subtract(squares, F::Multiply(s1, s1)), F::Multiply(s2, s2));
            const D covar = F::Subtract(F::Multiply(sixty_four, window[BLOCK_SUM_PRODUCTS]),
                                        F::Multiply(s1, s2));
            const D m1 = F::Add(s1, shift), m2 = F::Add(s2, shift);
            const D numerator = F::Multiply(F::Add(F::Multiply(F::Multiply(two, m1), m2), c1),
                                            F::Add(F::Multiply(two, covar), c2));
            const D denominator =
                F::Multiply(F::Add(F::Add(F::Multiply(m1, m1), F::Multiply(m2, m2)), c1),
                            F::Add(vars, c2));
            sum = F::Add(sum, F::Divide(numerator, denominator));
        }
        F::Store(sums + lane, sum);
    }
    row_sums = {sums[0], sums[1], sums[2]};
}

template <typename V>
constexpr RowKernels SimdRowKernels(const char* name) {
    return {name, SquaredErrorRow<V>, MomentSumRow<V>, BlockSumsOfRow<V>, WindowValuesOfRow<V>};
}

}  // namespace
}  // namespace morvith
