// AVX2 row kernels: the SSE2 kernels' scheme on 256-bit vectors. This file alone is
// compiled with -mavx2; everything in it has internal linkage, so that no AVX2 copy of an
// inline function can stand in for the baseline one elsewhere.
//
// A row is read as a flat array of 3 * width int16 words; word t belongs to channel t % 3.
// A block is three vectors, 48 words or 16 whole samples, so the channel of every lane is
// known at compile time from the word it came from. Products are accumulated per lane and
// sorted into channels once per row. Samples past the last whole block go through plain
// scalar code: a vector load never reaches past a row's last sample.

#include <immintrin.h>

#include <cmath>
#include <cstdint>

#include "row_kernels.h"
#include "x86/kernels_x86.h"

namespace morvith {
namespace {

constexpr int kBlockSamples = 16;
constexpr int kBlockWords = 48;

const int16_t* Words(const PixelYC* row) { return reinterpret_cast<const int16_t*>(row); }

__m256i Load(const int16_t* words) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(words));
}

// An accumulator is named by the channel of its lane 0. The in-lane unpacks and pmaddwd
// keep each 128-bit half in word order, and a half is 8 words = 2 (mod 3) further on, so
// lane m holds channel (first + m * step) % 3 across both halves, as with SSE2.
constexpr int ChannelOfWord(int word) { return word % 3; }

// ---- Squared error ----------------------------------------------------------------

void SquaredErrorRowAvx2(const PixelYC* a, const PixelYC* b, int width,
                         SquaredErrorTriple& sums) {
    const int blocks = width / kBlockSamples;
    const int16_t* wa = Words(a);
    const int16_t* wb = Words(b);
    const __m256i zero = _mm256_setzero_si256();
    // 64-bit lanes: lane l of acc[s] is channel (s + l) % 3. A lane takes four squares
    // below 2^32 per block, so a row of fewer than 2^31 samples cannot overflow it.
    __m256i acc[3] = {zero, zero, zero};
    for (int k = 0; k < blocks; ++k) {
        const int16_t* block_a = wa + k * kBlockWords;
        const int16_t* block_b = wb + k * kBlockWords;
#pragma GCC unroll 3
        for (int i = 0; i < 3; ++i) {
            const __m256i va = Load(block_a + 16 * i);
            const __m256i vb = Load(block_b + 16 * i);
            // |a - b| <= 65535 fits an unsigned word; its square needs all 32 bits, so
            // it is formed from the low and high halves of the unsigned product.
            const __m256i d = _mm256_sub_epi16(_mm256_max_epi16(va, vb), _mm256_min_epi16(va, vb));
            const __m256i lo = _mm256_mullo_epi16(d, d);
            const __m256i hi = _mm256_mulhi_epu16(d, d);
            const __m256i sq0 = _mm256_unpacklo_epi16(lo, hi);  // words 8i .. 8i+3
            const __m256i sq1 = _mm256_unpackhi_epi16(lo, hi);  // words 8i+4 .. 8i+7
            int s = ChannelOfWord(16 * i);
            acc[s] = _mm256_add_epi64(acc[s], _mm256_unpacklo_epi32(sq0, zero));
            s = ChannelOfWord(16 * i + 2);
            acc[s] = _mm256_add_epi64(acc[s], _mm256_unpackhi_epi32(sq0, zero));
            s = ChannelOfWord(16 * i + 4);
            acc[s] = _mm256_add_epi64(acc[s], _mm256_unpacklo_epi32(sq1, zero));
            s = ChannelOfWord(16 * i + 6);
            acc[s] = _mm256_add_epi64(acc[s], _mm256_unpackhi_epi32(sq1, zero));
        }
    }

    uint64_t channel[3] = {0, 0, 0};
    for (int s = 0; s < 3; ++s) {
        alignas(32) uint64_t lanes[4];
        _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), acc[s]);
        for (int l = 0; l < 4; ++l) channel[(s + l) % 3] += lanes[l];
    }
    for (int c = blocks * kBlockSamples; c < width; ++c) {
        const int16_t* sa = wa + 3 * c;
        const int16_t* sb = wb + 3 * c;
        for (int ch = 0; ch < 3; ++ch) {
            const int32_t d = int32_t{sa[ch]} - int32_t{sb[ch]};
            const uint32_t magnitude = static_cast<uint32_t>(d < 0 ? -d : d);
            channel[ch] += uint64_t{magnitude * magnitude};
        }
    }
    sums.y += channel[0];
    sums.cb += channel[1];
    sums.cr += channel[2];
}

