// One frame through the process callback: the choice of kind, the reference frame, the
// readings, the error box, and jobs that cannot be measured.

#include <climits>

#include "morvith_host.h"
#include "result_line.h"
#include "vmaf/vmaf.h"

namespace morvith::testing {
namespace {

using standin::MakeClip;

// Frame 1 differs from frame 0 by a constant 16 in Y, 64 in Cb and 8192 in Cr, so that
// PSNR = 20 log10(4096 / d): 48.1648, 36.1236 and -6.0206 dB. Rows are 80 samples apart.
standin::Clip OffsetClip() {
    return MakeClip({Constant(64, 48, 1000, 0, 0), Constant(64, 48, 1016, 64, 8192)}, 80, 48);
}

class MorvithFramePass : public MorvithTest {
protected:
    MorvithFramePass() : MorvithTest(OffsetClip()) { SetWindowTextA(host_.window(), "before"); }

    standin::FrameResult Run(int32_t kind, int32_t offset, int frame = 0) {
        host_.SetSlider(KIND, kind);
        host_.SetSlider(OFFSET, offset);
        const standin::FrameResult result = host_.ProcessFrame(frame);
        EXPECT_EQ(result.returned, 1);
        return result;
    }

    // The title after one measuring call, without its time.
    std::string Measure(int32_t kind, int32_t offset, int frame = 0) {
        const standin::FrameResult result = Run(kind, offset, frame);
        EXPECT_TRUE(host_.message_boxes().empty());
        return WithoutMilliseconds(result.title);
    }

