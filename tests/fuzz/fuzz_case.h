#pragma once

// One fuzz case: two rectangles of samples decoded from the fuzzer's input, and the kernel
// paths to hold against the scalar reference.
//
// Input layout: width (2 bytes); height, threaded path, team size, refused workers and flag
// (1); pitch beyond
// the width (1); the start offsets of A and B (1); then the sample stream, read cyclically
// so that a short input still fills a wide picture. Sizes stay small, so that a case runs
// in microseconds: up to 560 samples a row covers the lone last block, the tail and the
// end of the first stretch of 32-bit lanes of every kernel (512 samples with AVX2, 256
// with SSE2).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "pixel.h"
#include "row_kernels.h"
#include "thread_team.h"

// The harness itself is neither under test nor worth the fuzzer's attention: without
// sanitizer checks and coverage its decoding costs a fraction of the kernels' time instead
// of most of it.
#define MORVITH_FUZZ_HARNESS __attribute__((no_sanitize("address", "undefined", "coverage")))
#define MORVITH_FUZZ_HARNESS_INLINE MORVITH_FUZZ_HARNESS __attribute__((always_inline))

namespace morvith::fuzz {

inline constexpr int kMaxWidth = 560;
inline constexpr int kMaxHeight = 8;
inline constexpr int kMaxPitchExtra = 31;
inline constexpr int kMaxStartOffset = 15;

// Samples that a pitch gap holds: a kernel that reads one gets a sum the reference does not.
inline constexpr PixelYC kGapSample{-32768, 32767, -32768};

// Edges where an integer path overflows, saturates or leaves its fast lanes: the int16
// ends, the host's ranges (y 0..4096, chroma -2048..2048), 5792 and 5793 on either side of
// the fast path's limit, and values around 8192.
inline constexpr int16_t kEdgeValues[] = {
    -32768, -32767, 32767, 32766, 0,     1,     -1,    4096,  4095,  4097,  -2048,
    2048,   -2049,  2049,  8191,  8192,  -8191, -8192, 16383, 16384, -16384, 24575,
    24576,  -24576, 5792,  -5793, 6144,  2,     -2,    3,     255,   -256,
};
static_assert(sizeof(kEdgeValues) / sizeof(kEdgeValues[0]) == 32);

class ByteCursor {
public:
    ByteCursor(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    MORVITH_FUZZ_HARNESS_INLINE uint8_t Next() { return at_ < size_ ? data_[at_++] : 0; }
    MORVITH_FUZZ_HARNESS_INLINE uint16_t NextWord() {
        const uint16_t low = Next();
        return static_cast<uint16_t>(low | Next() << 8);
    }
    ByteCursor Rest() const { return ByteCursor(data_ + at_, size_ - at_); }

    MORVITH_FUZZ_HARNESS_INLINE uint8_t NextCyclic() {
        if (size_ == 0) return 0;
        if (at_ == size_) at_ = 0;
        return data_[at_++];
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

MORVITH_FUZZ_HARNESS_INLINE inline int16_t Clamped(int value) {
    return static_cast<int16_t>(value < -32768 ? -32768 : value > 32767 ? 32767 : value);
}

// Each value is one selector byte (the top three bits choose how to read it) and up to two
// more bytes. previous is the channel's previous value in the same picture, partner the
// same sample of A when B is being filled (for A, previous again).
class SampleStream {
public:
    explicit SampleStream(ByteCursor bytes) : bytes_(bytes) {}

    MORVITH_FUZZ_HARNESS_INLINE int16_t Next(int16_t previous, int16_t partner) {
        const uint8_t selector = bytes_.NextCyclic();
        const int low = selector & 31;
        switch (selector >> 5) {
            case 0: return kEdgeValues[low];
            case 1: return static_cast<int16_t>(Word() % 4097);
            case 2: return static_cast<int16_t>(Word() % 4097 - 2048);
            case 3: return static_cast<int16_t>(Word());
            case 4: return Clamped(previous + low - 16);
            case 5: return Clamped(partner + low - 16);
            case 6: return static_cast<int16_t>(low - 16);
            default: return previous;
        }
    }

private:
    MORVITH_FUZZ_HARNESS_INLINE uint16_t Word() {
        const uint16_t low = bytes_.NextCyclic();
        return static_cast<uint16_t>(low | bytes_.NextCyclic() << 8);
    }

    ByteCursor bytes_;
};

// A rectangle alone in an allocation of exactly its samples from start_offset on: the
// samples before it and the gaps between its rows are kGapSample.
class Rectangle {
public:
    MORVITH_FUZZ_HARNESS Rectangle(int width, int height, int pitch, int start_offset)
        : size_(static_cast<size_t>(start_offset) + static_cast<size_t>(height - 1) * pitch +
                width),
          samples_(new PixelYC[size_]),
          first_(samples_.get() + start_offset),
          pitch_(pitch) {
        PixelYC* samples = samples_.get();
        for (size_t i = 0; i < size_; ++i) samples[i] = kGapSample;
    }

    const PixelYC* first() const { return first_; }
    MORVITH_FUZZ_HARNESS_INLINE PixelYC& at(int column, int row) {
        return first_[static_cast<ptrdiff_t>(row) * pitch_ + column];
    }
    MORVITH_FUZZ_HARNESS_INLINE const PixelYC& at(int column, int row) const {
        return first_[static_cast<ptrdiff_t>(row) * pitch_ + column];
    }

private:
    size_t size_;
    std::unique_ptr<PixelYC[]> samples_;
    PixelYC* first_;
    int pitch_;
};

struct Case {
    int width = 1;
    int height = 1;
    int pitch = 1;
    int offset_a = 0;
    int offset_b = 0;
    bool threaded = false;
    unsigned threaded_path = 0;  // of the paths this processor has, modulo their count
    int team_size = 2;  // threads of a threaded pass: blocks of rows split differently
    bool workers_refused = false;  // the team starts none: the caller runs every block
    std::unique_ptr<Rectangle> a;
    std::unique_ptr<Rectangle> b;

    // Tall: 4 to 35 rows, for the windowed passes, whose windows span 8 rows and whose
    // shares of a team take window rows; the top bits of the pitch byte add 0 to 3 rows.
    MORVITH_FUZZ_HARNESS static Case Decode(const uint8_t* data, size_t size, bool tall = false) {
        ByteCursor header(data, size);
        Case c;
        c.width = 1 + header.NextWord() % kMaxWidth;
        const uint8_t shape = header.Next();
        c.height = 1 + shape % kMaxHeight;
        c.threaded_path = shape >> 3 & 3;
        c.team_size = 2 + (shape >> 5 & 1);
        c.workers_refused = (shape & 0x40) != 0;
        c.threaded = (shape & 0x80) != 0;
        const uint8_t pitch = header.Next();
        c.pitch = c.width + pitch % (kMaxPitchExtra + 1);
        if (tall) c.height = 4 * c.height + (pitch >> 5 & 3);
        const uint8_t offsets = header.Next();
        c.offset_a = offsets & kMaxStartOffset;
        c.offset_b = offsets >> 4;
        c.a = std::make_unique<Rectangle>(c.width, c.height, c.pitch, c.offset_a);
        c.b = std::make_unique<Rectangle>(c.width, c.height, c.pitch, c.offset_b);

        SampleStream stream(header.Rest());
        for (Rectangle* picture : {c.a.get(), c.b.get()}) {
            PixelYC previous{0, 0, 0};
            for (int r = 0; r < c.height; ++r) {
                for (int col = 0; col < c.width; ++col) {
                    const PixelYC partner = picture == c.b.get() ? c.a->at(col, r) : previous;
                    PixelYC& sample = picture->at(col, r);
                    sample.y = stream.Next(previous.y, partner.y);
                    sample.cb = stream.Next(previous.cb, partner.cb);
                    sample.cr = stream.Next(previous.cr, partner.cr);
                    previous = sample;
                }
            }
        }
        return c;
    }

    // The case in a form that a failure report can show: sizes first, then the samples.
    void Print(const char* path, bool parallel) const {
        std::fprintf(stderr,
                     "kernel path %s, %s (team of %d%s): width %d height %d pitch %d start "
                     "offsets %d %d\n",
                     path, parallel ? "threaded" : "serial", team_size,
                     workers_refused ? ", no worker started" : "", width, height, pitch,
                     offset_a, offset_b);
        for (const Rectangle* picture : {a.get(), b.get()}) {
            std::fprintf(stderr, "%c:", picture == a.get() ? 'A' : 'B');
            for (int r = 0; r < height; ++r) {
                std::fprintf(stderr, "\n row %d:", r);
                for (int col = 0; col < width; ++col) {
                    const PixelYC& s = picture->at(col, r);
                    std::fprintf(stderr, " (%d %d %d)", s.y, s.cb, s.cr);
                }
            }
            std::fprintf(stderr, "\n");
        }
    }
};

struct PathRun {
    KernelPath path;
    const RowKernels* kernels;
    bool parallel;
};

// The paths this processor has, each serial.
inline const std::vector<PathRun>& PathsOnThisProcessor() {
    static const std::vector<PathRun> paths = [] {
        std::vector<PathRun> found;
        for (KernelPath path : {KernelPath::Scalar, KernelPath::Sse2, KernelPath::Avx, KernelPath::Avx2}) {
            const RowKernels* kernels = RowKernelsFor(path);
            if (kernels != nullptr) found.push_back({path, kernels, false});
        }
        return found;
    }();
    return paths;
}

struct PathRuns {
    PathRun runs[4];
    int count = 0;
    const PathRun* begin() const { return runs; }
    const PathRun* end() const { return runs + count; }
};

// Every path serial, except the serial scalar path, which is the reference itself; and one
// path threaded when the case asks, the case choosing which: a threaded pass costs a team's
// wake-up, many times a serial case's whole time.
inline PathRuns PathsToCheck(const Case& c) {
    const std::vector<PathRun>& paths = PathsOnThisProcessor();
    PathRuns runs;
    for (const PathRun& run : paths) {
        if (run.path != KernelPath::Scalar) runs.runs[runs.count++] = run;
    }
    if (c.threaded) {
        PathRun threaded = paths[c.threaded_path % paths.size()];
        threaded.parallel = true;
        runs.runs[runs.count++] = threaded;
    }
    return runs;
}

[[noreturn]] inline void Fail(const Case& c, const PathRun& run, const char* what) {
    std::fprintf(stderr, "MISMATCH: %s\n", what);
    c.Print(KernelPathName(run.path), run.parallel);
    std::abort();
}

inline const PathRun kReferenceRun{KernelPath::Scalar, &ScalarRowKernels(), false};

// The sums of the serial scalar reference, checked against plain arithmetic, and those of
// every path to check against them; expect_identical fails the case on a difference.
template <typename Sums>
Sums ReferenceSumsCheckedOnEveryPath(
    const Case& c,
    Sums (*sums_with)(const RowKernels&, const PixelYC*, const PixelYC*, int, int, int, RowTeam*),
    void (*expect_identical)(const Case&, const PathRun&, const Sums&, const Sums&),
    Sums (*plain_sums)(const Case&)) {
    ThreadTeam team(c.team_size, c.workers_refused ? 0 : -1);
    const auto sums = [&](const RowKernels& kernels, bool parallel) {
        return sums_with(kernels, c.a->first(), c.b->first(), c.width, c.height, c.pitch,
                         parallel ? &team : nullptr);
    };
    const Sums reference = sums(ScalarRowKernels(), false);
    expect_identical(c, kReferenceRun, reference, plain_sums(c));
    for (const PathRun& run : PathsToCheck(c))
        expect_identical(c, run, sums(*run.kernels, run.parallel), reference);
    return reference;
}

}  // namespace morvith::fuzz
