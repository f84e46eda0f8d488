// "平均値" on: the range measurement, its order of work with the host and its failures.

#include <climits>
#include <cmath>

#include "ex_harness.h"
#include "foreign_window.h"
#include "guarded_picture.h"

namespace morvith::ex_test {
namespace {

using standin::Service;

// 32 x 12 frames; rectangles 12 x 10 at (1, 1) and (18, 2).
constexpr Controls RANGE{.kind = 1, .region_width = 12, .region_height = 10, .x1 = 1, .y1 = 1,
                         .x2 = 18, .y2 = 2, .range_start = 1, .range_end = 5, .average = 1};

// Rectangle 2 a copy of rectangle 1, except that y is raised by `y_offset`.
Picture FrameWithOffset(uint32_t seed, int y_offset) {
    Picture picture = PatternPicture(32, 12, seed);
    for (int r = 0; r < RANGE.region_height; ++r) {
        for (int c = 0; c < RANGE.region_width; ++c) {
            PixelYC sample = picture.at(RANGE.x1 + c, RANGE.y1 + r);
            sample.y = static_cast<int16_t>(sample.y + y_offset);
            picture.at(RANGE.x2 + c, RANGE.y2 + r) = sample;
        }
    }
    return picture;
}

Clip ClipWhereOnlyFrameDiffers(int frame_count, int differing, int y_offset) {
    std::vector<std::optional<Picture>> frames;
    for (int i = 0; i < frame_count; ++i)
        frames.push_back(FrameWithOffset(100 + i, i == differing ? y_offset : 0));
    return ClipOf(std::move(frames), 40);
}

class ExFrameRange : public ::testing::Test {
protected:
    standin::FrameResult Run(const Controls& controls, int frame = 0) {
        controls.ApplyTo(host_);
        SetWindowTextA(host_.window(), "stale");
        host_.ClearLog();
        return host_.ProcessFrame(frame);
    }
    const Picture& Frame(int index) const { return *host_.clip().frames[index]; }

