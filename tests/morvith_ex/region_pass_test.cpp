// One picture: the validity checks, the measurement of the current picture and the outlines.

#include <climits>
#include <cmath>
#include <functional>

#include "ex_harness.h"
#include "guarded_picture.h"

namespace morvith::ex_test {
namespace {

double PsnrOfOffset(double d) { return 20.0 * std::log10(4096.0 / d); }

// One host, one picture; every test sets the controls it needs.
class ExRegionPass : public ::testing::Test {
protected:
    void UsePicture(Picture picture, int max_width = 0) {
        picture_ = picture;
        host_.SetClip(ClipOf({std::move(picture)}, max_width));
    }

    standin::FrameResult Run(const Controls& controls) {
        controls.ApplyTo(host_);
        SetWindowTextA(host_.window(), "stale");
        host_.ClearLog();
        return host_.ProcessFrame(0);
    }

    // Nothing measured, nothing drawn, nothing fetched.
    void ExpectRefused(const Controls& controls, const char* what) {
        SCOPED_TRACE(what);
        const standin::FrameResult result = Run(controls);
        EXPECT_EQ(result.returned, 1);
        EXPECT_EQ(result.title, DISPLAY_NAME);
        EXPECT_TRUE(SamePicture(picture_, result.work_after));
        EXPECT_TRUE(result.work_gaps_intact);
        EXPECT_TRUE(host_.CallsOf(standin::Service::ReserveFrameCache).empty());
        EXPECT_TRUE(host_.CallsOf(standin::Service::FetchFilteredFrame).empty());
    }

