#include "ex_harness.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>

#include "guarded_picture.h"

namespace morvith::ex_test {

void Controls::ApplyTo(StandInHost& host) const {
    const int32_t sliders[] = {kind, region_width, region_height, x1,       y1,
                               x2,   y2,           range_start,   range_end};
    for (int i = 0; i < 9; ++i) host.SetSlider(i, sliders[i]);
    host.SetCheckbox(AVERAGE, average);
    host.SetCheckbox(OUTLINE, outline);
}

Picture PatternPicture(int width, int height, uint32_t seed) {
    testing::TestRandom random(seed);
    Picture picture{width, height, std::vector<PixelYC>(static_cast<size_t>(width) * height)};
    for (PixelYC& sample : picture.samples) {
        sample = {static_cast<int16_t>(random.Between(0, 4096)),
                  static_cast<int16_t>(random.Between(-2048, 2048)),
                  static_cast<int16_t>(random.Between(-2048, 2048))};
    }
    return picture;
}

Picture Constant(int width, int height, PixelYC value) {
    return standin::ConstantPicture(width, height, value);
}

void FillRectangle(Picture& picture, int x, int y, int width, int height, PixelYC value) {
    for (int r = 0; r < height; ++r)
        for (int c = 0; c < width; ++c) picture.at(x + c, y + r) = value;
}

Clip ClipOf(std::vector<std::optional<Picture>> frames, int max_width) {
    return standin::MakeClip(std::move(frames), max_width);
}

Picture WithOutlines(Picture picture, const Controls& controls) {
    const int w = controls.region_width;
    const int h = controls.region_height;
    for (const auto& [x, y] : {std::pair{controls.x1, controls.y1}, std::pair{controls.x2, controls.y2}}) {
        FillRectangle(picture, x, y, w, 1, WHITE);
        FillRectangle(picture, x, y + h - 1, w, 1, WHITE);
        FillRectangle(picture, x, y, 1, h, WHITE);
        FillRectangle(picture, x + w - 1, y, 1, h, WHITE);
    }
    return picture;
}

::testing::AssertionResult SamePicture(const Picture& expected, const Picture& actual) {
    if (expected.width != actual.width || expected.height != actual.height) {
        return ::testing::AssertionFailure() << "size " << actual.width << "x" << actual.height
                                             << ", expected " << expected.width << "x"
                                             << expected.height;
    }
    for (int y = 0; y < expected.height; ++y) {
        for (int x = 0; x < expected.width; ++x) {
            const PixelYC e = expected.at(x, y);
            const PixelYC a = actual.at(x, y);
            if (e.y != a.y || e.cb != a.cb || e.cr != a.cr) {
                return ::testing::AssertionFailure()
                       << "sample (" << x << ", " << y << ") is {" << a.y << ", " << a.cb << ", "
                       << a.cr << "}, expected {" << e.y << ", " << e.cb << ", " << e.cr << "}";
            }
        }
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult IsResultLine(const std::string& title, const std::string& values) {
    const size_t time_start = title.rfind(' ') + 1;  // 0 when there is no space
    const std::string shown = title.substr(0, time_start);
    const std::string time = title.substr(time_start);
    char* end = nullptr;
    const double ms = std::strtod(time.c_str(), &end);
    const bool timed = time.size() > 4 && time.compare(time.size() - 4, 4, "[ms]") == 0 &&
                       end == time.c_str() + time.size() - 4 && ms >= 0.0;
    if (!timed || (values.empty() ? shown.empty() : shown != values)) {
        return ::testing::AssertionFailure() << "title \"" << title << "\", expected \""
                                             << (values.empty() ? "<values> " : values) << "<time>[ms]\"";
    }
    return ::testing::AssertionSuccess();
}

std::string Digits(double value) {
    std::ostringstream stream;
    stream << value;
    return stream.str();
}

std::string PsnrValues(std::initializer_list<double> decibels) {
    std::string values;
    for (const double db : decibels) values += std::isnan(db) ? INFINITE_DB : Digits(db) + "dB ";
    return values;
}

std::string SsimValues(double y, double cb, double cr) {
    return Digits(y) + " " + Digits(cb) + " " + Digits(cr) + " ";
}

namespace {

TitleHistory* recording = nullptr;

}  // namespace

TitleHistory::TitleHistory(StandInHost& host) : host_(host) {
    recording = this;
    original_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        host.window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TitleHistory::Record)));
}

TitleHistory::~TitleHistory() {
    SetWindowLongPtrA(host_.window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
    recording = nullptr;
}

LRESULT CALLBACK TitleHistory::Record(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    TitleHistory& self = *recording;
    if (message == WM_SETTEXT && lparam != 0) {
        self.entries_.push_back({reinterpret_cast<const char*>(lparam), self.host_.calls().size()});
    }
    return CallWindowProcA(self.original_, window, message, wparam, lparam);
}

namespace repeating {
testing::GuardedPicture* picture = nullptr;
int32_t fetches = 0;
int32_t last_frame = INT32_MAX;
MORVITH_HOST_CALLBACK int32_t NotSaving(void*) { return 0; }
MORVITH_HOST_CALLBACK int32_t Reserve(host::FilterRegistration*, int32_t, int32_t, int32_t, int32_t) { return 1; }
MORVITH_HOST_CALLBACK PixelYC* Fetch(host::FilterRegistration*, void*, int32_t frame, int32_t* width, int32_t* height) {
    ++fetches;
    if (frame > last_frame) return nullptr;
    *width = picture->width();
    *height = picture->height();
    return picture->data();
}
}  // namespace repeating

RepeatingHost::RepeatingHost(StandInHost& host, testing::GuardedPicture& picture)
    : registration_(host.registration()), picture_(picture) {
    services_.IsSavingOutput = repeating::NotSaving;
    services_.ReserveFrameCache = repeating::Reserve;
    services_.FetchFilteredFrame = repeating::Fetch;
    registration_.services = &services_;
    repeating::last_frame = INT32_MAX;
}

int32_t RepeatingHost::Process(const Controls& c) {
    int32_t sliders[9] = {c.kind, c.region_width, c.region_height, c.x1, c.y1, c.x2, c.y2, c.range_start, c.range_end};
    int32_t checkboxes[2] = {c.average, c.outline};
    registration_.slider_values = sliders;
    registration_.checkbox_values = checkboxes;
    repeating::picture = &picture_;
    repeating::fetches = 0;
    host::FrameJob job{};
    job.work_picture = picture_.data();
    job.width = picture_.width();
    job.height = picture_.height();
    job.max_width = picture_.pitch();
    return registration_.process_callback(&registration_, &job);
}

int32_t RepeatingHost::fetches() const { return repeating::fetches; }
void RepeatingHost::DeliverFramesUpTo(int32_t last) { repeating::last_frame = last; }

}  // namespace morvith::ex_test
