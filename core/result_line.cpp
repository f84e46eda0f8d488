#include "result_line.h"

#include <locale>
#include <sstream>

namespace morvith {
namespace {

// The infinity sign in code page 932, the code page of the host window's title.
constexpr char kInfinity[] = "\x81\x87";

}  // namespace

std::string FormatMeasure(double value) {
    std::ostringstream stream;
    stream.imbue(std::locale::classic());
    stream << value;
    return stream.str();
}

std::string ComposePsnrLine(const PsnrReadingTriple& readings, double elapsed_ms) {
    std::string line;
    for (const PsnrReading& reading : {readings.y, readings.cb, readings.cr}) {
        line += reading.infinite ? kInfinity : FormatMeasure(reading.decibels);
        line += "dB ";
    }
    line += FormatMeasure(elapsed_ms);
    line += "[ms]";
    return line;
}

std::string ComposeSsimLine(const ChannelTriple<double>& values, double elapsed_ms) {
    std::string line;
    for (double value : {values.y, values.cb, values.cr}) {
        line += FormatMeasure(value);
        line += ' ';
    }
    line += FormatMeasure(elapsed_ms);
    line += "[ms]";
    return line;
}

double ElapsedMilliseconds(int64_t elapsed_nanoseconds) {
    const int64_t microseconds = elapsed_nanoseconds / 1000;
    return static_cast<double>(microseconds) * 0.001;
}

}  // namespace morvith
