#pragma once

#include <cstdint>
#include <string>

#include "psnr.h"

namespace morvith {

// A double as a default string stream writes it: classic locale, precision 6, general.
std::string FormatMeasure(double value);

// "38.5421dB 44.0123dB ∞dB 16.001[ms]", with ∞ as the code page 932 bytes 0x81 0x87.
std::string ComposePsnrLine(const PsnrReadingTriple& readings, double elapsed_ms);

// "0.987654 0.998765 1 31.2[ms]"
std::string ComposeSsimLine(const ChannelTriple<double>& values, double elapsed_ms);

// Whole microseconds truncated toward zero, times 0.001.
double ElapsedMilliseconds(int64_t elapsed_nanoseconds);

}  // namespace morvith