    void ExpectUntouched(const standin::FrameResult& result) {
        EXPECT_EQ(result.returned, 1);
        EXPECT_EQ(result.title, "before");
        EXPECT_EQ(ServiceOrder(host_), std::vector<Service>{Service::IsSavingOutput});
        EXPECT_TRUE(host_.message_boxes().empty());
    }
};

TEST_F(MorvithFramePass, KindZeroShowsTheDisplayNameAndAsksForNothing) {
    Measure(1, 1);
    host_.ClearLog();
    EXPECT_EQ(Run(0, 1).title, "Morvith");
    EXPECT_EQ(ServiceOrder(host_), std::vector<Service>{Service::IsSavingOutput});
    EXPECT_EQ(host_.calls()[0].edit_handle, StandInHost::EditHandle());
}

TEST_F(MorvithFramePass, DoesNothingWhileSavingOrForAnUnknownKind) {
    host_.SetSavingOutput(true);
    for (int32_t kind : {0, 1, 2, 3}) {
        ExpectUntouched(Run(kind, 1));
        host_.ClearLog();
    }
    host_.SetSavingOutput(false);
    for (int32_t kind : {5, -1, INT_MIN, INT_MAX}) {
        ExpectUntouched(Run(kind, 1));
        host_.ClearLog();
    }
}

TEST_F(MorvithFramePass, ReadingsFollowTheClosedForms) {
    EXPECT_EQ(Measure(1, 1), "48.1648dB 36.1236dB -6.0206dB ");
    // Constant pictures: SSIM is the mean term (2ab + C1) / (a^2 + b^2 + C1) alone.
    EXPECT_EQ(Measure(2, 1), "0.999874 0.290579 2.49994e-05 ");
    EXPECT_EQ(Measure(1, -1, 1), "48.1648dB 36.1236dB -6.0206dB ");
    EXPECT_EQ(Measure(1, 0), InfinitePsnrLine());
    EXPECT_EQ(Measure(2, 0), "1 1 1 ");
    // Windowed, the same mean term over every window, with chroma as files hold it (+2048).
    EXPECT_EQ(Measure(3, 1), "0.999874 0.999527 0.384616 ");
    EXPECT_EQ(Measure(3, 0), "1 1 1 ");
}

TEST_F(MorvithFramePass, WindowedSsimOfAPictureBelowOneWindowAsksForNothing) {
    for (const auto& [width, height] : {std::pair{7, 48}, std::pair{64, 7}}) {
        host_.SetClip(MakeClip({Constant(width, height, 1000, 0, 0), Constant(width, height, 1016, 64, 8192)}, 80,
                               48));
        host_.ClearLog();
        EXPECT_EQ(Run(3, 1).title, "Morvith");
        EXPECT_EQ(ServiceOrder(host_), std::vector<Service>{Service::IsSavingOutput});
        EXPECT_TRUE(host_.message_boxes().empty());
    }
}

TEST_F(MorvithFramePass, ParallelPsnrEqualsSerial) {
    host_.SetClip(standin::SampleClip(3, 333, 97, 350, 100));
    host_.SetCheckbox(MULTITHREAD, 0);
    const std::string serial = Measure(1, 1);
    for (int32_t multithread : {1, 2, -1}) {
        host_.SetCheckbox(MULTITHREAD, multithread);
        EXPECT_EQ(Measure(1, 1), serial) << multithread;
    }
}

TEST_F(MorvithFramePass, ReservesTheCacheBeforeEveryFetch) {
    for (int call = 0; call < 3; ++call) {
        host_.ClearLog();
        Measure(call == 1 ? 2 : 1, 1);
        ASSERT_EQ(ServiceOrder(host_), (std::vector<Service>{Service::IsSavingOutput, Service::ReserveFrameCache,
                                                            Service::FetchFilteredFrame}));
        const standin::ServiceCall& reserve = host_.calls()[1];
        EXPECT_EQ(reserve.registration, &host_.registration());
        EXPECT_EQ(reserve.max_width, 80);
        EXPECT_EQ(reserve.height, 48);
        EXPECT_EQ(reserve.frame_count, 60);
        EXPECT_EQ(reserve.flags, 0);
        const standin::ServiceCall& fetch = host_.calls()[2];
        EXPECT_EQ(fetch.registration, &host_.registration());
        EXPECT_EQ(fetch.edit_handle, StandInHost::EditHandle());
        EXPECT_EQ(fetch.frame, 1);
    }
}

TEST_F(MorvithFramePass, FrameThatCannotBeHadShowsTheFrameBoxEachTime) {
    for (int32_t offset : {-5, 2, 1000, INT_MIN}) {
        host_.ClearLog();
        const standin::FrameResult result = Run(1, offset);
        EXPECT_EQ(result.title, "before");
        const auto fetches = host_.CallsOf(Service::FetchFilteredFrame);
        ASSERT_EQ(fetches.size(), 1u);
        EXPECT_EQ(fetches[0].frame, offset) << "the number reaches the host unclamped";
        ExpectOneWarningBox(cp932::FRAME_ERROR);
    }
}

TEST_F(MorvithFramePass, HandsTheJobBackAsTheHostGaveIt) {
    host_.SetClip(MakeClip({Constant(64, 48, 1000), Constant(70, 50, 1000)}, 80, 50));
    for (int32_t offset : {1, 5}) {  // a larger reference, then none
        const standin::FrameResult result = Run(1, offset);
        EXPECT_EQ(result.work_picture, result.host_work_picture);
        EXPECT_EQ(result.spare_picture, result.host_spare_picture);
        EXPECT_FALSE(result.spare_is_fetched_frame);
        EXPECT_EQ(result.width, 64);
        EXPECT_EQ(result.height, 48);
        EXPECT_TRUE(SameSamples(result.work_after, Constant(64, 48, 1000)));
        EXPECT_TRUE(result.work_gaps_intact);
    }
}

TEST_F(MorvithFramePass, MeasuresTheTopLeftOfALargerReferenceOnly) {
    standin::Picture larger = Constant(64, 48, -30000, 777, -777);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 32; ++x) larger.at(x, y) = PixelYC{1016, 0, 0};
    host_.SetClip(MakeClip({Constant(32, 24, 1000), larger}, 80, 48));
    EXPECT_EQ(Measure(1, 1), std::string("48.1648dB ") + cp932::INFINITE_PSNR + cp932::INFINITE_PSNR);
}

TEST_F(MorvithFramePass, ReferenceSmallerInEitherDimensionIsNotMeasured) {
    host_.SetClip(MakeClip({Constant(64, 48, 1000), Constant(63, 48, 1000), Constant(64, 47, 1000)}, 80, 48));
    for (int32_t offset : {1, 2}) {
        host_.ClearLog();
        EXPECT_EQ(Run(1, offset).title, "before");
        ExpectOneWarningBox(cp932::FRAME_ERROR);
    }
}

// Jobs the host never hands out, made by the test: a picture of 4 x 4 samples ends at a
// guard page, so any read beyond what the job itself claims would crash.
class MorvithImpossibleJob : public MorvithFramePass {
protected:
    MorvithImpossibleJob() : work_(4, 4, 4) {
        work_.Fill(PixelYC{1000, 0, 0});
        job_.work_picture = work_.data();
        job_.spare_picture = work_.data();
        job_.width = 4;
        job_.height = 4;
        job_.max_width = 4;
        job_.edit_handle = StandInHost::EditHandle();
        host_.SetSlider(KIND, 1);
        host_.SetSlider(OFFSET, 0);
    }

