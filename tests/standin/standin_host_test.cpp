// The stand-in host itself, through a probe module that calls every service, shows
// message boxes and dialogs, and reports in its title what it saw.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "standin_host.h"

namespace morvith::standin {
namespace {

constexpr int MODE = 0;
constexpr int OFFSET = 1;
constexpr int PROBE_SERVICES = 0, PROBE_BOXES = 1, PROBE_DIALOG = 2, PROBE_GUARDS = 3, PROBE_LOAD = 4,
              PROBE_STACK = 5, PROBE_SCRIBBLE = 6;
constexpr int ID_BROWSE = 40001, ID_PATH = 40002, ID_REPORT_STACK = 40003;

// Code page 932 bytes, spelled out rather than converted by the same compiler flags.
const std::string FRAME_ERROR =
    "\x83\x74\x83\x8C\x81\x5B\x83\x80\x82\xAA\x93\xC7\x82\xDD\x8D\x9E\x82\xDF\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5"
    "\x82\xBD\x81\x42";
const std::string ERROR_CAPTION = "\x83\x47\x83\x89\x81\x5B";
const std::string OPEN_TITLE = "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x8A\x4A\x82\xAD";

std::string ProbePath() { return HostPath(MORVITH_PROBE_PLUGIN); }

// Named after the process: ctest may run this suite's two placements side by side.
std::string TempPath(const std::string& name) {
    char directory[MAX_PATH];
    GetTempPathA(sizeof directory, directory);
    const std::string folder = std::string(directory) + "standin_" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder + "\\" + name;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

TEST(StandInHost, RunsUnderCodePage932) { EXPECT_EQ(GetACP(), 932u); }

TEST(StandInHost, WritesTheHostWordsAndCreatesTheWindow) {
    StandInHost host(ProbePath());
    const FilterRegistration& r = host.registration();
    EXPECT_EQ(host.CallGetFilterTable(), &r);
    EXPECT_EQ(r.slider_values[0], 0);
    EXPECT_EQ(r.checkbox_values[0], 1);  // the probe's defaults
    EXPECT_EQ(r.checkbox_values[1], 0);
    ASSERT_NE(r.services, nullptr);
    EXPECT_NE(r.services->IsSavingOutput, nullptr);
    EXPECT_NE(r.services->LoadImageFile, nullptr);
    EXPECT_EQ(r.window, host.window());
    EXPECT_EQ(r.instance, host.module());
    EXPECT_TRUE(IsWindow(host.window()));
    EXPECT_EQ(host.WindowTitle(), "Probe");
    RECT rect;
    GetWindowRect(host.window(), &rect);
    EXPECT_EQ(rect.right - rect.left, 320);
    EXPECT_EQ(rect.bottom - rect.top, 160);

    ASSERT_FALSE(host.window_messages().empty());
    EXPECT_EQ(host.window_messages()[0].message, host::WINDOW_SETUP_MESSAGE);
    EXPECT_EQ(host.window_messages()[0].result, 1);
}

TEST(StandInHost, SliderValuesAreAnyNumberButIndexesAreChecked) {
    StandInHost host(ProbePath());
    host.SetSlider(OFFSET, -2147483647 - 1);
    EXPECT_EQ(host.registration().slider_values[OFFSET], -2147483647 - 1);
    host.SetCheckbox(1, 7);
    EXPECT_EQ(host.Checkbox(1), 7);
    EXPECT_THROW(host.SetSlider(2, 0), std::out_of_range);
    EXPECT_THROW(host.SetCheckbox(-1, 0), std::out_of_range);
}

TEST(StandInHost, ControlsOfTheSettingsWindowAreReadable) {
    StandInHost host(ProbePath());
    const auto edit = host.FindControl(ID_PATH);
    ASSERT_TRUE(edit.has_value());
    EXPECT_STRCASEEQ(edit->class_name.c_str(), "Edit");
    EXPECT_EQ(edit->x, 20);
    EXPECT_EQ(edit->y, 110);
    EXPECT_EQ(edit->width, 200);
    EXPECT_EQ(edit->height, 18);
    EXPECT_NE(edit->style & ES_MULTILINE, 0u);
    EXPECT_NE(edit->ex_style & WS_EX_CLIENTEDGE, 0u);
    ASSERT_TRUE(edit->has_font);
    EXPECT_EQ(edit->font.lfHeight, 12);
    EXPECT_EQ(edit->font.lfCharSet, SHIFTJIS_CHARSET);
    const auto button = host.FindControl(ID_BROWSE);
    ASSERT_TRUE(button.has_value());
    EXPECT_EQ(button->text, "\x8E\x51\x8F\xC6...");
    EXPECT_EQ(host.Controls().size(), 2u);
    EXPECT_FALSE(host.FindControl(12345).has_value());
}

TEST(StandInHost, ServicesAreRecordedInOrderWithTheirArguments) {
    StandInHost host(ProbePath(), SampleClip(3, 64, 32, 80, 40));
    host.SetSlider(OFFSET, 1);
    host.SetFilterIsEnabledResult(5);
    const FrameResult result = host.ProcessFrame(0);
    EXPECT_EQ(result.returned, 1);

    const auto& calls = host.calls();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[0].service, Service::IsSavingOutput);
    EXPECT_EQ(calls[0].edit_handle, StandInHost::EditHandle());
    EXPECT_EQ(calls[1].service, Service::ReserveFrameCache);
    EXPECT_EQ(calls[1].registration, &host.registration());
    EXPECT_EQ(calls[1].max_width, 80);
    EXPECT_EQ(calls[1].height, 32);
    EXPECT_EQ(calls[1].frame_count, 7);
    EXPECT_EQ(calls[2].service, Service::FetchFilteredFrame);
    EXPECT_EQ(calls[2].frame, 1);
    EXPECT_EQ(calls[2].result, 1);
    EXPECT_EQ(calls[3].service, Service::FilterIsEnabled);
    EXPECT_EQ(calls[3].result, 5);
    EXPECT_EQ(calls[4].service, Service::RedrawFilterWindow);
    EXPECT_EQ(host.redraw_count(), 1);
    for (size_t i = 1; i < calls.size(); ++i) EXPECT_GT(calls[i].sequence, calls[i - 1].sequence);

    // The fetched frame went into the job's spare word, its size into width and height.
    EXPECT_TRUE(result.spare_is_fetched_frame);
    EXPECT_EQ(result.spare_picture, calls[2].picture);
    EXPECT_EQ(result.work_picture, result.host_work_picture);
    const Picture frame1 = SampleFrame(1, 64, 32);
    EXPECT_EQ(result.title, "fetched=1 w=64 h=32 y=" + std::to_string(frame1.at(0, 0).y) + " enabled=5");
    EXPECT_TRUE(result.work_gaps_intact);
    EXPECT_EQ(result.work_after.samples.size(), 64u * 32u);
}

TEST(StandInHost, FetchDeliversNothingForGapsAndFramesOutsideTheClip) {
    std::vector<std::optional<Picture>> frames;
    frames.emplace_back(ConstantPicture(16, 8, {100, 0, 0}));
    frames.emplace_back(std::nullopt);
    frames.emplace_back(ConstantPicture(10, 6, {200, 1, 2}));
    StandInHost host(ProbePath(), MakeClip(std::move(frames)));
    EXPECT_EQ(host.clip().max_width, 16);

    host.SetSlider(OFFSET, 2);
    EXPECT_EQ(host.ProcessFrame(0).title, "fetched=1 w=10 h=6 y=200 enabled=1");
    for (const int offset : {1, 3, -1}) {
        host.SetSlider(OFFSET, offset);
        EXPECT_EQ(host.ProcessFrame(0).title, "fetched=0 w=16 h=8 y=-99999 enabled=1") << offset;
    }
    EXPECT_EQ(host.CallsOf(Service::FetchFilteredFrame).back().result, 0);
    EXPECT_THROW(host.ProcessFrame(1), std::invalid_argument);
    EXPECT_THROW(host.ProcessFrame(3), std::invalid_argument);
}

TEST(StandInHost, SavingOutputIsReported) {
    StandInHost host(ProbePath());
    host.SetSavingOutput(true);
    EXPECT_EQ(host.ProcessFrame(0).title, "saving");
    ASSERT_EQ(host.calls().size(), 1u);
    EXPECT_EQ(host.calls()[0].result, 1);
}

TEST(StandInHost, EveryPictureEndsRightBeforeOrStartsRightAfterAnInaccessiblePage) {
    StandInHost host(ProbePath(), SampleClip(2, 50, 20, 64, 30));
    EXPECT_EQ(host.PicturePlacement(), testing::DefaultGuardPlacement());
    host.SetSlider(MODE, PROBE_GUARDS);
    const std::string words = " sliders=2 checkboxes=2 job=16";  // the words always end at a guard page
    const int work = 19 * 64 + 50;  // the last row holds only the picture's width

    host.SetPicturePlacement(testing::GuardPlacement::After);
    host.SetSlider(OFFSET, 0);
    EXPECT_EQ(host.ProcessFrame(1).title, "work=" + std::to_string(work) + " spare=" + std::to_string(64 * 30) +
                                              " fetched=" + std::to_string(work) + words);

    host.SetPicturePlacement(testing::GuardPlacement::Before);
    EXPECT_EQ(host.PicturePlacement(), testing::GuardPlacement::Before);
    host.SetSlider(OFFSET, 1);
    EXPECT_EQ(host.ProcessFrame(1).title, "work=0 spare=0 fetched=0" + words);
    host.SetSlider(OFFSET, 0);
    const std::string before = host.ProcessFrame(1).title;
    EXPECT_EQ(before.substr(before.find(" sliders")), words);

    host.SetPicturePlacement(testing::GuardPlacement::After);
    host.SetSlider(OFFSET, 1);
    EXPECT_EQ(host.ProcessFrame(1).title, "work=-1 spare=-1 fetched=-1" + words);
}

TEST(StandInHost, NewHostsTakeTheDefaultPlacement) {
    const testing::GuardPlacement saved = testing::DefaultGuardPlacement();
    for (const auto placement : {testing::GuardPlacement::Before, testing::GuardPlacement::After}) {
        testing::SetDefaultGuardPlacement(placement);
        StandInHost host(ProbePath());
        EXPECT_EQ(host.PicturePlacement(), placement) << testing::GuardPlacementName(placement);
    }
    testing::SetDefaultGuardPlacement(saved);
}

TEST(StandInHost, WritesIntoFetchedFramesOrTheJobAreSeen) {
    StandInHost host(ProbePath(), SampleClip(2, 50, 20, 64, 30));
    host.SetSlider(MODE, PROBE_SCRIBBLE);
    const auto run = [&](int scribble) {
        host.SetSlider(OFFSET, scribble);
        return host.ProcessFrame(1);
    };
    const FrameResult clean = run(0);
    EXPECT_TRUE(clean.fetched_frames_intact);
    EXPECT_EQ(std::memcmp(&clean.job_before, &clean.job_after, sizeof(FrameJob)), 0);
    EXPECT_EQ(clean.job_before.max_width, 64);
    EXPECT_EQ(clean.job_before.frame_index, 1);
    EXPECT_NE(clean.job_before.unused_24, 0u);  // patterned, so that a zero written there shows

    EXPECT_FALSE(run(1).fetched_frames_intact);
    EXPECT_FALSE(run(2).fetched_frames_intact);
    const FrameResult job_written = run(3);
    EXPECT_TRUE(job_written.fetched_frames_intact);
    EXPECT_NE(std::memcmp(&job_written.job_before, &job_written.job_after, sizeof(FrameJob)), 0);
}

TEST(StandInHost, CallbacksRunOnAStackThatIsNot16ByteAligned) {
    StandInHost host(ProbePath());
    host.SetSlider(MODE, PROBE_STACK);
    // GCC expects 12 mod 16 on entry; the host gives 4, as a 4-byte aligned caller may.
    EXPECT_EQ(host.ProcessFrame(0).title, "esp=4");
    EXPECT_EQ(host.SendToWindowCallback(WM_COMMAND, ID_REPORT_STACK, 0), 1);
    EXPECT_EQ(host.WindowTitle(), "wesp=4");
}

TEST(StandInHost, MessageBoxesAreReadAndAnswered) {
    StandInHost host(ProbePath());
    host.SetSlider(MODE, PROBE_BOXES);
    host.QueueMessageBoxAnswer(IDOK);
    host.QueueMessageBoxAnswer(IDNO);
    EXPECT_EQ(host.ProcessFrame(0).title, "box1=1 box2=7");
    ASSERT_EQ(host.message_boxes().size(), 2u);
    const MessageBoxRecord& warning = host.message_boxes()[0];
    EXPECT_EQ(warning.text, FRAME_ERROR);
    EXPECT_EQ(warning.caption, ERROR_CAPTION);
    EXPECT_EQ(warning.icon, BoxIcon::Warning);
    EXPECT_EQ(warning.buttons, std::vector<int>{IDOK});
    EXPECT_EQ(warning.owner, nullptr);
    const MessageBoxRecord& question = host.message_boxes()[1];
    EXPECT_EQ(question.icon, BoxIcon::Question);
    EXPECT_EQ(question.buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_EQ(question.owner, host.window());
    EXPECT_EQ(question.answer, IDNO);

    // Unqueued: OK where there is one, else the first button.
    EXPECT_EQ(host.ProcessFrame(0).title, "box1=1 box2=6");
}

TEST(StandInHost, TypingReachesTheWindowCallbackAsEditNotifications) {
    StandInHost host(ProbePath());
    host.TypeIntoControl(ID_PATH, "C:\\a.bmp");
    EXPECT_EQ(host.WindowTitle(), "path=C:\\a.bmp");
    EXPECT_EQ(host.FindControl(ID_PATH)->text, "C:\\a.bmp");
    host.TypeIntoControl(ID_PATH, "\x8E\x51\x8F\xC6.bmp", TypingMode::ReplaceSelection);
    EXPECT_EQ(host.WindowTitle(), "path=\x8E\x51\x8F\xC6.bmp");
    host.TypeIntoControl(ID_PATH, "x", TypingMode::Keystrokes, false);
    EXPECT_EQ(host.FindControl(ID_PATH)->text, "\x8E\x51\x8F\xC6.bmpx");
    host.TypeIntoControl(ID_PATH, "C:\\\x8E\x51\x8F\xC6");  // double-byte characters as keystrokes
    EXPECT_EQ(host.WindowTitle(), "path=C:\\\x8E\x51\x8F\xC6");
    host.TypeIntoControl(ID_PATH, "");
    EXPECT_EQ(host.WindowTitle(), "path=");

    int notifications = 0;
    for (const WindowMessageRecord& m : host.window_messages())
        if (m.message == WM_COMMAND && LOWORD(m.wparam) == ID_PATH && HIWORD(m.wparam) == EN_UPDATE) ++notifications;
    EXPECT_GE(notifications, 8 + 1 + 1 + 5 + 1);
}

TEST(StandInHost, OpenFileDialogIsTypedIntoOrCancelled) {
    const std::string file = TempPath("standin_dialog.bmp");
    ASSERT_TRUE(WriteBmp24(file, PictureToRgb(ConstantPicture(4, 4, {2048, 0, 0}))));
    StandInHost host(ProbePath());
    host.TypeIntoControl(ID_PATH, "start.bmp");

    host.QueueFileDialogAnswer(FileDialogAnswer::Open(file));
    host.PressButton(ID_BROWSE);
    ASSERT_EQ(host.file_dialogs().size(), 1u);
    const FileDialogRecord& chosen = host.file_dialogs()[0];
    EXPECT_EQ(chosen.title, OPEN_TITLE);
    EXPECT_EQ(chosen.initial_file_name, "start.bmp");
    EXPECT_EQ(chosen.owner, host.window());
    EXPECT_TRUE(chosen.answer_was_queued);
    EXPECT_FALSE(chosen.refused);
    EXPECT_FALSE(chosen.file_types.empty());
    EXPECT_EQ(host.FindControl(ID_PATH)->text, file);
    EXPECT_EQ(host.redraw_count(), 1);
    EXPECT_EQ(host.window_messages().back().result, 1);  // FilterIsEnabled

    host.SetSlider(MODE, PROBE_DIALOG);
    host.QueueFileDialogAnswer(FileDialogAnswer::Cancel());
    EXPECT_EQ(host.ProcessFrame(0).title, "dialog=0 file=" + file + " name=standin_dialog.bmp");
    // The dialog opens in the folder of a full path and shows only the name.
    EXPECT_EQ(host.file_dialogs()[1].initial_file_name, "standin_dialog.bmp");

    // A file that does not exist: the dialog's own complaint is answered, then it is cancelled.
    host.QueueFileDialogAnswer(FileDialogAnswer::Open(TempPath("no_such_file.bmp")));
    EXPECT_EQ(host.ProcessFrame(0).title.substr(0, 9), "dialog=0 ");
    ASSERT_EQ(host.file_dialogs().size(), 3u);
    EXPECT_TRUE(host.file_dialogs()[2].refused);
    ASSERT_FALSE(host.message_boxes().empty());
    EXPECT_TRUE(host.message_boxes().back().inside_file_dialog);

    // Nothing queued: cancelled, and recorded as such.
    EXPECT_EQ(host.ProcessFrame(0).title.substr(0, 9), "dialog=0 ");
    EXPECT_FALSE(host.file_dialogs().back().answer_was_queued);
    std::remove(file.c_str());
}

TEST(StandInHost, RgbConvertsToYcByBt601) {
    EXPECT_EQ(RgbToYc({0, 0, 0}).y, 0);
    const PixelYC white = RgbToYc({255, 255, 255});
    EXPECT_EQ(white.y, 4096);
    EXPECT_EQ(white.cb, 0);
    EXPECT_EQ(white.cr, 0);
    // Y = 0.299 * 4096 = 1224.7; Cr = (4096 - 1224.7) * 0.713 = 2047.2; Cb = -1224.7 * 0.564 = -690.7.
    const PixelYC red = RgbToYc({255, 0, 0});
    EXPECT_EQ(red.y, 1225);
    EXPECT_EQ(red.cr, 2047);
    EXPECT_EQ(red.cb, -691);
    // Y = 0.114 * 4096 = 466.9; Cb = (4096 - 466.9) * 0.564 = 2046.8.
    const PixelYC blue = RgbToYc({0, 0, 255});
    EXPECT_EQ(blue.y, 467);
    EXPECT_EQ(blue.cb, 2047);
    EXPECT_EQ(RgbToYc({0, 255, 0}).y, 2404);  // 0.587 * 4096 = 2404.4
}

class StandInLoadImageFile : public ::testing::Test {
protected:
    StandInLoadImageFile() : host_(ProbePath(), SampleClip(1, 8, 4)) { host_.SetSlider(MODE, PROBE_LOAD); }

    FrameResult LoadFrom(const std::string& path) {
        host_.TypeIntoControl(ID_PATH, path, TypingMode::ReplaceSelection);
        return host_.ProcessFrame(0);
    }
    StandInHost host_;
};

TEST_F(StandInLoadImageFile, ABitmapArrivesAsYcWithTheHostsPitch) {
    RgbImage image{3, 2, {{0, 0, 0}, {255, 255, 255}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {128, 128, 128}}};
    const std::string path = TempPath("standin_load.bmp");
    ASSERT_TRUE(WriteBmp24(path, image));
    const FrameResult result = LoadFrom(path);
    EXPECT_EQ(result.title, "load=1 w=3 h=2");
    EXPECT_EQ(result.width, 3);
    EXPECT_EQ(result.height, 2);
    const Picture& spare = result.spare_after;  // 8 x 4: pitch 8
    ASSERT_EQ(spare.width, 8);
    EXPECT_EQ(spare.at(0, 0).y, 0);
    EXPECT_EQ(spare.at(1, 0).y, 4096);
    EXPECT_EQ(spare.at(2, 0).y, 1225);
    EXPECT_EQ(spare.at(2, 0).cr, 2047);
    EXPECT_EQ(spare.at(0, 1).y, 2404);
    EXPECT_EQ(spare.at(1, 1).cb, 2047);
    EXPECT_EQ(spare.at(2, 1).y, 2056);  // 128 * 4096 / 255 = 2056.0
    EXPECT_EQ(spare.at(2, 1).cb, 0);
    const auto expected = ReadImageFileAsPicture(path);
    ASSERT_TRUE(expected.has_value());
    EXPECT_EQ(expected->at(2, 1).y, spare.at(2, 1).y);
    std::remove(path.c_str());
}

TEST_F(StandInLoadImageFile, MissingGarbageOrTooLargeFilesLoadNothing) {
    EXPECT_EQ(LoadFrom(TempPath("standin_missing.bmp")).title, "load=0 w=8 h=4");
    EXPECT_EQ(LoadFrom("").title, "load=0 w=8 h=4");

    const std::string garbage = TempPath("standin_garbage.bmp");
    WriteBytes(garbage, "BM this is not a bitmap at all");
    EXPECT_EQ(LoadFrom(garbage).title, "load=0 w=8 h=4");

    const std::string wide = TempPath("standin_wide.bmp");
    ASSERT_TRUE(WriteBmp24(wide, PictureToRgb(ConstantPicture(9, 1, {0, 0, 0}))));
    EXPECT_EQ(LoadFrom(wide).title, "load=0 w=8 h=4");
    const std::string tall = TempPath("standin_tall.bmp");
    ASSERT_TRUE(WriteBmp24(tall, PictureToRgb(ConstantPicture(1, 5, {0, 0, 0}))));
    EXPECT_EQ(LoadFrom(tall).title, "load=0 w=8 h=4");
    const std::string fits = TempPath("standin_fits.bmp");
    ASSERT_TRUE(WriteBmp24(fits, PictureToRgb(ConstantPicture(8, 4, {0, 0, 0}))));
    EXPECT_EQ(LoadFrom(fits).title, "load=1 w=8 h=4");
    for (const auto& path : {garbage, wide, tall, fits}) std::remove(path.c_str());
}

TEST(StandInPictures, ClipFramesRoundTripThroughABitmapCloselyEnough) {
    const Picture frame = SampleFrame(2, 32, 16);
    const std::string path = TempPath("standin_roundtrip.bmp");
    ASSERT_TRUE(WriteBmp24(path, PictureToRgb(frame)));
    const auto read = ReadImageFileAsPicture(path);
    ASSERT_TRUE(read.has_value());
    ASSERT_EQ(read->width, 32);
    ASSERT_EQ(read->height, 16);
    // 8-bit RGB keeps about 16 YC steps per level, more where a channel clips at 0 or 255.
    int worst = 0;
    for (size_t i = 0; i < frame.samples.size(); ++i)
        worst = std::max(worst, std::abs(frame.samples[i].y - read->samples[i].y));
    EXPECT_LE(worst, 64);
    std::remove(path.c_str());
}

// Each pixel becomes a square of `scale` pixels; a request that cannot be met writes no file.
TEST(StandInPictures, PngEnlargesEachPixelToASquareOrWritesNothing) {
    const RgbImage image = PictureToRgb(SampleFrame(2, 7, 5));
    const std::string path = TempPath("standin_scaled.png");
    for (const int scale : {1, 3}) {
        ASSERT_TRUE(WritePng(path, image, scale));
        const auto read = ReadImageFileAsPicture(path);
        ASSERT_TRUE(read.has_value());
        ASSERT_EQ(read->width, 7 * scale);
        ASSERT_EQ(read->height, 5 * scale);
        for (int y = 0; y < read->height; ++y)
            for (int x = 0; x < read->width; ++x) {
                const PixelYC expected = RgbToYc(image.pixels[static_cast<size_t>(y / scale) * 7 + x / scale]);
                const PixelYC& got = read->at(x, y);
                ASSERT_TRUE(got.y == expected.y && got.cb == expected.cb && got.cr == expected.cr)
                    << "scale " << scale << " at " << x << "," << y;
            }
        std::remove(path.c_str());
    }
    RgbImage missing_a_pixel = image;
    missing_a_pixel.pixels.pop_back();
    const std::pair<RgbImage, int> refused[] = {{image, 0}, {image, 9}, {image, -1}, {missing_a_pixel, 1}, {{}, 1}};
    for (const auto& [candidate, scale] : refused) {
        EXPECT_FALSE(WritePng(path, candidate, scale)) << "scale " << scale;
        EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
    }
}

}  // namespace
}  // namespace morvith::standin
