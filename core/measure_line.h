#pragma once

// One timed measurement of a rectangle pair, as both plug-ins show it: the stopwatch
// covers the passes only, the conversion and the composition of the text come after.

#include <string>

#include "pixel.h"
#include "psnr.h"

namespace morvith {

std::string MeasurePsnrLine(const RectanglePair& pair, bool parallel, PsnrForm form);
std::string MeasureSsimLine(const RectanglePair& pair, bool parallel);

}  // namespace morvith
