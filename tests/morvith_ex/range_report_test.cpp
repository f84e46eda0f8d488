// The report of the last completed range: the Edit menu's move to its worst frame, File >
// Export as CSV, what neither does without a report, a file open or while the host saves,
// the progress on a long range, and a report for which no memory could be had.

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "address_space_hog.h"
#include "ex_harness.h"
#include "result_line.h"
#include "vmaf/vmaf.h"

namespace morvith::ex_test {
namespace {

using standin::FileDialogAnswer;
using standin::Service;

constexpr char WORST_FRAME_ITEM[] =
    "\x8D\xC5\x82\xE0\x88\xAB\x82\xA2\x83t\x83\x8C\x81[\x83\x80\x82\xD6\x88\xDA\x93\xAE";
constexpr char NOTHING_TO_EXPORT_TEXT[] =
    "\x8F\x91\x82\xAB\x8Fo\x82\xB7\x83t\x83\x8C\x81[\x83\x80\x82\xB2\x82\xC6\x82\xCC\x92l\x82\xAA\x82\xA0\x82\xE8"
    "\x82\xDC\x82\xB9\x82\xF1\x81\x42\x81u\x95\xBD\x8B\xCF\x92l\x81v\x82\xF0\x83I\x83\x93\x82\xC9\x82\xB5\x82\xC4"
    "\x94\xCD\x88\xCD\x82\xF0\x91\xAA\x92\xE8\x82\xB5\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2\x81\x42";
constexpr char EXPORT_FAILED_TEXT[] =
    "CSV\x83t\x83@\x83" "C\x83\x8B\x82\xF0\x8F\x91\x82\xAB\x8Fo\x82\xB9\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5"
    "\x82\xBD\x81\x42";

// 32 x 12 frames; rectangles 12 x 10 at (1, 1) and (18, 2), which differ in Y by the
// frame's offset. Frame 5 repeats frame 3, whose offset is the largest: the first of the
// two is the worst.
constexpr Controls RANGE{.kind = 1, .region_width = 12, .region_height = 10, .x1 = 1, .y1 = 1,
                         .x2 = 18, .y2 = 2, .range_start = 1, .range_end = 6, .average = 1};
constexpr int16_t Y_OFFSETS[] = {1, 2, 1, 6, 3, 6, 2, 4};

Clip ClipOfOffsets() {
    std::vector<std::optional<Picture>> frames;
    for (int i = 0; i < 8; ++i) {
        Picture picture = PatternPicture(32, 12, 500 + (i == 5 ? 3 : i));
        for (int r = 0; r < RANGE.region_height; ++r) {
            for (int c = 0; c < RANGE.region_width; ++c) {
                PixelYC sample = picture.at(RANGE.x1 + c, RANGE.y1 + r);
                sample.y = static_cast<int16_t>(sample.y + Y_OFFSETS[i] * ((r + c) % 3));
                sample.cb = static_cast<int16_t>(sample.cb + (c % 2));
                picture.at(RANGE.x2 + c, RANGE.y2 + r) = sample;
            }
        }
        frames.push_back(std::move(picture));
    }
    return ClipOf(std::move(frames), 40);
}

// A folder of this process's own in the system's temporary folder, empty at the start.
std::string EmptyFolder(const char* name) {
    char temporary[MAX_PATH];
    GetTempPathA(sizeof temporary, temporary);
    const std::string folder = std::string(temporary) + name + "_" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do DeleteFileA((folder + "\\" + found.cFileName).c_str());
        while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return folder;
}

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.push_back(found.cFileName);
    while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

std::string Contents(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The title's values as a CSV row writes them: "38.5421dB ∞dB " -> ",38.5421,inf".
std::string CsvValues(const std::string& title) {
    std::string values;
    std::istringstream words(title.substr(0, title.rfind(' ')));
    for (std::string word; words >> word;) {
        if (word.size() > 2 && word.compare(word.size() - 2, 2, "dB") == 0) word.resize(word.size() - 2);
        values += ',';
        values += word == "\x81\x87" ? "inf" : word;
    }
    return values;
}

class ExRangeReport : public ::testing::Test {
protected:
    ExRangeReport() { host_.SetRenderOnWindowResult(true); }

    standin::FrameResult Run(const Controls& controls, int frame = 0) {
        controls.ApplyTo(host_);
        host_.ClearLog();
        return host_.ProcessFrame(frame);
    }
    // The Edit menu item, chosen; the frame the editor moved to, or -1.
    int32_t ChooseWorstFrame() {
        host_.ClearLog();
        EXPECT_TRUE(host_.ChooseMenuItem(host_.MenuItems().at(0).id));
        const std::vector<standin::ServiceCall> moves = host_.CallsOf(Service::MoveToFrame);
        EXPECT_LE(moves.size(), 1u);
        EXPECT_EQ(host_.renders().size(), moves.size());
        return moves.empty() ? -1 : moves[0].frame;
    }
    void Export(FileDialogAnswer answer) {
        host_.ClearLog();
        host_.QueueFileDialogAnswer(std::move(answer));
        EXPECT_TRUE(host_.ChooseExport());
    }

    StandInHost host_{MODULE_PATH, ClipOfOffsets()};
    const std::string folder_ = EmptyFolder("morvith_ex_report");
};

TEST_F(ExRangeReport, TheMenuItemIsAddedOnceOnSetup) {
    const std::vector<standin::ServiceCall> items = host_.MenuItems();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].name, WORST_FRAME_ITEM);
    EXPECT_EQ(items[0].window, host_.window());
    EXPECT_EQ(items[0].registration, &host_.registration());
    EXPECT_EQ(items[0].key, 0);
    EXPECT_EQ(items[0].key_flags, 0);
}

TEST_F(ExRangeReport, EachRowIsThatFramesOwnTitleAndTheMoveMeasuresNothing) {
    for (const int32_t kind : {1, 2}) {
        SCOPED_TRACE(kind);
        Controls range = RANGE;
        range.kind = kind;
        Controls single = range;
        single.average = 0;
        std::string expected = "frame,Y,Cb,Cr\r\n";
        int32_t worst = -1;
        double worst_y = 0;
        for (int32_t n = range.range_start; n <= range.range_end; ++n) {
            const std::string title = Run(single, n).title;
            expected += std::to_string(n) + CsvValues(title) + "\r\n";
            const double y = std::strtod(title.c_str(), nullptr);
            if (worst < 0 || y < worst_y) worst = n, worst_y = y;
        }
        EXPECT_EQ(worst, 3);

        const std::string line = Run(range).title;
        EXPECT_TRUE(IsResultLine(line, ""));
        const std::string path = folder_ + "\\report" + std::to_string(kind);  // the dialog adds the extension
        Export(FileDialogAnswer::Open(path));
        ASSERT_EQ(host_.file_dialogs().size(), 1u);
        EXPECT_TRUE(host_.file_dialogs()[0].save);
        EXPECT_EQ(host_.file_dialogs()[0].initial_file_name, "morvith_ex_1-6.csv");
        EXPECT_TRUE(host_.message_boxes().empty());
        EXPECT_EQ(Contents(path + ".csv"), expected);

        // The render that the move causes shows the range's line and fetches nothing; the
        // next render of that frame, and a move under other settings, measure again.
        EXPECT_EQ(ChooseWorstFrame(), worst);
        ASSERT_EQ(host_.renders().size(), 1u);
        EXPECT_EQ(host_.renders()[0].title, line);
        EXPECT_TRUE(host_.CallsOf(Service::FetchFilteredFrame).empty());
        EXPECT_TRUE(SamePicture(WithOutlines(*host_.clip().frames[worst], range), host_.renders()[0].work_after));
        Run(range, worst);
        EXPECT_EQ(host_.CallsOf(Service::FetchFilteredFrame).size(), 6u);
        host_.SetSlider(KIND, 3 - kind);
        EXPECT_EQ(ChooseWorstFrame(), worst);
        EXPECT_EQ(host_.CallsOf(Service::FetchFilteredFrame).size(), 6u);
    }
}

TEST_F(ExRangeReport, WithoutAReportAFileOrWhileSavingNothingHappens) {
    EXPECT_EQ(ChooseWorstFrame(), -1);
    Export(FileDialogAnswer::Cancel());
    ASSERT_EQ(host_.message_boxes().size(), 1u);
    EXPECT_EQ(host_.message_boxes()[0].text, NOTHING_TO_EXPORT_TEXT);
    EXPECT_EQ(host_.message_boxes()[0].icon, standin::BoxIcon::Information);
    EXPECT_TRUE(host_.file_dialogs().empty());

    Run(RANGE);
    host_.SetEditing(false);
    EXPECT_EQ(ChooseWorstFrame(), -1);
    host_.SetEditing(true);
    host_.SetSavingOutput(true);
    EXPECT_EQ(ChooseWorstFrame(), -1);
    Export(FileDialogAnswer::Open(folder_ + "\\saving.csv"));
    EXPECT_TRUE(host_.file_dialogs().empty());
    EXPECT_TRUE(host_.message_boxes().empty());
    host_.SetSavingOutput(false);

    // A range stopped by Esc, or by a frame the host could not deliver, keeps the last report.
    Controls other = RANGE;
    other.range_start = 5;
    host_.ScriptEscapeKey({{1, INT32_MAX}});
    Run(other);
    host_.ScriptEscapeKey({});
    other.range_end = 9;
    Run(other);
    EXPECT_EQ(host_.message_boxes().size(), 1u);
    EXPECT_EQ(ChooseWorstFrame(), 3);
}

TEST_F(ExRangeReport, TheFileIsReplacedWholeOrNotAtAll) {
    Run(RANGE);
    const std::string target = folder_ + "\\report.csv";
    Export(FileDialogAnswer::Open(target));
    const std::string written = Contents(target);
    ASSERT_EQ(written.substr(0, 16), "frame,Y,Cb,Cr\r\n1");
    for (const char c : written) EXPECT_LT(static_cast<unsigned char>(c), 0x80u);

    struct Case {
        const char* what;
        FileDialogAnswer answer;
        int overwrite_answer;  // to the dialog's prompt, 0 for none
        bool held_open;
        bool fails;
        std::string expected;
    };
    const std::string missing = folder_ + "\\gone\\report.csv";
    for (const Case& c : std::vector<Case>{
             {"cancelled", FileDialogAnswer::Cancel(), 0, false, false, "old"},
             {"a name too long for the buffer", FileDialogAnswer::NameTooLong(600), 0, false, true, "old"},
             {"not overwritten", FileDialogAnswer::Open(target), IDNO, false, false, "old"},
             {"overwritten", FileDialogAnswer::Open(target), IDYES, false, false, written},
             {"held open by another program", FileDialogAnswer::Open(target), IDYES, true, true, "old"},
             {"in a folder that went away", FileDialogAnswer::ChosenWithoutDialog(missing), 0, false, true, "old"}}) {
        SCOPED_TRACE(c.what);
        std::ofstream(target, std::ios::binary) << "old";
        // Held open for reading and writing, as an editor of text files does: a file written in
        // place would be cut short and rewritten, one replaced whole cannot be.
        const HANDLE holder = c.held_open ? CreateFileA(target.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                        nullptr, OPEN_EXISTING, 0, nullptr)
                                          : INVALID_HANDLE_VALUE;
        if (c.overwrite_answer != 0) host_.QueueMessageBoxAnswer(c.overwrite_answer);
        Export(c.answer);
        if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);

        EXPECT_EQ(Contents(target), c.expected);
        EXPECT_EQ(FilesIn(folder_), std::vector<std::string>{"report.csv"});  // no temporary file left
        const size_t prompts = c.overwrite_answer != 0 ? 1 : 0;
        ASSERT_EQ(host_.message_boxes().size(), prompts + (c.fails ? 1 : 0));
        if (prompts != 0) {
            EXPECT_TRUE(host_.message_boxes()[0].inside_file_dialog);
        }
        if (c.fails) {
            const standin::MessageBoxRecord& box = host_.message_boxes().back();
            EXPECT_EQ(box.text.rfind(EXPORT_FAILED_TEXT, 0), 0u) << box.text;
            EXPECT_EQ(box.caption, ERROR_CAPTION);
        }
    }

