// The reference as a bitmap file: which name reaches the loader, the readings, and the
// image box.

#include "morvith_host.h"

namespace morvith::testing {
namespace {

using standin::MakeClip;

class MorvithFileMode : public MorvithTest {
protected:
    MorvithFileMode() {
        host_.SetSlider(KIND, 1);
        host_.SetCheckbox(LOAD_FILE, 1);
        SetWindowTextA(host_.window(), "before");
    }

    // Frame 0 is the file's picture itself, frame 1 the same 16 brighter.
    void UseClipOf(const std::string& file) {
        const std::optional<standin::Picture> picture = standin::ReadImageFileAsPicture(file);
        ASSERT_TRUE(picture);
        standin::Picture brighter = *picture;
        for (PixelYC& sample : brighter.samples) sample.y = static_cast<int16_t>(sample.y + 16);
        host_.SetClip(MakeClip({*picture, brighter}, 80, 48));
    }

    void Choose(const std::string& file) {
        host_.QueueFileDialogAnswer(standin::FileDialogAnswer::Open(file));
        host_.PressButton(BROWSE_BUTTON);
        ASSERT_EQ(host_.file_dialogs().size(), 1u);
        ASSERT_FALSE(host_.file_dialogs()[0].refused);
        host_.ClearLog();
    }

    void ExpectImageBoxOnEveryCall() {
        for (int call = 0; call < 2; ++call) {
            host_.ClearLog();
            const standin::FrameResult result = host_.ProcessFrame(0);
            EXPECT_EQ(result.returned, 1);
            EXPECT_EQ(result.title, "before");
            ExpectOneWarningBox(cp932::IMAGE_ERROR);
        }
    }

    ReferenceFolder folder_;
};

TEST_F(MorvithFileMode, NothingChosenYetFailsWithTheImageBox) {
    EXPECT_EQ(LoadedName(), "");
    ExpectImageBoxOnEveryCall();
}

TEST_F(MorvithFileMode, MissingFileFailsWithTheImageBox) {
    host_.TypeIntoControl(PATH_EDIT, folder_.path() + "\\missing.bmp");
    ExpectImageBoxOnEveryCall();
}

// The dialog leaves a bare file name beside the full path; only the full path finds the
// file when the host's current directory is another one.
TEST_F(MorvithFileMode, LoadsTheChosenFullPathFromAnyCurrentDirectory) {
    const std::string file = folder_.Write("ref.bmp", 64, 48);
    UseClipOf(file);
    Choose(file);
    char previous[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\"));

    const standin::FrameResult result = host_.ProcessFrame(1);
    SetCurrentDirectoryA(previous);
    EXPECT_EQ(WithoutMilliseconds(result.title), std::string("48.1648dB ") + cp932::INFINITE_PSNR + cp932::INFINITE_PSNR);
    EXPECT_TRUE(host_.message_boxes().empty());
    EXPECT_EQ(ServiceOrder(host_), (std::vector<Service>{Service::IsSavingOutput, Service::LoadImageFile}));
    const standin::ServiceCall& load = host_.calls()[1];
    EXPECT_EQ(load.file_name, file);
    EXPECT_EQ(load.destination, result.host_spare_picture);
    EXPECT_EQ(load.flags, 0);
    // The file went into the spare buffer; the job's words are the host's as before.
    EXPECT_EQ(result.spare_picture, result.host_spare_picture);
    EXPECT_EQ(result.width, 64);
    EXPECT_EQ(result.height, 48);
}

TEST_F(MorvithFileMode, AnyNonzeroValueLoadsATypedPath) {
    const std::string file = folder_.Write("typed.bmp", 64, 48);
    UseClipOf(file);
    host_.TypeIntoControl(PATH_EDIT, file);
    host_.SetSlider(KIND, 2);
    for (int32_t load_file : {1, 2, -1}) {
        host_.SetCheckbox(LOAD_FILE, load_file);
        EXPECT_EQ(WithoutMilliseconds(host_.ProcessFrame(0).title), "1 1 1 ");
    }
    EXPECT_TRUE(host_.message_boxes().empty());
    EXPECT_TRUE(host_.CallsOf(Service::FetchFilteredFrame).empty());
}

TEST_F(MorvithFileMode, ImageSmallerThanThePictureIsNotMeasured) {
    const std::string wide = folder_.Write("wide.bmp", 80, 48);
    UseClipOf(wide);  // 80 x 48 frames
    for (const std::string& file : {folder_.Write("narrow.bmp", 79, 48), folder_.Write("short.bmp", 80, 47)}) {
        host_.TypeIntoControl(PATH_EDIT, file);
        ExpectImageBoxOnEveryCall();
    }
}

TEST_F(MorvithFileMode, ImageLargerThanThePictureIsMeasuredOverItsTopLeft) {
    const std::string file = folder_.Write("large.bmp", 80, 48);
    const std::optional<standin::Picture> large = standin::ReadImageFileAsPicture(file);
    ASSERT_TRUE(large);
    standin::Picture corner{40, 30, {}};
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) corner.samples.push_back(large->at(x, y));
    host_.SetClip(MakeClip({corner}, 80, 48));
    host_.TypeIntoControl(PATH_EDIT, file);
    EXPECT_EQ(WithoutMilliseconds(host_.ProcessFrame(0).title), InfinitePsnrLine());
}

}  // namespace
}  // namespace morvith::testing
