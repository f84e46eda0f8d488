// The module as the host meets it: its PE tables, its registration record and its life
// from LoadLibrary to FreeLibrary.

#include <cctype>
#include <cstring>
#include <iterator>
#include <set>

#include "morvith_host.h"
#include "pe_image.h"

namespace morvith::testing {
namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

TEST(MorvithModule, ExportsOnlyGetFilterTableAtOrdinalOne) {
    const PeImage image = ReadPeImage(ModulePath());
    EXPECT_EQ(image.machine, 0x14C);
    EXPECT_TRUE(image.is_dll);
    ASSERT_EQ(image.exports.size(), 1u);
    EXPECT_EQ(image.exports[0].name, "GetFilterTable");
    EXPECT_EQ(image.exports[0].ordinal, 1u);
}

TEST(MorvithModule, ImportsSystemLibrariesOnly) {
    const std::set<std::string> system = {"kernel32.dll", "user32.dll", "gdi32.dll",
                                          "comdlg32.dll", "msvcrt.dll"};
    const PeImage image = ReadPeImage(ModulePath());
    EXPECT_FALSE(image.imported_dlls.empty());
    for (const std::string& dll : image.imported_dlls) {
        const std::string name = Lower(dll);
        EXPECT_TRUE(system.count(name) == 1 || name.starts_with("api-ms-win-crt-")) << dll;
    }
}

// Stripped, as packed for users. No thread runtime and no part of the C++ library: any of
// them coming back (OpenMP with its thread library is 180 KB; streams, locales, exceptions,
// strings 60 KB or more) shows here. The bound leaves room for VMAF and its model.
TEST(MorvithModule, StaysWithinItsSize) {
    EXPECT_LE(ReadPeImage(ModulePath()).file_size, 180u * 1024);
}

// Its settings are the host's sliders and checkboxes alone: nothing from the environment
// (which a thread runtime reads when the module loads) or from a file of its own.
TEST(MorvithModule, ImportsNoWayToReadTheEnvironmentOrAFile) {
    std::set<std::string> forbidden = {
        "CreateFileA", "CreateFileW", "OpenFile", "_lopen", "fopen", "_wfopen", "_open", "_wopen",
        "RegOpenKeyExA", "RegOpenKeyExW", "GetPrivateProfileStringA", "GetPrivateProfileIntA"};
    forbidden.insert(std::begin(ENVIRONMENT_READERS), std::end(ENVIRONMENT_READERS));
    const PeImage image = ReadPeImage(ModulePath());
    EXPECT_FALSE(image.imported_functions.empty());
    for (const std::string& function : image.imported_functions) EXPECT_EQ(forbidden.count(function), 0u) << function;
}

TEST(PeImage, RejectsWhatIsNoModule) {
    const std::vector<uint8_t> not_a_module = {'M', 'Z', 0, 0};
    EXPECT_THROW(ParsePeImage(not_a_module), std::runtime_error);
    EXPECT_THROW(ParsePeImage({}), std::runtime_error);
}

class MorvithRegistration : public MorvithTest {};

TEST_F(MorvithRegistration, HoldsEveryValueTheHostReads) {
    const host::FilterRegistration& r = host_.registration();
    EXPECT_EQ(r.feature_flags, 0x00044000u);
    EXPECT_EQ(r.window_width, 320);
    EXPECT_EQ(r.window_height, 160);
    EXPECT_STREQ(r.display_name, "Morvith");

    ASSERT_EQ(r.slider_count, 2);
    EXPECT_STREQ(r.slider_names[0], cp932::MEASURE_KIND);
    EXPECT_STREQ(r.slider_names[1], cp932::FRAME_OFFSET);
    EXPECT_EQ(std::vector<int32_t>(r.slider_defaults, r.slider_defaults + 2), (std::vector<int32_t>{0, 0}));
    EXPECT_EQ(std::vector<int32_t>(r.slider_minima, r.slider_minima + 2), (std::vector<int32_t>{0, -60}));
    EXPECT_EQ(std::vector<int32_t>(r.slider_maxima, r.slider_maxima + 2), (std::vector<int32_t>{4, 60}));

    ASSERT_EQ(r.checkbox_count, 2);
    EXPECT_STREQ(r.checkbox_names[0], cp932::MULTITHREAD);
    EXPECT_STREQ(r.checkbox_names[1], cp932::LOAD_FILE);
    EXPECT_EQ(std::vector<int32_t>(r.checkbox_defaults, r.checkbox_defaults + 2), (std::vector<int32_t>{0, 0}));

    EXPECT_NE(r.process_callback, nullptr);
    EXPECT_NE(r.window_callback, nullptr);
    EXPECT_EQ(std::string(r.info_text), "Morvith version " MORVITH_EXPECTED_VERSION " by the Morvith project");

    for (uint32_t word : r.unused_52) EXPECT_EQ(word, 0u);
    for (uint32_t word : r.unused_76) EXPECT_EQ(word, 0u);
    for (uint32_t word : r.unused_88) EXPECT_EQ(word, 0u);
    for (uint32_t word : r.unused_108) EXPECT_EQ(word, 0u);
}

TEST_F(MorvithRegistration, IsOneRecordThatNoCallbackWrites) {
    EXPECT_EQ(host_.CallGetFilterTable(), &host_.registration());
    EXPECT_EQ(host_.CallGetFilterTable(), &host_.registration());

    unsigned char before[sizeof(host::FilterRegistration)];
    std::memcpy(before, &host_.registration(), sizeof before);
    for (int32_t kind : {0, 1, 2}) {
        host_.SetSlider(KIND, kind);
        host_.SetCheckbox(MULTITHREAD, 1);
        host_.ProcessFrame(1);
    }
    host_.SetCheckbox(LOAD_FILE, 1);
    host_.ProcessFrame(0);
    host_.TypeIntoControl(PATH_EDIT, "x.bmp");
    host_.PressButton(BROWSE_BUTTON);
    EXPECT_EQ(std::memcmp(before, &host_.registration(), sizeof before), 0);
}

// The worker threads of a parallel measurement must be gone, or at least not run code of
// the module, once the host unloads it.
TEST(MorvithModule, UnloadsCleanlyAfterParallelMeasurements) {
    for (int cycle = 0; cycle < 5; ++cycle) {
        StandInHost host(ModulePath(), ClipOfSharedRows(2));
        host.SetSlider(KIND, cycle % 2 == 0 ? 1 : 2);
        host.SetCheckbox(MULTITHREAD, 1);
        EXPECT_EQ(host.ProcessFrame(0).returned, 1);
        EXPECT_NE(host.WindowTitle().find("[ms]"), std::string::npos);
    }
}

}  // namespace
}  // namespace morvith::testing