    void ExpectNotMeasured() {
        host_.ClearLog();
        EXPECT_EQ(CallProcessFrame(host_, job_), 1);
        EXPECT_EQ(host_.WindowTitle(), "before");
        EXPECT_EQ(ServiceOrder(host_), std::vector<Service>{Service::IsSavingOutput});
        EXPECT_TRUE(host_.message_boxes().empty());
    }

    GuardedPicture work_;
    host::FrameJob job_{};
};

TEST_F(MorvithImpossibleJob, IsNotMeasured) {
    for (int32_t load_file : {0, 1}) {
        host_.SetCheckbox(LOAD_FILE, load_file);
        job_.width = 0;
        ExpectNotMeasured();
        job_.width = -4;
        ExpectNotMeasured();
        job_.width = 4;
        job_.height = 0;
        ExpectNotMeasured();
        job_.height = INT_MIN;
        ExpectNotMeasured();
        job_.height = 4;
        job_.max_width = 3;  // rows would overlap and the last one run past the picture
        ExpectNotMeasured();
        job_.width = job_.height = job_.max_width = 50000;  // W x H past 32 bits
        ExpectNotMeasured();
        job_.width = job_.height = job_.max_width = 4;
        job_.work_picture = nullptr;
        ExpectNotMeasured();
        job_.work_picture = work_.data();
    }
    host_.SetCheckbox(LOAD_FILE, 1);
    job_.spare_picture = nullptr;  // nowhere to load the file into
    ExpectNotMeasured();
}

// The same making with a sound job measures, so the refusals above are not vacuous.
TEST_F(MorvithImpossibleJob, SoundJobIsMeasured) {
    host_.SetClip(MakeClip({Constant(4, 4, 1000)}, 4, 4));
    EXPECT_EQ(CallProcessFrame(host_, job_), 1);
    EXPECT_EQ(WithoutMilliseconds(host_.WindowTitle()), InfinitePsnrLine());
}

// frame_index + frame_offset is worked out in 64 bits: a sum past the 32-bit range names
// no frame, so nothing is fetched and the user hears that the frame cannot be read.
TEST_F(MorvithImpossibleJob, FrameNumberPastThirtyTwoBitsIsNoFrame) {
    job_.frame_index = INT_MAX;
    host_.SetSlider(OFFSET, 1);
    EXPECT_EQ(CallProcessFrame(host_, job_), 1);
    EXPECT_EQ(ServiceOrder(host_), (std::vector<Service>{Service::IsSavingOutput, Service::ReserveFrameCache}));
    ExpectOneWarningBox(cp932::FRAME_ERROR);

    host_.ClearLog();
    job_.frame_index = INT_MAX - 1;  // the last representable number is still asked for
    EXPECT_EQ(CallProcessFrame(host_, job_), 1);
    const auto fetches = host_.CallsOf(Service::FetchFilteredFrame);
    ASSERT_EQ(fetches.size(), 1u);
    EXPECT_EQ(fetches[0].frame, INT_MAX);
}

// VMAF (kind 4), with the core as the oracle: the reference's frames around it, where the
// edit has them, and the current picture as the distorted one. "VMAF 93.4512 " before the time.
std::string VmafTitle(const standin::Clip& clip, int reference, const standin::Picture& distorted,
                      const standin::Picture* still = nullptr) {
    VmafSeries series;
    EXPECT_TRUE(series.Prepare(distorted.width, distorted.height));
    const auto plane = [](const standin::Picture& picture) { return LumaPlane{picture.samples.data(), picture.width}; };
    const LumaPlane current = plane(distorted);
    VmafFrame frame;
    if (still != nullptr) {
        series.Begin();
        series.TakeFrame(plane(*still), current, nullptr, &frame);
        series.End(&frame);
    } else {
        const int last = clip.frame_count() - 1;
        if (reference > 0) series.BeginAfter(plane(*clip.frames[reference - 1]), nullptr);
        else series.Begin();
        series.TakeFrame(plane(*clip.frames[reference]), current, nullptr, &frame);
        if (reference < last) series.EndBefore(plane(*clip.frames[reference + 1]), nullptr, &frame);
        else series.End(&frame);
    }
    const std::string line(ComposeVmafLine(frame.score, 0));
    return line.substr(0, line.rfind(' ') + 1);
}

// The first, a middle and the last frame of the edit as the reference, serial and on the
// module's workers, each neighbour after its own reservation and spoiled at the next call.
// Frames of one scene panned a sample at a time, near enough to each other for scores
// between the model's ends.
standin::Clip PannedClip(int frame_count, int width, int height) {
    const standin::Picture scene = *standin::SampleClip(1, width + frame_count, height).frames[0];
    std::vector<std::optional<standin::Picture>> frames;
    for (int i = 0; i < frame_count; ++i) {
        standin::Picture frame{width, height, {}};
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) frame.samples.push_back(scene.at(x + i, y));
        frames.push_back(std::move(frame));
    }
    return MakeClip(std::move(frames), width, height);
}

