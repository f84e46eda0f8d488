#pragma once

// SSIM as encoders and video tools report it: the mean over 8 x 8 windows on a stride of
// 4, each window made of 2 x 2 blocks of 4 x 4 samples. Blocks start at the area's top-left
// sample; a last partial block column or row is left out.

#include "pixel.h"
#include "row_team.h"

namespace morvith {

// Fewer samples across or down leave no window.
inline constexpr int WINDOWED_SSIM_MIN_SIZE = 8;

// Files hold chroma unsigned, 2048 its neutral value at 12 bits; the mean term of SSIM is
// not shift-invariant, so Cb and Cr enter as a file holds them. Y enters as it is.
inline constexpr int CHROMA_FILE_OFFSET = 2048;

// The most blocks of one block row whose sums a share keeps at a time: two rows of them
// wait on its stack, 32 KB.
inline constexpr int MAX_PIECE_BLOCKS = 128;

// What a block row's sums hold of each block, in this order.
enum BlockQuantity { BLOCK_SUM_A, BLOCK_SUM_B, BLOCK_SUM_SQUARES, BLOCK_SUM_PRODUCTS };

// One block row's sums, for blocks 0 .. count - 1 of a piece: for each block, the sums of
// A's samples, of B's, of the squares of both (a^2 + b^2) and of their products, each for
// Y, Cb, Cr and a fourth lane held at 0, so that a vector of four doubles takes a whole
// quantity. They are exact integers below 2^36 (16 samples of at most 2^15 in magnitude),
// held as doubles for the window arithmetic, whose 53-bit significands keep them exact.
struct BlockSumRow {
    alignas(32) double sums[MAX_PIECE_BLOCKS][4][4];  // [block][quantity][channel]
};

struct WindowedSsimConstants {
    double c1;
    double c2;
};

// C1 = 0.0001 P^2 64 and C2 = 0.0009 P^2 64 63 for the peak P: the constants of windows
// summed over 64 samples, not divided by their count.
WindowedSsimConstants WindowedSsimConstantsFor(int peak);

// The mean over every window of each channel, width and height at least
// WINDOWED_SSIM_MIN_SIZE (else nothing is read and every value is 0). Each window row is
// summed left to right into its own double and the rows are added in order, so every
// kernel path and every team gives the same bits.
ChannelTriple<double> MeasureWindowedSsim(const PixelYC* first_a, const PixelYC* first_b,
                                          int width, int height, int pitch, int peak,
                                          RowTeam* team);

}  // namespace morvith