    // A folder too deep for the system's temporary names (250 bytes): the file is still made
    // beside the target, under a name that no file there holds.
    const std::string deep = folder_ + "\\" + std::string(250 - folder_.size() - 1, 'd');
    ASSERT_TRUE(CreateDirectoryA(deep.c_str(), nullptr));
    const std::string deep_target = deep + "\\r.csv";
    std::ofstream(deep_target + "~0", std::ios::binary) << "other";
    Export(FileDialogAnswer::ChosenWithoutDialog(deep_target));
    EXPECT_TRUE(host_.message_boxes().empty());
    EXPECT_EQ(Contents(deep_target), written);
    EXPECT_EQ(Contents(deep_target + "~0"), "other");
    EXPECT_EQ(FilesIn(deep).size(), 2u);
    for (const std::string& name : FilesIn(deep)) DeleteFileA((deep + "\\" + name).c_str());
    RemoveDirectoryA(deep.c_str());
}

// The render that a move asks for may pass the module by (the filter switched off): a later
// render at that frame measures again, as the frames upstream may have changed meanwhile.
TEST_F(ExRangeReport, OnlyTheFirstRenderAfterAMoveShowsTheReport) {
    Run(RANGE);
    host_.SetRenderOnWindowResult(false);
    for (const int32_t enabled : {1, 0}) {
        SCOPED_TRACE(enabled);
        host_.SetFilterIsEnabledResult(enabled);
        host_.ClearLog();
        ASSERT_TRUE(host_.ChooseMenuItem(host_.MenuItems().at(0).id));
        ASSERT_EQ(host_.CallsOf(Service::MoveToFrame).size(), 1u);
        host_.SetFilterIsEnabledResult(1);
        if (enabled != 0) Run(RANGE, 0);  // another frame shown first, through the filter
        Run(RANGE, 3);
        EXPECT_EQ(host_.CallsOf(Service::FetchFilteredFrame).size(), 6u);
    }
}