    StandInHost host_{MODULE_PATH};
    Picture picture_;
};

TEST_F(ExRegionPass, DefaultsOnAFullHdPictureOutlineBothRectanglesAndChangeNothingElse) {
    UsePicture(PatternPicture(1920, 1080, 7), 1936);
    SetWindowTextA(host_.window(), "stale");
    const standin::FrameResult result = host_.ProcessFrame(0);

    EXPECT_EQ(result.returned, 1);
    EXPECT_EQ(result.title, DISPLAY_NAME);
    EXPECT_TRUE(SamePicture(WithOutlines(picture_, Controls{}), result.work_after));
    EXPECT_TRUE(result.work_gaps_intact);
    EXPECT_EQ(result.width, 1920);
    EXPECT_EQ(result.height, 1080);
    EXPECT_TRUE(host_.CallsOf(standin::Service::FetchFilteredFrame).empty());
}

// Rectangle 2 is rectangle 1 with y raised by 4 and cr lowered by 2; the outline step must
// come after the measurement, or the white borders would hide part of the difference.
TEST_F(ExRegionPass, PsnrOfOnePictureFromItsClosedForm) {
    Picture picture = PatternPicture(96, 40, 11);
    const Controls controls{.kind = 1, .region_width = 40, .region_height = 30,
                            .x1 = 2, .y1 = 5, .x2 = 50, .y2 = 8};
    for (int r = 0; r < 30; ++r) {
        for (int c = 0; c < 40; ++c) {
            const PixelYC a = picture.at(2 + c, 5 + r);
            picture.at(50 + c, 8 + r) = {static_cast<int16_t>(a.y + 4), a.cb,
                                         static_cast<int16_t>(a.cr - 2)};
        }
    }
    UsePicture(picture, 101);

    const standin::FrameResult result = Run(controls);
    EXPECT_TRUE(IsResultLine(result.title, PsnrValues({PsnrOfOffset(4), ENDLESS, PsnrOfOffset(2)})));
    EXPECT_TRUE(SamePicture(WithOutlines(picture_, controls), result.work_after));
}

// Constant rectangles: the mean term alone; gray chroma reads 1.
TEST_F(ExRegionPass, SsimOfOnePictureFromItsClosedForm) {
    Picture constant = Constant(64, 16, {1024, 0, 0});
    FillRectangle(constant, 32, 0, 32, 16, {2048, 0, 0});
    UsePicture(constant);
    const Controls halves{.kind = 2, .region_width = 32, .region_height = 16, .x2 = 32};
    EXPECT_TRUE(IsResultLine(Run(halves).title, SsimValues(0.800064, 1, 1)));
}

TEST_F(ExRegionPass, IdenticalAndOverlappingRectanglesAreMeasuredAsTheyLie) {
    // y rises by 16 and cb falls by 8 per column: one column apart, every pair differs by that.
    Picture ramp = Constant(40, 12, {0, 0, 300});
    for (int r = 0; r < 12; ++r)
        for (int c = 0; c < 40; ++c) ramp.at(c, r) = {static_cast<int16_t>(16 * c), static_cast<int16_t>(-8 * c), 300};
    UsePicture(ramp, 45);

    const Controls same{.kind = 1, .region_width = 20, .region_height = 10, .x1 = 3, .y1 = 1, .x2 = 3, .y2 = 1};
    EXPECT_TRUE(IsResultLine(Run(same).title, PsnrValues({ENDLESS, ENDLESS, ENDLESS})));
    Controls same_ssim = same;
    same_ssim.kind = 2;
    EXPECT_TRUE(IsResultLine(Run(same_ssim).title, SsimValues(1, 1, 1)));

    const Controls overlapping{.kind = 1, .region_width = 20, .region_height = 10, .x1 = 3, .y1 = 1, .x2 = 4, .y2 = 1};
    const standin::FrameResult result = Run(overlapping);
    EXPECT_TRUE(IsResultLine(result.title, PsnrValues({PsnrOfOffset(16), PsnrOfOffset(8), ENDLESS})));
    EXPECT_TRUE(SamePicture(WithOutlines(picture_, overlapping), result.work_after));
}

TEST_F(ExRegionPass, RectanglesEndingAtTheLastColumnAndRowAreMeasured) {
    UsePicture(PatternPicture(50, 30, 3), 64);
    const Controls at_edges{.kind = 2, .region_width = 10, .region_height = 7, .x1 = 0, .y1 = 0, .x2 = 40, .y2 = 23};
    const standin::FrameResult result = Run(at_edges);
    EXPECT_TRUE(IsResultLine(result.title, ""));
    EXPECT_NE(result.title, DISPLAY_NAME);
    EXPECT_TRUE(SamePicture(WithOutlines(picture_, at_edges), result.work_after));
    EXPECT_TRUE(result.work_gaps_intact);

    // The whole picture as one rectangle, compared with itself.
    const Controls whole{.kind = 1, .region_width = 50, .region_height = 30, .x2 = 0};
    EXPECT_TRUE(IsResultLine(Run(whole).title, PsnrValues({ENDLESS, ENDLESS, ENDLESS})));
}

TEST_F(ExRegionPass, SettingsThatCannotBeMeasuredShowTheNameAndTouchNothing) {
    UsePicture(PatternPicture(50, 30, 5), 56);
    const Controls fits{.kind = 1, .region_width = 10, .region_height = 7, .x1 = 0, .y1 = 0, .x2 = 40, .y2 = 23,
                        .range_start = 0, .range_end = 0};
    const auto with = [&](std::function<void(Controls&)> change) {
        Controls controls = fits;
        change(controls);
        return controls;
    };

    ExpectRefused(with([](Controls& c) { c.average = 1, c.range_start = 3, c.range_end = 2; }), "range backwards");
    ExpectRefused(with([](Controls& c) { c.kind = 0, c.average = 1, c.range_start = 3, c.range_end = 2; }),
                  "range backwards, nothing to measure");
    ExpectRefused(with([](Controls& c) { c.region_width = 0; }), "width 0");
    ExpectRefused(with([](Controls& c) { c.region_height = 0; }), "height 0");
    ExpectRefused(with([](Controls& c) { c.x1 = 41; }), "rectangle 1 past the right edge");
    ExpectRefused(with([](Controls& c) { c.y1 = 24; }), "rectangle 1 past the bottom edge");
    ExpectRefused(with([](Controls& c) { c.x2 = 41; }), "rectangle 2 past the right edge");
    ExpectRefused(with([](Controls& c) { c.y2 = 24; }), "rectangle 2 past the bottom edge");
    ExpectRefused(with([](Controls& c) { c.region_width = 51, c.x2 = 0, c.y2 = 0; }), "wider than the picture");
    ExpectRefused(with([](Controls& c) { c.x2 = 50; c.region_width = 1; c.y2 = 0; }),
                  "within the row pitch but outside the picture");

    // Values the host never hands out.
    ExpectRefused(with([](Controls& c) { c.x1 = -1; }), "negative x1");
    ExpectRefused(with([](Controls& c) { c.y1 = -1; }), "negative y1");
    ExpectRefused(with([](Controls& c) { c.x2 = -10; }), "negative x2");
    ExpectRefused(with([](Controls& c) { c.y2 = -23; }), "negative y2 ending inside");
    ExpectRefused(with([](Controls& c) { c.region_width = -5; }), "negative width");
    ExpectRefused(with([](Controls& c) { c.region_height = -5; c.y1 = 10; c.y2 = 10; }), "negative height");
    ExpectRefused(with([](Controls& c) { c.x1 = INT_MAX; c.region_width = 1; }), "x1 + width wraps in 32 bits");
    ExpectRefused(with([](Controls& c) { c.y2 = INT_MAX - 3; }), "y2 + height wraps in 32 bits");
    ExpectRefused(with([](Controls& c) { c.region_width = INT_MAX; c.region_height = INT_MAX; }), "huge sizes");
    ExpectRefused(with([](Controls& c) { c.x1 = INT_MIN; c.region_width = INT_MAX; }), "x1 + width negative");
    ExpectRefused(with([](Controls& c) { c.average = 1, c.range_start = -1, c.range_end = 2; }), "negative range start");
    ExpectRefused(with([](Controls& c) { c.average = 1, c.range_start = -3, c.range_end = -1; }), "negative range");
    ExpectRefused(with([](Controls& c) { c.average = 1, c.range_start = 0, c.range_end = INT_MAX; }),
                  "frame count past 32 bits");

    host_.SetSavingOutput(true);
    ExpectRefused(fits, "the host writes its output file");
    ExpectRefused(with([](Controls& c) { c.kind = 0; }), "the host writes its output file, nothing to measure");
}

TEST_F(ExRegionPass, WhatToMeasureDecidesTheTitleWhileTheOutlinesAreDrawnRegardless) {
    UsePicture(PatternPicture(30, 20, 9));
    const Controls nothing{.kind = 0, .region_width = 8, .region_height = 5, .x1 = 1, .y1 = 2, .x2 = 20, .y2 = 14};
    standin::FrameResult result = Run(nothing);
    EXPECT_EQ(result.title, DISPLAY_NAME);
    EXPECT_TRUE(SamePicture(WithOutlines(picture_, nothing), result.work_after));

    // Windowed SSIM of rectangles below 8 x 8 measures nothing either, in range mode too.
    for (const int32_t average : {0, 1}) {
        Controls too_small = nothing;
        too_small.kind = 3;
        too_small.average = average;
        result = Run(too_small);
        EXPECT_EQ(result.title, DISPLAY_NAME);
        EXPECT_TRUE(SamePicture(WithOutlines(picture_, too_small), result.work_after));
        EXPECT_TRUE(host_.CallsOf(standin::Service::ReserveFrameCache).empty());
    }

    for (const int32_t kind : {5, -1, INT_MAX, INT_MIN}) {
        for (const int32_t average : {0, 1}) {
            SCOPED_TRACE(::testing::Message() << "kind " << kind << ", average " << average);
            Controls unknown = nothing;
            unknown.kind = kind;
            unknown.average = average;
            result = Run(unknown);
            EXPECT_EQ(result.returned, 1);
            EXPECT_EQ(result.title, "stale");
            EXPECT_TRUE(SamePicture(WithOutlines(picture_, unknown), result.work_after));
            EXPECT_TRUE(host_.CallsOf(standin::Service::FetchFilteredFrame).empty());
        }
    }

    // One sample wide or high: a solid line.
    const Controls thin{.kind = 2, .region_width = 1, .region_height = 5, .x1 = 0, .y1 = 0, .x2 = 29, .y2 = 15};
    result = Run(thin);
    EXPECT_TRUE(IsResultLine(result.title, ""));
    EXPECT_TRUE(SamePicture(WithOutlines(picture_, thin), result.work_after));

    Controls unmarked = nothing;
    unmarked.kind = 1;
    unmarked.outline = 0;
    EXPECT_TRUE(SamePicture(picture_, Run(unmarked).work_after));
}

// A job the host should never send: refused before any sample is read or written.
TEST(ExRegionPassJob, AJobWithoutAUsablePictureIsRefused) {
    StandInHost host(MODULE_PATH);
    Controls{.kind = 2, .region_width = 4, .region_height = 4, .x2 = 4}.ApplyTo(host);
    testing::GuardedPicture picture(16, 8, 16);
    picture.Fill({100, 0, 0});

    struct Case {
        const char* what;
        PixelYC* work;
        int32_t width, height, max_width;
    } cases[] = {
        {"no picture", nullptr, 16, 8, 16},
        {"width 0", picture.data(), 0, 8, 16},
        {"height 0", picture.data(), 16, 0, 16},
        {"negative width", picture.data(), -16, 8, 16},
        {"negative height", picture.data(), 16, -8, 16},
        {"pitch below width", picture.data(), 16, 8, 8},
        {"negative pitch", picture.data(), 16, 8, -16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        host::FrameJob job{};
        job.work_picture = c.work;
        job.width = c.width;
        job.height = c.height;
        job.max_width = c.max_width;
        job.edit_handle = StandInHost::EditHandle();
        SetWindowTextA(host.window(), "stale");
        host::FilterRegistration& registration = host.registration();
        EXPECT_EQ(registration.process_callback(&registration, &job), 1);
        EXPECT_EQ(host.WindowTitle(), DISPLAY_NAME);
        EXPECT_EQ(job.width, c.width);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 16; ++x) ASSERT_EQ(picture.at(x, y).y, 100);
    }
}

}  // namespace
}  // namespace morvith::ex_test