// ---- Sample sums -------------------------------------------------------------------

// pmaddwd against (1, 0) word pairs sign-extends the even words into 32-bit lanes, an
// arithmetic shift the odd ones; lane m of acc[s] is channel (s + 2m) % 3. A lane takes
// two words >= -32768 per block, so 32768 blocks keep it within int32.
constexpr int kSumFlushBlocks = 32768;

void AddWordSums(const int16_t* words, int blocks, int64_t channel[3]) {
    const __m256i even = _mm256_set1_epi32(1);
    for (int first = 0; first < blocks; first += kSumFlushBlocks) {
        const int last = blocks - first < kSumFlushBlocks ? blocks : first + kSumFlushBlocks;
        __m256i acc[3] = {_mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256()};
        for (int k = first; k < last; ++k) {
            const int16_t* block = words + k * kBlockWords;
#pragma GCC unroll 3
            for (int i = 0; i < 3; ++i) {
                const __m256i v = Load(block + 16 * i);
                int s = ChannelOfWord(16 * i);
                acc[s] = _mm256_add_epi32(acc[s], _mm256_madd_epi16(v, even));
                s = ChannelOfWord(16 * i + 1);
                acc[s] = _mm256_add_epi32(acc[s], _mm256_srai_epi32(v, 16));
            }
        }
        for (int s = 0; s < 3; ++s) {
            alignas(32) int32_t lanes[8];
            _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), acc[s]);
            for (int m = 0; m < 8; ++m) channel[(s + 2 * m) % 3] += lanes[m];
        }
    }
}

// Channel sums of one row of one picture.
void RowChannelSums(const PixelYC* row, int width, int64_t channel[3]) {
    const int blocks = width / kBlockSamples;
    AddWordSums(Words(row), blocks, channel);
    for (int c = blocks * kBlockSamples; c < width; ++c) {
        channel[0] += row[c].y;
        channel[1] += row[c].cb;
        channel[2] += row[c].cr;
    }
}

void SampleSumRowAvx2(const PixelYC* a, const PixelYC* b, int width, SampleSums& sums) {
    int64_t ca[3] = {0, 0, 0};
    int64_t cb[3] = {0, 0, 0};
    RowChannelSums(a, width, ca);
    RowChannelSums(b, width, cb);
    sums.a_y += ca[0];
    sums.a_cb += ca[1];
    sums.a_cr += ca[2];
    sums.b_y += cb[0];
    sums.b_cb += cb[1];
    sums.b_cr += cb[2];
}

// ---- Centred moments ----------------------------------------------------------------
//
// Deviations are taken in integers from the means rounded to integers, c = round(mean),
// and the exact integer sums are corrected in double for f = mean - c (|f| <= 1/2):
//   sum (a - mean)^2 = S(da da) - f_a (2 S(da) - n f_a)
//   sum (a - mean_a)(b - mean_b) = S(da db) - f_b S(da) - f_a (S(db) - n f_b)
// with S(da) = row sum of a - n c_a. Because the deviations are integers and |f| <= 1/2,
// S(da da) is at most twice the centred sum: no cancellation worth the name.
//
// Vector i of two consecutive blocks holds the same channels word for word, so unpacking
// the two interleaves words of one channel into each 32-bit lane, and one pmaddwd gives
// the sum of two products of one channel there. Lane m of an unpacked vector holds word
// first + m of its block.
//
// The lanes are 32 bits: every pmaddwd sum of two squares is checked to be below 2^27
// (then so is each sum of two cross products, |xy + zw| <= (x^2 + y^2 + z^2 + w^2) / 2), a
// lane takes two sums per pair of blocks, and 7 pairs add at most 14 * 2^27 < 2^31. A
// square with a bit at 2^27 or above means a deviation of at least 8192 (beyond the
// host's range); the subtraction saturates so that one beyond int16 shows too. Such rows
// go through the scalar reference instead.
constexpr int kMomentFlushPairs = 7;
constexpr int kBeyondLimitBits = ~((1 << 27) - 1);