// Progress about ten times a second, with the frames measured so far; the host's queued
// messages wait for its own loop, while a message sent from another thread is answered.
namespace progress {
bool in_call = false;
bool posted_seen_in_call = false;
bool sent_seen_in_call = false;
WNDPROC original = nullptr;
constexpr UINT POSTED = WM_APP + 1;
constexpr UINT SENT = WM_APP + 2;
LRESULT CALLBACK Watch(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == POSTED) posted_seen_in_call |= in_call;
    if (message == SENT) sent_seen_in_call |= in_call;
    return CallWindowProcA(original, window, message, wparam, lparam);
}
DWORD WINAPI Send(void* window) {
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(static_cast<HWND>(window), SENT, 0, 0, SMTO_NORMAL, 20000, &answer);
    return 0;
}
}  // namespace progress

TEST_F(ExRangeReport, ProgressShowsWithoutRunningTheHostsQueue) {
    std::vector<std::optional<Picture>> frames(40, PatternPicture(32, 12, 7));
    host_.SetClip(ClipOf(std::move(frames), 40));
    progress::original = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(host_.window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&progress::Watch)));
    HANDLE sender = nullptr;
    host_.SetCallHooks({[&](Service service) {
                            if (service != Service::FetchFilteredFrame) return;
                            if (sender == nullptr) {
                                PostMessageA(host_.window(), progress::POSTED, 0, 0);
                                sender = CreateThread(nullptr, 0, progress::Send, host_.window(), 0, nullptr);
                            }
                            Sleep(15);  // a range long enough to show its progress
                        },
                        {}});
    Controls range = RANGE;
    range.range_start = 0;
    range.range_end = 39;
    progress::in_call = true;
    const std::string line = Run(range).title;
    progress::in_call = false;
    host_.SetCallHooks({});
    WaitForSingleObject(sender, 20000);
    CloseHandle(sender);
    MSG posted;
    EXPECT_TRUE(PeekMessageA(&posted, host_.window(), progress::POSTED, progress::POSTED, PM_REMOVE));
    SetWindowLongPtrA(host_.window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(progress::original));
    EXPECT_FALSE(progress::posted_seen_in_call);
    EXPECT_TRUE(progress::sent_seen_in_call);

    const std::vector<standin::TitleRecord>& titles = host_.titles();
    ASSERT_GE(titles.size(), 4u);
    EXPECT_EQ(titles.front().text, Progress(0, 40));
    EXPECT_EQ(titles.back().text, line);
    for (size_t i = 1; i + 1 < titles.size(); ++i) {
        EXPECT_EQ(titles[i].text, Progress(titles[i].calls_before - 2, 40));
        EXPECT_GE(titles[i].tick - titles[i - 1].tick, 90u);
    }
}

