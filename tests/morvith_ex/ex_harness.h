#pragma once

// What the tests of morvith_ex.auf share: the module, its controls by name, the texts it
// shows as independently spelled code page 932 bytes, and pictures with known contents.

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "guarded_picture.h"
#include "standin_host.h"

namespace morvith::ex_test {

using standin::Clip;
using standin::Picture;
using standin::StandInHost;

inline constexpr char MODULE_PATH[] = MORVITH_EX_MODULE;

inline constexpr char DISPLAY_NAME[] = "Morvith ex";
inline constexpr char PROGRESS_TEXT[] = "\x8C" "v\x8E" "Z\x92\x86...";  // followed by " measured/frames"
inline constexpr char STOPPED_TEXT[] = "\x92\x86\x92" "f";  // followed by " (measured/frames)"
inline constexpr char FRAME_ERROR_TEXT[] =
    "\x83t\x83\x8C\x81[\x83\x80\x82\xAA\x93\xC7\x82\xDD\x8D\x9E\x82\xDF\x82\xDC\x82\xB9\x82\xF1"
    "\x82\xC5\x82\xB5\x82\xBD\x81\x42";
inline constexpr char ERROR_CAPTION[] = "\x83G\x83\x89\x81[";
inline constexpr char INFINITE_DB[] = "\x81\x87" "dB ";

enum Slider { KIND, REGION_WIDTH, REGION_HEIGHT, X1, Y1, X2, Y2, RANGE_START, RANGE_END };
enum Checkbox { AVERAGE, OUTLINE };

inline constexpr PixelYC WHITE{4096, 0, 0};
// A PSNR reading of no difference at all.
inline constexpr double ENDLESS = std::numeric_limits<double>::quiet_NaN();

// Slider values for one call; the rest keep what the host has.
struct Controls {
    int32_t kind = 0;
    int32_t region_width = 640;
    int32_t region_height = 480;
    int32_t x1 = 0;
    int32_t y1 = 0;
    int32_t x2 = 640;
    int32_t y2 = 0;
    int32_t range_start = 0;
    int32_t range_end = 0;
    int32_t average = 0;
    int32_t outline = 1;

    void ApplyTo(StandInHost& host) const;
};

// A picture whose samples differ from each other, so that a misplaced read or write shows.
Picture PatternPicture(int width, int height, uint32_t seed);
Picture Constant(int width, int height, PixelYC value);
// `value` written into the rectangle width x height at (x, y).
void FillRectangle(Picture& picture, int x, int y, int width, int height, PixelYC value);
Clip ClipOf(std::vector<std::optional<Picture>> frames, int max_width = 0);

// The picture `before` with the outlines of both rectangles of `controls` drawn in.
Picture WithOutlines(Picture before, const Controls& controls);
// Sample-by-sample comparison that names the first difference.
::testing::AssertionResult SamePicture(const Picture& expected, const Picture& actual);

// The title while a range runs, `measured` of `frames` done.
inline std::string Progress(size_t measured, int32_t frames) {
    return std::string(PROGRESS_TEXT) + " " + std::to_string(measured) + "/" + std::to_string(frames);
}

// A result line whose values are `values` (e.g. "60.206dB ∞dB ∞dB "), or any values when
// that is empty, and then a time.
::testing::AssertionResult IsResultLine(const std::string& title, const std::string& values);

// The six-digit text of a value, as the result line writes it.
std::string Digits(double value);
std::string PsnrValues(std::initializer_list<double> decibels);  // NaN for infinite
std::string SsimValues(double y, double cb, double cr);

// Every title the plug-in sets while it lives, with the number of service calls the host
// had seen at that moment, so that a title can be placed among the calls.
class TitleHistory {
public:
    explicit TitleHistory(StandInHost& host);
    ~TitleHistory();
    TitleHistory(const TitleHistory&) = delete;
    TitleHistory& operator=(const TitleHistory&) = delete;

    struct Entry {
        std::string text;
        size_t calls_before = 0;
    };
    const std::vector<Entry>& entries() const { return entries_; }
    void Clear() { entries_.clear(); }

private:
    static LRESULT CALLBACK Record(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

    StandInHost& host_;
    WNDPROC original_ = nullptr;
    std::vector<Entry> entries_;
};

// A host of the test's own that hands out one picture for every frame, so that a long range
// costs no copying: the process callback with a copy of the stand-in host's registration
// (its window, for the titles) and a service table that serves the range alone.
class RepeatingHost {
public:
    RepeatingHost(StandInHost& host, testing::GuardedPicture& picture);
    // The callback's result on a job of the picture, with these sliders and checkboxes.
    int32_t Process(const Controls& controls);
    int32_t fetches() const;
    // Frames past `last` are not delivered (null), as past the end of a clip.
    void DeliverFramesUpTo(int32_t last);

private:
    host::FilterRegistration registration_;
    host::HostServices services_{};
    testing::GuardedPicture& picture_;
};

}  // namespace morvith::ex_test