// The high half of an in-lane unpack starts 8 words, not 4, after the low half.
constexpr int UnpackedLaneChannel(int first, int lane) {
    return (first + lane + (lane >= 4 ? 1 : 0)) % 3;
}

int16_t RoundedCentre(double mean) {
    if (!(mean > -32768.0)) return -32768;
    if (mean >= 32767.0) return 32767;
    return static_cast<int16_t>(std::lround(mean));
}

// The centre of each word's channel, for one block.
struct CentrePattern {
    alignas(32) int16_t words[kBlockWords];

    explicit CentrePattern(const int16_t centre[3]) {
        for (int t = 0; t < kBlockWords; ++t) words[t] = centre[ChannelOfWord(t)];
    }
};

// Adds 32-bit lanes into 64-bit ones in lane order, in vectors: sorting lanes into
// channels costs scalar work that is paid once per row, not once per flush.
void Widen(const __m256i acc[3], __m256i wide[3][2]) {
    for (int s = 0; s < 3; ++s) {
        wide[s][0] = _mm256_add_epi64(wide[s][0],
                                      _mm256_cvtepi32_epi64(_mm256_castsi256_si128(acc[s])));
        wide[s][1] = _mm256_add_epi64(wide[s][1],
                                      _mm256_cvtepi32_epi64(_mm256_extracti128_si256(acc[s], 1)));
    }
}

void SortWide(const __m256i wide[3][2], int64_t into[3]) {
    for (int s = 0; s < 3; ++s) {
        alignas(32) int64_t lanes[8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), wide[s][0]);
        _mm256_store_si256(reinterpret_cast<__m256i*>(lanes + 4), wide[s][1]);
        for (int m = 0; m < 8; ++m) into[UnpackedLaneChannel(s, m)] += lanes[m];
    }
}

struct IntegerMoments {
    int64_t aa[3] = {0, 0, 0};
    int64_t bb[3] = {0, 0, 0};
    int64_t ab[3] = {0, 0, 0};
    int64_t sum_a[3] = {0, 0, 0};  // S(da)
    int64_t sum_b[3] = {0, 0, 0};  // S(db)
};

// Pass two over one stretch of kMomentFlushPairs pairs is three sweeps: a's squares and
// deviation sums, the same for b, then the cross products. 32-bit mode has eight vector
// registers; one sweep holding all nine moment accumulators and the limit check spilled
// nearly every one of them on each pair. The square sweeps keep their interleaved deviations
// on the stack (2 * 1344 bytes, in L1), so the cross sweep is two loads and a pmaddwd per
// product, and the deviation sums come from the same sweep instead of a second read of the
// row.
struct PairRows {
    const int16_t* words;
    int blocks;
    const CentrePattern* centre;

    // Block 2p of the pair and its partner: a lone last block pairs with the centres
    // themselves, deviations of zero.
    const int16_t* First(int p) const { return words + 2 * p * kBlockWords; }
    const int16_t* Second(int p) const {
        return 2 * p + 1 == blocks ? centre->words : First(p) + kBlockWords;
    }
};

// Deviations of vector i of both blocks of pair p, interleaved: lane m of low holds two
// words of one channel.
struct Interleaved {
    __m256i low, high;
};

inline __attribute__((always_inline)) Interleaved InterleavedDeviations(const PairRows& rows,
                                                                        int p, int i) {
    const __m256i centre = Load(rows.centre->words + 16 * i);
    const __m256i d0 = _mm256_subs_epi16(Load(rows.First(p) + 16 * i), centre);
    const __m256i d1 = _mm256_subs_epi16(Load(rows.Second(p) + 16 * i), centre);
    return {_mm256_unpacklo_epi16(d0, d1), _mm256_unpackhi_epi16(d0, d1)};
}