// A range with no room for its values measures all the same, for a report without frames.
TEST(ExFrameRangePool, ARangeWithoutRoomForItsValuesStillShowsItsResult) {
    StandInHost host(MODULE_PATH, ClipOfOffsets());
    testing::GuardedPicture picture(4, 1, 4);
    picture.FillRandom(3, 0, 4096);
    RepeatingHost repeating(host, picture);
    // No outlines: the repeating host's one picture is also the current one.
    const Controls range{.kind = 1, .region_width = 2, .region_height = 1, .x2 = 2, .range_end = 59999, .average = 1,
                         .outline = 0};
    ASSERT_EQ(repeating.Process(range), 1);
    const std::string with_room = host.WindowTitle();
    {
        // Holes under 1 MB stay for the host's own small allocations; the report needs 1.44 MB.
        testing::AddressSpaceHog hog(SIZE_T{1} << 20);
        hog.Reserve();
        ASSERT_EQ(repeating.Process(range), 1);
    }
    EXPECT_EQ(repeating.fetches(), 60000);
    const std::string without_room = host.WindowTitle();
    EXPECT_EQ(without_room.substr(0, without_room.rfind(' ')), with_room.substr(0, with_room.rfind(' ')));

    host.ClearLog();
    EXPECT_TRUE(host.ChooseMenuItem(host.MenuItems().at(0).id));
    EXPECT_TRUE(host.CallsOf(Service::MoveToFrame).empty());
    EXPECT_TRUE(host.ChooseExport());
    ASSERT_EQ(host.message_boxes().size(), 1u);
    EXPECT_EQ(host.message_boxes()[0].text, NOTHING_TO_EXPORT_TEXT);
}

