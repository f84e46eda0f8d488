#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "psnr.h"

namespace morvith {

// Text held in place, never on the heap: composing a title cannot fail, and the modules
// need no string library. Appending past the capacity keeps what fits; the texts below
// are bounded well within theirs.
template <size_t CAPACITY>
class FixedText {
public:
    void Append(std::string_view piece) {
        const size_t room = CAPACITY - length_;
        const size_t count = piece.size() < room ? piece.size() : room;
        for (size_t i = 0; i < count; ++i) bytes_[length_ + i] = piece[i];
        length_ += count;
        bytes_[length_] = '\0';
    }
    void Append(char c) { Append(std::string_view(&c, 1)); }

    const char* c_str() const { return bytes_; }
    size_t size() const { return length_; }
    operator std::string_view() const { return {bytes_, length_}; }
    friend bool operator==(const FixedText& text, std::string_view other) {
        return std::string_view(text) == other;
    }
    friend bool operator==(const FixedText& text, const FixedText& other) {
        return std::string_view(text) == std::string_view(other);
    }

private:
    char bytes_[CAPACITY + 1] = {};
    size_t length_ = 0;
};

// "-4.94066e-324" is the longest a double comes out, 13 bytes.
using MeasureText = FixedText<15>;
// Four numbers, three units and "[ms]": at most 4 * 13 + 3 * 3 + 4 bytes.
using ResultLine = FixedText<79>;

// A double as a default string stream writes it: classic locale, precision 6, general.
MeasureText FormatMeasure(double value);

// "38.5421dB 44.0123dB ∞dB 16.001[ms]", with ∞ as the code page 932 bytes 0x81 0x87.
ResultLine ComposePsnrLine(const PsnrReadingTriple& readings, double elapsed_ms);

// "0.987654 0.998765 1 31.2[ms]"
ResultLine ComposeSsimLine(const ChannelTriple<double>& values, double elapsed_ms);

// "VMAF 93.4512 48.215[ms]"
ResultLine ComposeVmafLine(double score, double elapsed_ms);

// Whole microseconds truncated toward zero, times 0.001.
double ElapsedMilliseconds(int64_t elapsed_nanoseconds);

}  // namespace morvith