TEST(MorvithVmaf, TitlesAreTheCoresScoreWithTheReferencesNeighbours) {
    const standin::Clip clip = PannedClip(5, 128, 72);
    StandInHost host(ModulePath(), clip);
    host.SetSpoilFetchedFrames(true);
    host.SetSlider(KIND, 4);
    for (const int32_t multithread : {0, 1}) {
        host.SetCheckbox(MULTITHREAD, multithread);
        for (const auto& [current, offset] : {std::pair{0, 2}, {3, -3}, {0, 4}, {4, -1}, {1, 0}}) {
            SCOPED_TRACE(::testing::Message() << "frame " << current << ", offset " << offset << ", multithread "
                                              << multithread);
            host.SetSlider(OFFSET, offset);
            host.ClearLog();
            const standin::FrameResult result = host.ProcessFrame(current);
            const int reference = current + offset;
            EXPECT_EQ(WithoutMilliseconds(result.title), VmafTitle(clip, reference, *clip.frames[current]));
            EXPECT_TRUE(result.fetched_frames_intact);
            EXPECT_TRUE(host.message_boxes().empty());
            std::vector<Service> order{Service::IsSavingOutput, Service::FrameCount};
            std::vector<int32_t> frames;
            for (int n = std::max(reference - 1, 0); n <= std::min(reference + 1, 4); ++n) {
                order.insert(order.end(), {Service::ReserveFrameCache, Service::FetchFilteredFrame});
                frames.push_back(n);
            }
            EXPECT_EQ(ServiceOrder(host), order);
            std::vector<int32_t> fetched;
            for (const standin::ServiceCall& call : host.CallsOf(Service::FetchFilteredFrame)) fetched.push_back(call.frame);
            EXPECT_EQ(fetched, frames);
        }
    }
}

// A still picture has no motion and no neighbours; a neighbour that cannot be fetched is
// the frame error; an area below 17 x 17 shows the name and asks for nothing.
TEST(MorvithVmaf, FileModeNeighbourErrorsAndTooSmall) {
    const standin::Clip clip = standin::SampleClip(3, 48, 32);
    StandInHost host(ModulePath(), clip);
    host.SetSpoilFetchedFrames(true);
    host.SetSlider(KIND, 4);
    ReferenceFolder folder;
    host.TypeIntoControl(PATH_EDIT, folder.Write("still.bmp", 48, 32), standin::TypingMode::ReplaceSelection);
    host.SetCheckbox(LOAD_FILE, 1);
    standin::FrameResult result = host.ProcessFrame(1);
    EXPECT_EQ(WithoutMilliseconds(result.title),
              VmafTitle(clip, 0, *clip.frames[1], &result.spare_after));
    EXPECT_EQ(ServiceOrder(host).back(), Service::LoadImageFile);
    EXPECT_TRUE(host.CallsOf(Service::FetchFilteredFrame).empty());

    host.SetCheckbox(LOAD_FILE, 0);
    host.SetSlider(OFFSET, 1);
    std::vector<std::optional<standin::Picture>> gap_after = clip.frames;
    gap_after.push_back(std::nullopt);
    host.SetClip(standin::MakeClip(gap_after, 48, 32));
    SetWindowTextA(host.window(), "before");
    host.ClearLog();
    result = host.ProcessFrame(1);  // reference 2, its next frame a gap
    EXPECT_EQ(result.title, "before");
    ASSERT_EQ(host.message_boxes().size(), 1u);
    EXPECT_EQ(host.message_boxes()[0].text, cp932::FRAME_ERROR);
    EXPECT_EQ(host.CallsOf(Service::FetchFilteredFrame).size(), 3u);

    host.SetClip(standin::SampleClip(3, 16, 40));
    host.ClearLog();
    EXPECT_EQ(host.ProcessFrame(1).title, "Morvith");
    EXPECT_EQ(ServiceOrder(host), std::vector<Service>{Service::IsSavingOutput});
}

}  // namespace
}  // namespace morvith::testing