// A count whose values' size wraps in 32 bits (24 bytes a frame) has no room for them: here
// the size would wrap to 1 MB, which the range would walk past from its 43691st frame on.
TEST(ExFrameRangePool, ACountWhoseRoomWrapsGetsNone) {
    StandInHost host(MODULE_PATH);
    testing::GuardedPicture picture(4, 1, 4);
    picture.FillRandom(3, 0, 4096);
    RepeatingHost repeating(host, picture);
    constexpr int32_t WRAPPING = 178956971 + 43690;  // 24 x this is 2^32 + 1048568
    repeating.DeliverFramesUpTo(49999);
    ASSERT_EQ(repeating.Process({.kind = 1, .region_width = 2, .region_height = 1, .x2 = 2,
                                 .range_end = WRAPPING - 1, .average = 1, .outline = 0}),
              1);
    EXPECT_EQ(repeating.fetches(), 50001);
    ASSERT_EQ(host.message_boxes().size(), 1u);
    EXPECT_EQ(host.message_boxes()[0].text, FRAME_ERROR_TEXT);
}

// 100000 frames without a difference: every value infinite, the worst frame the first, which
// lies past the end of the edit now open (3 frames): no move.
TEST(ExFrameRangePool, AHundredThousandIdenticalFramesEachKeepTheirRow) {
    StandInHost host(MODULE_PATH);
    testing::GuardedPicture picture(2, 1, 2);
    picture.Fill({100, 5, -5});
    RepeatingHost repeating(host, picture);
    ASSERT_EQ(repeating.Process({.kind = 1, .region_width = 1, .region_height = 1, .x2 = 1, .range_start = 7,
                                 .range_end = 100006, .average = 1}),
              1);
    EXPECT_TRUE(IsResultLine(host.WindowTitle(), PsnrValues({ENDLESS, ENDLESS, ENDLESS})));

    const std::string path = EmptyFolder("morvith_ex_pool") + "\\all.csv";
    host.QueueFileDialogAnswer(FileDialogAnswer::Open(path));
    EXPECT_TRUE(host.ChooseExport());
    std::string expected = "frame,Y,Cb,Cr\r\n";
    for (int n = 7; n <= 100006; ++n) expected += std::to_string(n) + ",inf,inf,inf\r\n";
    EXPECT_TRUE(Contents(path) == expected);

    host.ClearLog();
    EXPECT_TRUE(host.ChooseMenuItem(host.MenuItems().at(0).id));
    EXPECT_TRUE(host.CallsOf(Service::MoveToFrame).empty());
}