    StandInHost host_{MODULE_PATH, ClipWhereOnlyFrameDiffers(8, 3, 4)};
};

TEST_F(ExFrameRange, ShowsProgressReservesTheCacheOnceAndFetchesEveryFrameInOrder) {
    TitleHistory titles(host_);
    const standin::FrameResult result = Run(RANGE);

    const std::vector<standin::ServiceCall>& calls = host_.calls();
    ASSERT_EQ(calls.size(), 7u);
    EXPECT_EQ(calls[0].service, Service::IsSavingOutput);
    EXPECT_EQ(calls[1].service, Service::ReserveFrameCache);
    EXPECT_EQ(calls[1].registration, &host_.registration());
    EXPECT_EQ(calls[1].max_width, 40);
    EXPECT_EQ(calls[1].height, 12);
    EXPECT_EQ(calls[1].frame_count, 10);
    EXPECT_EQ(calls[1].flags, 0);
    for (int n = 1; n <= 5; ++n) {
        const standin::ServiceCall& fetch = calls[1 + n];
        EXPECT_EQ(fetch.service, Service::FetchFilteredFrame);
        EXPECT_EQ(fetch.frame, n);
        EXPECT_EQ(fetch.registration, &host_.registration());
        EXPECT_EQ(fetch.edit_handle, StandInHost::EditHandle());
    }

    // The progress text before the cache is reserved, the result after the last frame; any
    // progress between shows the frames measured when it was set.
    const std::string psnr = PsnrValues({20 * std::log10(4096.0 / 4) + 10 * std::log10(5.0), ENDLESS, ENDLESS});
    const std::vector<TitleHistory::Entry>& shown = titles.entries();
    ASSERT_GE(shown.size(), 3u);  // the test's own "stale" first
    EXPECT_EQ(shown[1].text, Progress(0, 5));
    EXPECT_EQ(shown[1].calls_before, 1u);
    for (size_t i = 2; i + 1 < shown.size(); ++i) EXPECT_EQ(shown[i].text, Progress(shown[i].calls_before - 2, 5));
    EXPECT_TRUE(IsResultLine(shown.back().text, psnr));
    EXPECT_EQ(shown.back().calls_before, 7u);
    EXPECT_EQ(psnr, "67.1957dB " + std::string(INFINITE_DB) + INFINITE_DB);

    // The current frame lies outside the range: not measured, but outlined.
    EXPECT_EQ(result.returned, 1);
    EXPECT_TRUE(SamePicture(WithOutlines(Frame(0), RANGE), result.work_after));
    EXPECT_TRUE(result.work_gaps_intact);
    EXPECT_EQ(result.width, 32);
    EXPECT_EQ(result.height, 12);
}

TEST_F(ExFrameRange, SsimIsTheMeanOfThePerFrameValues) {
    // Frame 2: constant 1024 against constant 2048 in Y; every other frame identical.
    std::vector<std::optional<Picture>> frames;
    for (int i = 0; i < 6; ++i) {
        Picture picture = FrameWithOffset(200 + i, 0);
        if (i == 2) {
            FillRectangle(picture, RANGE.x1, RANGE.y1, RANGE.region_width, RANGE.region_height, {1024, 0, 0});
            FillRectangle(picture, RANGE.x2, RANGE.y2, RANGE.region_width, RANGE.region_height, {2048, 0, 0});
        }
        frames.push_back(std::move(picture));
    }
    host_.SetClip(ClipOf(std::move(frames)));
    Controls controls = RANGE;
    controls.kind = 2;
    const double c1 = 1677.7216;
    const double mean_term = (2.0 * 1024 * 2048 + c1) / (1024.0 * 1024 + 2048.0 * 2048 + c1);
    EXPECT_TRUE(IsResultLine(Run(controls).title, SsimValues((mean_term + 4) / 5, 1, 1)));
    EXPECT_EQ(SsimValues((mean_term + 4) / 5, 1, 1), "0.960013 1 1 ");
}

TEST_F(ExFrameRange, ARangeOfOneFrameReadsAsThatFrameAlone) {
    for (const int32_t kind : {1, 2}) {
        SCOPED_TRACE(kind);
        Controls single{.kind = kind, .region_width = 12, .region_height = 10, .x1 = 1, .y1 = 1, .x2 = 18, .y2 = 2};
        Controls range = single;
        range.average = 1;
        range.range_start = range.range_end = 3;
        // A pattern frame, so that the rectangles differ in every channel.
        host_.SetClip(ClipOf({PatternPicture(32, 12, 1), PatternPicture(32, 12, 2), PatternPicture(32, 12, 3),
                              PatternPicture(32, 12, 4)}));
        const std::string alone = Run(single, 3).title;
        const std::string pooled = Run(range, 0).title;
        EXPECT_EQ(host_.CallsOf(Service::FetchFilteredFrame).size(), 1u);
        EXPECT_EQ(pooled.substr(0, pooled.rfind(' ')), alone.substr(0, alone.rfind(' ')));
    }
}

TEST_F(ExFrameRange, NothingToMeasureFetchesNothing) {
    TitleHistory titles(host_);
    Controls nothing = RANGE;
    nothing.kind = 0;
    const standin::FrameResult result = Run(nothing);
    EXPECT_EQ(result.title, DISPLAY_NAME);
    EXPECT_EQ(host_.calls().size(), 1u);  // IsSavingOutput alone
    for (const TitleHistory::Entry& entry : titles.entries()) EXPECT_NE(entry.text.rfind(PROGRESS_TEXT, 0), 0u);
    EXPECT_TRUE(SamePicture(WithOutlines(Frame(0), RANGE), result.work_after));
}

TEST_F(ExFrameRange, AFrameTheHostCannotDeliverStopsTheRangeWithOneBox) {
    std::vector<std::optional<Picture>> frames;
    for (int i = 0; i < 7; ++i) frames.push_back(FrameWithOffset(300 + i, 0));
    frames[3].reset();
    host_.SetClip(ClipOf(std::move(frames)));

    for (const Controls& failing : {RANGE, Controls{RANGE.kind, 12, 10, 1, 1, 18, 2, 5, 9, 1, 1}}) {
        const int missing = failing.range_start == 1 ? 3 : 7;  // a gap, or past the end of the clip
        SCOPED_TRACE(missing);
        for (const int32_t kind : {1, 2}) {
            Controls controls = failing;
            controls.kind = kind;
            const standin::FrameResult result = Run(controls);
            EXPECT_EQ(result.returned, 1);
            EXPECT_EQ(result.title, Progress(missing - controls.range_start, 5));  // the frames before it
            EXPECT_TRUE(SamePicture(Frame(0), result.work_after));

            const std::vector<standin::ServiceCall> fetches = host_.CallsOf(Service::FetchFilteredFrame);
            ASSERT_EQ(fetches.size(), static_cast<size_t>(missing - controls.range_start + 1));
            EXPECT_EQ(fetches.back().frame, missing);
            ASSERT_EQ(host_.message_boxes().size(), 1u);
            const standin::MessageBoxRecord& box = host_.message_boxes()[0];
            EXPECT_EQ(box.text, FRAME_ERROR_TEXT);
            EXPECT_EQ(box.caption, ERROR_CAPTION);
            EXPECT_EQ(box.icon, standin::BoxIcon::Warning);
            EXPECT_EQ(box.owner, nullptr);
            EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
            EXPECT_GT(box.sequence, fetches.back().sequence);
        }
    }
}

// The host may hand out a frame of another size than the current picture: one that cannot
// hold both rectangles is a frame that could not be read, not one to read past.
TEST_F(ExFrameRange, AFetchedFrameTooSmallForTheRectanglesCountsAsUndelivered) {
    for (const auto& [width, height] : {std::pair{29, 12}, std::pair{32, 11}}) {
        SCOPED_TRACE(::testing::Message() << width << " x " << height);
        host_.SetClip(ClipOf({FrameWithOffset(1, 0), FrameWithOffset(2, 0), PatternPicture(width, height, 3),
                              FrameWithOffset(4, 0)}));
        const standin::FrameResult result = Run(RANGE);
        EXPECT_EQ(result.title, Progress(1, 5));
        EXPECT_EQ(host_.message_boxes().size(), 1u);
        EXPECT_EQ(host_.CallsOf(Service::FetchFilteredFrame).size(), 2u);
        EXPECT_TRUE(SamePicture(Frame(0), result.work_after));
    }
}

TEST_F(ExFrameRange, TheJobKeepsTheSizeOfTheCurrentPicture) {
    // Frames of the range larger than the current one: measured, but the job's size stays.
    host_.SetClip(ClipOf({FrameWithOffset(1, 0), PatternPicture(36, 14, 2), PatternPicture(36, 14, 3)}));
    Controls controls = RANGE;
    controls.range_end = 2;
    const standin::FrameResult result = Run(controls);
    EXPECT_TRUE(IsResultLine(result.title, ""));
    EXPECT_EQ(result.width, 32);
    EXPECT_EQ(result.height, 12);
    EXPECT_TRUE(SamePicture(WithOutlines(Frame(0), controls), result.work_after));
}

// Esc: read once as the range begins and once before every fetch (the frames fetched
// before each read are listed), and a press ends the range where it is.
constexpr int32_t HELD = INT32_MAX;
std::vector<int32_t> ReadsBeforeFetches(int32_t frames) {
    std::vector<int32_t> reads{0};
    for (int32_t i = 0; i < frames; ++i) reads.push_back(i);
    return reads;
}

TEST_F(ExFrameRange, EscStopsTheRangeBeforeTheNextFetchAndDropsTheSums) {
    for (const int32_t kind : {1, 2}) {
        SCOPED_TRACE(kind);
        Controls controls = RANGE;
        controls.kind = kind;
        host_.ScriptEscapeKey({{2, 3}});  // down for the check before the third fetch only
        TitleHistory titles(host_);
        const standin::FrameResult result = Run(controls);

        EXPECT_EQ(result.returned, 1);
        EXPECT_EQ(result.title, STOPPED_TEXT + std::string(" (2/5)"));
        ASSERT_GE(titles.entries().size(), 3u);
        EXPECT_EQ(titles.entries()[1].text, Progress(0, 5));
        const std::vector<standin::ServiceCall> fetches = host_.CallsOf(Service::FetchFilteredFrame);
        ASSERT_EQ(fetches.size(), 2u);
        EXPECT_EQ(fetches.back().frame, 2);
        EXPECT_EQ(result.escape_reads, ReadsBeforeFetches(3));
        EXPECT_TRUE(host_.message_boxes().empty());
        EXPECT_TRUE(SamePicture(Frame(0), result.work_after));
        EXPECT_TRUE(result.work_gaps_intact);
    }
    // Unpressed, the same range reads the key before every one of its fetches and completes.
    host_.ScriptEscapeKey({});
    const standin::FrameResult result = Run(RANGE);
    EXPECT_EQ(result.escape_reads, ReadsBeforeFetches(5));
    EXPECT_TRUE(IsResultLine(result.title, ""));
}

TEST_F(ExFrameRange, EscHeldFromBeforeTheRangeCountsOnlyOncePressedAgain) {
    host_.ScriptEscapeKey({});
    const std::string unpressed = Run(RANGE).title;
    for (const std::vector<standin::KeyHold>& holds :
         {std::vector<standin::KeyHold>{{0, HELD}}, std::vector<standin::KeyHold>{{0, 2}}}) {
        host_.ScriptEscapeKey(holds);
        const standin::FrameResult result = Run(RANGE);
        EXPECT_EQ(host_.CallsOf(Service::FetchFilteredFrame).size(), 5u);
        EXPECT_EQ(result.title.substr(0, result.title.rfind(' ')), unpressed.substr(0, unpressed.rfind(' ')));
        EXPECT_TRUE(SamePicture(WithOutlines(Frame(0), RANGE), result.work_after));
    }
    host_.ScriptEscapeKey({{0, 2}, {3, HELD}});  // released, then pressed again
    EXPECT_EQ(Run(RANGE).title, STOPPED_TEXT + std::string(" (3/5)"));
    EXPECT_EQ(host_.CallsOf(Service::FetchFilteredFrame).size(), 3u);

    // A one-frame range has no check after its one fetch: only a key held from before could be seen.
    Controls one = RANGE;
    one.range_start = one.range_end = 4;
    host_.ScriptEscapeKey({{0, HELD}});
    const standin::FrameResult result = Run(one);
    EXPECT_EQ(result.escape_reads, ReadsBeforeFetches(1));
    EXPECT_TRUE(IsResultLine(result.title, PsnrValues({ENDLESS, ENDLESS, ENDLESS})));
}

TEST_F(ExFrameRange, EscBeforeAFrameTheHostCannotDeliverStopsWithoutABox) {
    std::vector<std::optional<Picture>> frames;
    for (int i = 0; i < 7; ++i) frames.push_back(FrameWithOffset(400 + i, 0));
    frames[3].reset();
    host_.SetClip(ClipOf(std::move(frames)));

    host_.ScriptEscapeKey({{1, HELD}});
    standin::FrameResult result = Run(RANGE);
    EXPECT_EQ(result.title, STOPPED_TEXT + std::string(" (1/5)"));
    EXPECT_EQ(host_.CallsOf(Service::FetchFilteredFrame).size(), 1u);
    EXPECT_TRUE(host_.message_boxes().empty());
    EXPECT_TRUE(SamePicture(Frame(0), result.work_after));

    // Pressed after the failed fetch (frame 3, the third): the failure ends the range first.
    host_.ScriptEscapeKey({{3, HELD}});
    result = Run(RANGE);
    EXPECT_EQ(result.title, Progress(2, 5));
    EXPECT_EQ(host_.message_boxes().size(), 1u);
    EXPECT_EQ(result.escape_reads, ReadsBeforeFetches(3));
}

// The key state is the desktop's: an Esc pressed while another program is in front was meant
// for that program.
TEST_F(ExFrameRange, EscPressedInAnotherProgramLeavesTheRangeRunning) {
    host_.ScriptEscapeKey({{1, HELD}});
    {
        const standin::ForeignWindowInFront other_program;
        EXPECT_TRUE(IsResultLine(Run(RANGE).title, ""));
        EXPECT_EQ(host_.CallsOf(Service::FetchFilteredFrame).size(), 5u);
    }
    EXPECT_EQ(Run(RANGE).title, STOPPED_TEXT + std::string(" (1/5)"));
}

TEST_F(ExFrameRange, OnlyARangeThatFetchesReadsTheKey) {
    host_.ScriptEscapeKey({{0, HELD}});
    Controls single = RANGE;
    single.average = 0;
    Controls nothing = RANGE;
    nothing.kind = 0;
    for (const Controls& controls : {single, nothing}) {
        const standin::FrameResult result = Run(controls);
        EXPECT_TRUE(result.escape_reads.empty());
        EXPECT_TRUE(SamePicture(WithOutlines(Frame(0), RANGE), result.work_after));
    }
}

// 16500 frames of 1024 x 256 sample pairs at the extremes of the 16-bit range pool
// 1.86e19 per channel, past 2^64 (1.84e19).
TEST(ExFrameRangePool, SquaredErrorsPooledPastSixtyFourBitsAreNotWrapped) {
    StandInHost host(MODULE_PATH);
    testing::GuardedPicture picture(2048, 256, 2050);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 2048; ++x)
            picture.at(x, y) = x < 1024 ? PixelYC{32767, 32767, 32767} : PixelYC{-32768, -32768, -32768};
    RepeatingHost repeating(host, picture);
    EXPECT_EQ(repeating.Process({.kind = 1, .region_width = 1024, .region_height = 256, .x2 = 1024,
                                 .range_end = 16499, .average = 1, .outline = 0}),
              1);
    EXPECT_EQ(repeating.fetches(), 16500);
    // Every pair differs by 65535: 10 log10(4096^2 / 65535^2) whatever the frame count.
    const double extreme = 10 * std::log10(16777216.0 / 4294836225.0);
    EXPECT_TRUE(IsResultLine(host.WindowTitle(), PsnrValues({extreme, extreme, extreme})));
    EXPECT_EQ(PsnrValues({extreme}), "-24.0823dB ");
}

}  // namespace
}  // namespace morvith::ex_test
