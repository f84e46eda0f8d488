// Random controls against small guarded pictures: whatever the sliders say, the plug-in
// reads and writes only inside the picture, and does what its checks promise.

#include <climits>
#include <string>
#include <utility>

#include "ex_harness.h"
#include "guarded_picture.h"

namespace morvith::ex_test {
namespace {

constexpr int CLIP_FRAMES = 4;

struct Rectangle {
    int64_t x, y;
};

bool Fits(const Controls& c, int64_t width, int64_t height) {
    const int64_t w = c.region_width;
    const int64_t h = c.region_height;
    if (w <= 0 || h <= 0) return false;
    for (const Rectangle r : {Rectangle{c.x1, c.y1}, Rectangle{c.x2, c.y2}}) {
        if (r.x < 0 || r.y < 0 || r.x + w > width || r.y + h > height) return false;
    }
    return true;
}

bool RangeIsSound(const Controls& c) {
    return c.range_start >= 0 && c.range_start <= c.range_end &&
           int64_t{c.range_end} - c.range_start + 1 <= INT32_MAX;
}

// Mostly values near the picture's edges, some far outside any range.
int32_t Coordinate(testing::TestRandom& random, int extent) {
    switch (random.Between(0, 9)) {
    case 0: return random.Between(-3, -1);
    case 1: return INT_MAX - random.Between(0, 2);
    case 2: return INT_MIN + random.Between(0, 2);
    case 3: return static_cast<int32_t>(random.Next());
    default: return random.Between(0, extent + 1);
    }
}

// Mostly ranges inside the clip, some backwards, past its end or far out of any range.
void ChooseRange(testing::TestRandom& random, Controls& c) {
    const int choice = random.Between(0, 19);
    c.range_start = random.Between(0, CLIP_FRAMES - 1);
    if (choice < 15) {
        c.range_end = random.Between(c.range_start, CLIP_FRAMES - 1);
    } else if (choice < 17) {
        c.range_end = c.range_start - 1;
    } else if (choice == 17) {
        c.range_end = c.range_start + CLIP_FRAMES;
    } else {
        c.range_start = Coordinate(random, CLIP_FRAMES);
        c.range_end = Coordinate(random, CLIP_FRAMES);
    }
}

Controls RandomControls(testing::TestRandom& random, int width, int height) {
    Controls c;
    c.kind = random.Between(0, 12) == 0 ? Coordinate(random, 3) : random.Between(0, 2);
    const auto size = [&](int extent) {
        return random.Between(0, 3) != 0 ? random.Between(1, extent) : Coordinate(random, extent);
    };
    c.region_width = size(width);
    c.region_height = size(height);
    // Rectangles that fit often enough for the measuring paths to run, some one sample out.
    const bool placed = random.Between(0, 6) != 0 && c.region_width > 0 && c.region_width <= width &&
                        c.region_height > 0 && c.region_height <= height;
    const auto place = [&](int extent, int32_t size) {
        const int slack = random.Between(0, 19) == 0 ? 1 : 0;
        return placed ? random.Between(0, extent - size + slack) : Coordinate(random, extent);
    };
    c.x1 = place(width, c.region_width);
    c.y1 = place(height, c.region_height);
    c.x2 = place(width, c.region_width);
    c.y2 = place(height, c.region_height);
    ChooseRange(random, c);
    c.average = random.Between(0, 3) == 0 ? 1 : 0;
    c.outline = random.Between(0, 3) == 0 ? 0 : 1;
    return c;
}

TEST(ExSweep, RandomControlsStayInsideThePicture) {
    StandInHost host(MODULE_PATH);
    testing::TestRandom random(20261208);
    int measured = 0;
    int refused = 0;
    int failed_fetches = 0;
    std::string previous_title = host.WindowTitle();
    for (int size = 0; size < 50; ++size) {
        const int width = random.Between(1, 24);
        const int height = random.Between(1, 12);
        std::vector<std::optional<Picture>> frames;
        for (int i = 0; i < CLIP_FRAMES; ++i) frames.push_back(PatternPicture(width, height, size * 10 + i));
        host.SetClip(ClipOf(std::move(frames), width + random.Between(0, 5)));

        for (int call = 0; call < 210; ++call) {
            const Controls c = RandomControls(random, width, height);
            SCOPED_TRACE(::testing::Message()
                         << width << "x" << height << " kind " << c.kind << " size " << c.region_width << "x"
                         << c.region_height << " at (" << c.x1 << ", " << c.y1 << ") (" << c.x2 << ", " << c.y2
                         << ") range " << c.range_start << ".." << c.range_end << " average " << c.average
                         << " outline " << c.outline);
            c.ApplyTo(host);
            host.ClearLog();
            const int frame = random.Between(0, CLIP_FRAMES - 1);
            const standin::FrameResult result = host.ProcessFrame(frame);
            const Picture& before = *host.clip().frames[frame];
            const std::string title_before = std::exchange(previous_title, result.title);

            ASSERT_EQ(result.returned, 1);
            ASSERT_TRUE(result.work_gaps_intact);
            ASSERT_EQ(result.width, width);
            if (!Fits(c, width, height) || (c.average != 0 && !RangeIsSound(c))) {
                ++refused;
                ASSERT_EQ(result.title, DISPLAY_NAME);
                ASSERT_TRUE(SamePicture(before, result.work_after));
                ASSERT_TRUE(host.CallsOf(standin::Service::FetchFilteredFrame).empty());
                continue;
            }
            const bool ranged = c.average != 0 && (c.kind == 1 || c.kind == 2);
            if (ranged && (c.range_start >= CLIP_FRAMES || c.range_end >= CLIP_FRAMES)) {
                ++failed_fetches;
                ASSERT_EQ(result.title, PROGRESS_TEXT);
                ASSERT_EQ(host.message_boxes().size(), 1u);
                ASSERT_TRUE(SamePicture(before, result.work_after));
                continue;
            }
            ++measured;
            if (c.kind == 0) {
                ASSERT_EQ(result.title, DISPLAY_NAME);
            } else if (c.kind == 1 || c.kind == 2) {
                ASSERT_TRUE(IsResultLine(result.title, ""));
            } else {
                ASSERT_EQ(result.title, title_before);
            }
            ASSERT_TRUE(SamePicture(c.outline != 0 ? WithOutlines(before, c) : before, result.work_after));
        }
    }
    // The sweep is only worth its time if every path ran many times.
    EXPECT_GT(measured, 4000);
    EXPECT_GT(refused, 3000);
    EXPECT_GT(failed_fetches, 30);
}

}  // namespace
}  // namespace morvith::ex_test