// VMAF (kind 4) with the core as the oracle: rectangle 1 is the reference, rectangle 2 the
// distorted one. Each frame's own title, the first and last frame of the edit among them, is
// its value in a series over the whole edit, and so is its CSV row in a range, whose
// neighbours outside it are fetched once each; every fetched frame is spoiled at the next call.
TEST(ExVmaf, SingleFramesRangesAndCsvRowsAreTheCoresValues) {
    const Clip clip = standin::SampleClip(5, 96, 40);
    StandInHost host(MODULE_PATH, clip);
    host.SetSpoilFetchedFrames(true);
    host.SetRenderOnWindowResult(true);
    Controls controls{.kind = 4, .region_width = 40, .region_height = 32, .x1 = 0, .y1 = 0, .x2 = 48, .y2 = 4};

    VmafSeries series;
    ASSERT_TRUE(series.Prepare(controls.region_width, controls.region_height));
    series.Begin();
    std::vector<VmafFrame> expected(6);
    for (int n = 0; n <= 5; ++n) {
        VmafFrame* done = &expected[static_cast<size_t>(std::max(n - 1, 0))];
        if (n == 5) {
            ASSERT_TRUE(series.End(&expected[4]));
            break;
        }
        const Picture& frame = *clip.frames[n];
        EXPECT_EQ(series.TakeFrame({&frame.at(0, 0), frame.width}, {&frame.at(48, 4), frame.width}, nullptr, done),
                  n > 0);
    }
    const auto fetched = [&] {
        std::vector<int32_t> frames;
        for (const standin::ServiceCall& call : host.CallsOf(Service::FetchFilteredFrame)) frames.push_back(call.frame);
        return frames;
    };

    std::vector<std::string> single(5);
    controls.ApplyTo(host);
    for (int n = 0; n < 5; ++n) {
        SCOPED_TRACE(n);
        host.ClearLog();
        const standin::FrameResult result = host.ProcessFrame(n);
        single[n] = result.title.substr(0, result.title.rfind(' '));
        EXPECT_EQ(single[n], "VMAF " + std::string(FormatMeasure(expected[n].score)));
        EXPECT_TRUE(result.fetched_frames_intact);
        std::vector<int32_t> neighbours;
        if (n > 0) neighbours.push_back(n - 1);
        if (n < 4) neighbours.push_back(n + 1);
        EXPECT_EQ(fetched(), neighbours);
        EXPECT_EQ(host.calls()[1].service, Service::FrameCount);
    }

    const std::string folder = EmptyFolder("morvith_ex_vmaf");
    for (const auto& [first, last] : {std::pair{1, 3}, {0, 4}}) {
        SCOPED_TRACE(::testing::Message() << "range " << first << ".." << last);
        controls.range_start = first;
        controls.range_end = last;
        controls.average = 1;
        controls.ApplyTo(host);
        host.ClearLog();
        const standin::FrameResult result = host.ProcessFrame(2);
        double sum = 0;
        int worst = first;
        std::string csv = "frame,VMAF,adm2,motion2,vif_scale0,vif_scale1,vif_scale2,vif_scale3\r\n";
        for (int n = first; n <= last; ++n) {
            const VmafFrame& frame = expected[static_cast<size_t>(n)];
            sum += frame.score;
            if (frame.score < expected[static_cast<size_t>(worst)].score) worst = n;
            char features[160];
            std::snprintf(features, sizeof features, ",%.6f,%.6f,%.6f,%.6f,%.6f,%.6f\r\n", frame.features.adm2,
                          frame.features.motion2, frame.features.vif_scale[0], frame.features.vif_scale[1],
                          frame.features.vif_scale[2], frame.features.vif_scale[3]);
            csv += std::to_string(n) + "," + single[n].substr(5) + features;
        }
        EXPECT_TRUE(IsResultLine(result.title, "VMAF " + std::string(FormatMeasure(sum / (last - first + 1))) + " "));
        EXPECT_TRUE(result.fetched_frames_intact);
        // 1..3 with its neighbours, or the whole edit, which has none.
        EXPECT_EQ(fetched(), (std::vector<int32_t>{0, 1, 2, 3, 4}));
        EXPECT_EQ(host.CallsOf(Service::ReserveFrameCache).size(), 1u);

        const std::string path = folder + "\\vmaf" + std::to_string(first) + ".csv";
        host.QueueFileDialogAnswer(FileDialogAnswer::Open(path));
        EXPECT_TRUE(host.ChooseExport());
        EXPECT_EQ(Contents(path), csv);
        DeleteFileA(path.c_str());

        host.ClearLog();
        EXPECT_TRUE(host.ChooseMenuItem(host.MenuItems().at(0).id));
        const std::vector<standin::ServiceCall> moves = host.CallsOf(Service::MoveToFrame);
        ASSERT_EQ(moves.size(), 1u);
        EXPECT_EQ(moves[0].frame, worst);
    }
    RemoveDirectoryA(folder.c_str());
}