// Squares and plain sums of one row's deviations into squares and sums, keeping the
// interleaved deviations in kept; returns the OR of every pmaddwd sum of squares, for the
// limit check. A lane of sums takes two deviations within [-32768, 32767] per pmaddwd, two
// pmaddwd per pair, so 7 pairs keep it within 28 * 32768 < 2^31 whatever the check finds.
inline __attribute__((always_inline)) __m256i AddSquares(const PairRows& rows, int first,
                                                         int last, __m256i squares[3],
                                                         __m256i sums[3], __m256i* kept) {
    const __m256i ones = _mm256_set1_epi16(1);
    __m256i seen = _mm256_setzero_si256();
    for (int p = first; p < last; ++p) {
#pragma GCC unroll 3
        for (int i = 0; i < 3; ++i) {
            const Interleaved d = InterleavedDeviations(rows, p, i);
            _mm256_store_si256(kept + 6 * (p - first) + 2 * i, d.low);
            _mm256_store_si256(kept + 6 * (p - first) + 2 * i + 1, d.high);
            const __m256i low = _mm256_madd_epi16(d.low, d.low);
            const __m256i high = _mm256_madd_epi16(d.high, d.high);
            seen = _mm256_or_si256(seen, _mm256_or_si256(low, high));
            const int l = ChannelOfWord(16 * i);
            const int h = ChannelOfWord(16 * i + 4);
            squares[l] = _mm256_add_epi32(squares[l], low);
            squares[h] = _mm256_add_epi32(squares[h], high);
            sums[l] = _mm256_add_epi32(sums[l], _mm256_madd_epi16(d.low, ones));
            sums[h] = _mm256_add_epi32(sums[h], _mm256_madd_epi16(d.high, ones));
        }
    }
    return seen;
}

// The lanes take the cross products that the checked squares bound.
inline __attribute__((always_inline)) void AddCrossProducts(const __m256i* kept_a,
                                                            const __m256i* kept_b, int pairs,
                                                            __m256i acc[3]) {
    for (int p = 0; p < pairs; ++p) {
#pragma GCC unroll 3
        for (int i = 0; i < 3; ++i) {
            const int l = ChannelOfWord(16 * i);
            const int h = ChannelOfWord(16 * i + 4);
            const int at = 6 * p + 2 * i;
            acc[l] = _mm256_add_epi32(acc[l], _mm256_madd_epi16(kept_a[at], kept_b[at]));
            acc[h] = _mm256_add_epi32(acc[h], _mm256_madd_epi16(kept_a[at + 1], kept_b[at + 1]));
        }
    }
}

// False when a deviation exceeded the limit: the sums are then meaningless.
bool AddBlockMoments(const int16_t* wa, const int16_t* wb, int blocks,
                     const CentrePattern& centre_a, const CentrePattern& centre_b,
                     IntegerMoments& moments) {
    const int pairs = (blocks + 1) / 2;
    const PairRows rows_a{wa, blocks, &centre_a};
    const PairRows rows_b{wb, blocks, &centre_b};
    const __m256i zero = _mm256_setzero_si256();
    __m256i kept_a[6 * kMomentFlushPairs];
    __m256i kept_b[6 * kMomentFlushPairs];
    __m256i wide_aa[3][2] = {{zero, zero}, {zero, zero}, {zero, zero}};
    __m256i wide_bb[3][2] = {{zero, zero}, {zero, zero}, {zero, zero}};
    __m256i wide_ab[3][2] = {{zero, zero}, {zero, zero}, {zero, zero}};
    __m256i wide_a[3][2] = {{zero, zero}, {zero, zero}, {zero, zero}};
    __m256i wide_b[3][2] = {{zero, zero}, {zero, zero}, {zero, zero}};
    for (int first = 0; first < pairs; first += kMomentFlushPairs) {
        const int last = pairs - first < kMomentFlushPairs ? pairs : first + kMomentFlushPairs;
        __m256i aa[3] = {zero, zero, zero};
        __m256i bb[3] = {zero, zero, zero};
        __m256i ab[3] = {zero, zero, zero};
        __m256i sa[3] = {zero, zero, zero};
        __m256i sb[3] = {zero, zero, zero};
        const __m256i seen = _mm256_or_si256(AddSquares(rows_a, first, last, aa, sa, kept_a),
                                             AddSquares(rows_b, first, last, bb, sb, kept_b));
        const __m256i beyond = _mm256_and_si256(seen, _mm256_set1_epi32(kBeyondLimitBits));
        if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(beyond, zero)) != -1) return false;
        AddCrossProducts(kept_a, kept_b, last - first, ab);
        Widen(aa, wide_aa);
        Widen(bb, wide_bb);
        Widen(ab, wide_ab);
        Widen(sa, wide_a);
        Widen(sb, wide_b);
    }
    SortWide(wide_aa, moments.aa);
    SortWide(wide_bb, moments.bb);
    SortWide(wide_ab, moments.ab);
    SortWide(wide_a, moments.sum_a);
    SortWide(wide_b, moments.sum_b);
    return true;
}

