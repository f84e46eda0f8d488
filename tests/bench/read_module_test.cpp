// The module benchmark's reading module: a time for every setting whose pictures lie
// inside what the host handed out, "-" for every other, and no read past a picture's
// guard page whatever the sliders say.

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "standin_host.h"

namespace morvith::standin {
namespace {

TEST(BenchReadModule, ReadsInsideThePicturesOrShowsADash) {
    StandInHost host(HostPath(MORVITH_BENCH_READ),
                     MakeClip({SampleFrame(0, 40, 12), SampleFrame(1, 40, 12), SampleFrame(2, 39, 12)}, 48, 12));
    struct Case {
        const char* what;
        int frame;
        std::vector<int32_t> sliders;  // read, width, height, x1, y1, x2, y2
        bool reads;
    };
    const Case cases[] = {
        {"a frame and the next", 0, {0}, true},
        {"the next frame narrower than this one", 1, {0}, false},
        {"the last frame has no next", 2, {0}, false},
        {"rectangles ending at the last column and row", 0, {1, 20, 12, 0, 0, 20, 0}, true},
        {"rectangle 2 a column past", 0, {1, 20, 12, 0, 0, 21, 0}, false},
        {"rectangle 2 a row past", 0, {1, 20, 11, 0, 0, 20, 2}, false},
        {"negative x1", 0, {1, 20, 12, -1, 0, 20, 0}, false},
        {"negative y2", 0, {1, 20, 10, 0, 0, 0, -1}, false},
        {"width 0", 0, {1, 0, 12, 0, 0, 0, 0}, false},
        {"x1 + width past 32 bits", 0, {1, 1, 1, INT_MAX, 0, 0, 0}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (size_t i = 0; i < c.sliders.size(); ++i) host.SetSlider(static_cast<int>(i), c.sliders[i]);
        const FrameResult result = host.ProcessFrame(c.frame);
        EXPECT_EQ(result.returned, 1);
        if (c.reads) {
            EXPECT_EQ(result.title.rfind("read ", 0), 0u) << result.title;
            EXPECT_EQ(result.title.substr(result.title.size() - 4), "[ms]") << result.title;
        } else {
            EXPECT_EQ(result.title, "-");
        }
    }
}

}  // namespace
}  // namespace morvith::standin