// No room for VMAF's buffers: the range stops as for a fetch error, with VMAF's box, and
// fetches nothing; with room again it measures.
TEST(ExVmaf, MemoryRefusedStopsTheRangeWithItsBox) {
    StandInHost host(MODULE_PATH, standin::SampleClip(2, 1920, 1080));
    const Controls range{.kind = 4, .region_width = 960, .region_height = 1080, .x2 = 960, .range_end = 0,
                         .average = 1, .outline = 0};
    range.ApplyTo(host);
    testing::AddressSpaceHog hog(SIZE_T{1} << 20);
    host.SetCallHooks({[&](Service service) {
                           if (service == Service::IsSavingOutput) hog.Reserve();
                       },
                       [&] { hog.Release(); }});
    standin::FrameResult result = host.ProcessFrame(0);
    EXPECT_EQ(result.returned, 1);
    EXPECT_EQ(result.title, Progress(0, 1));
    ASSERT_EQ(host.message_boxes().size(), 1u);
    EXPECT_EQ(host.message_boxes()[0].text,
              "VMAF\x82\xcc\x8c\x76\x8e\x5a\x82\xc9\x95\x4b\x97\x76\x82\xc8\x83\x81\x83\x82\x83\x8a\x82\xf0"
              "\x8a\x6d\x95\xdb\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1\x82\xc5\x82\xb5\x82\xbd\x81\x42");
    EXPECT_EQ(host.message_boxes()[0].caption, ERROR_CAPTION);
    EXPECT_TRUE(host.CallsOf(Service::FetchFilteredFrame).empty());
    EXPECT_TRUE(SamePicture(*host.clip().frames[0], result.work_after));
}

}  // namespace
}  // namespace morvith::ex_test