void CentredMomentRowAvx2(const PixelYC* a, const PixelYC* b, int width,
                          const SampleMeans& means, CentredSums& sums) {
    const double mean_a[3] = {means.a_y, means.a_cb, means.a_cr};
    const double mean_b[3] = {means.b_y, means.b_cb, means.b_cr};
    int16_t centre_a[3];
    int16_t centre_b[3];
    for (int ch = 0; ch < 3; ++ch) {
        centre_a[ch] = RoundedCentre(mean_a[ch]);
        centre_b[ch] = RoundedCentre(mean_b[ch]);
    }

    const int blocks = width / kBlockSamples;
    const CentrePattern pattern_a(centre_a);
    const CentrePattern pattern_b(centre_b);
    IntegerMoments moments;
    if (!AddBlockMoments(Words(a), Words(b), blocks, pattern_a, pattern_b, moments)) {
        ScalarRowKernels().centred_moment_row(a, b, width, means, sums);
        return;
    }
    for (int c = blocks * kBlockSamples; c < width; ++c) {
        const int16_t* sa = Words(a) + 3 * c;
        const int16_t* sb = Words(b) + 3 * c;
        for (int ch = 0; ch < 3; ++ch) {
            const int64_t da = int64_t{sa[ch]} - centre_a[ch];
            const int64_t db = int64_t{sb[ch]} - centre_b[ch];
            moments.aa[ch] += da * da;
            moments.bb[ch] += db * db;
            moments.ab[ch] += da * db;
            moments.sum_a[ch] += da;
            moments.sum_b[ch] += db;
        }
    }

    double aa[3], bb[3], ab[3];
    const double n = static_cast<double>(width);
    for (int ch = 0; ch < 3; ++ch) {
        const double fa = mean_a[ch] - centre_a[ch];
        const double fb = mean_b[ch] - centre_b[ch];
        const double sda = static_cast<double>(moments.sum_a[ch]);
        const double sdb = static_cast<double>(moments.sum_b[ch]);
        aa[ch] = static_cast<double>(moments.aa[ch]) - fa * (2.0 * sda - n * fa);
        bb[ch] = static_cast<double>(moments.bb[ch]) - fb * (2.0 * sdb - n * fb);
        ab[ch] = static_cast<double>(moments.ab[ch]) - fb * sda - fa * (sdb - n * fb);
    }
    sums.aa_y += aa[0];
    sums.bb_y += bb[0];
    sums.ab_y += ab[0];
    sums.aa_cb += aa[1];
    sums.bb_cb += bb[1];
    sums.ab_cb += ab[1];
    sums.aa_cr += aa[2];
    sums.bb_cr += bb[2];
    sums.ab_cr += ab[2];
}

constexpr RowKernels kAvx2RowKernels{
    "avx2",
    SquaredErrorRowAvx2,
    SampleSumRowAvx2,
    CentredMomentRowAvx2,
};

}  // namespace

const RowKernels& Avx2RowKernels() { return kAvx2RowKernels; }

}  // namespace morvith
