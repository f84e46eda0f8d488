#pragma once

// A picture next to a no-access page, so that a read or write one sample past its end
// (After) or one sample before its start (Before) crashes the test instead of passing unseen.

#include <cstddef>
#include <cstdint>

#include "pixel.h"

namespace morvith::testing {

enum class GuardPlacement {
    After,   // the last sample of the last row ends right before the no-access page
    Before,  // the first sample of the first row starts right after it
};

// The process-wide default, first read from MORVITH_GUARD_PLACEMENT (`after` or `before`,
// unset or empty: `after`; any other value throws std::invalid_argument).
GuardPlacement DefaultGuardPlacement();
void SetDefaultGuardPlacement(GuardPlacement placement);
const char* GuardPlacementName(GuardPlacement placement);  // "after" or "before"

// What GuardedPicture writes into the samples between width and pitch of each row.
inline constexpr PixelYC GUARD_GAP_MARKER{-12345, 23456, -31234};

class GuardedPicture {
public:
    // width samples of each of height rows, rows pitch samples apart (pitch >= width).
    // The samples between width and pitch are filled with a pattern that no test expects.
    GuardedPicture(int width, int height, int pitch, GuardPlacement placement = DefaultGuardPlacement());
    ~GuardedPicture();
    GuardedPicture(const GuardedPicture&) = delete;
    GuardedPicture& operator=(const GuardedPicture&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }
    int pitch() const { return pitch_; }
    GuardPlacement placement() const { return placement_; }
    PixelYC* data() { return first_; }
    const PixelYC* data() const { return first_; }
    PixelYC& at(int column, int row) { return first_[static_cast<ptrdiff_t>(row) * pitch_ + column]; }
    const PixelYC& at(int column, int row) const {
        return first_[static_cast<ptrdiff_t>(row) * pitch_ + column];
    }

    void Fill(PixelYC value);
    // Every sample of the rows drawn from a simple generator; the same seed gives the same picture.
    void FillRandom(uint32_t seed, int low = -32768, int high = 32767);

private:
    int width_;
    int height_;
    int pitch_;
    GuardPlacement placement_;
    void* mapping_ = nullptr;
    size_t mapping_size_ = 0;
    PixelYC* first_ = nullptr;
};

// A small deterministic generator (xorshift), the same on every platform.
class TestRandom {
public:
    explicit TestRandom(uint32_t seed) : state_(seed * 2654435761u + 0x9E3779B9u) {
        if (state_ == 0) state_ = 1;
    }
    uint32_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    // Uniform in [low, high].
    int Between(int low, int high) {
        const uint64_t span = static_cast<uint64_t>(static_cast<int64_t>(high) - low) + 1;
        return static_cast<int>(low + static_cast<int64_t>(Next() % span));
    }

private:
    uint32_t state_;
};

}  // namespace morvith::testing
