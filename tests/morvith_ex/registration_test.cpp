// What the host reads from the module's one record, and that the record never changes.

#include <cstring>
#include <vector>

#include "ex_harness.h"

namespace morvith::ex_test {
namespace {

TEST(ExRegistration, TheHostReadsEveryValueItNeeds) {
    StandInHost host(MODULE_PATH);
    const host::FilterRegistration& r = host.registration();

    // The information string, the window size, File > Export; the report's graph added
    // below the host's standard layout.
    EXPECT_EQ(r.feature_flags, 0x20044000u);
    EXPECT_EQ(r.window_width, 0x30000000);
    EXPECT_EQ(r.window_height, 0x30000000 + 150);
    EXPECT_STREQ(r.display_name, "Morvith ex");
    EXPECT_STREQ(r.info_text, "Morvith ex version " MORVITH_VERSION " by the Morvith project");
    EXPECT_NE(r.process_callback, nullptr);
    EXPECT_NE(r.window_callback, nullptr);

    const char* const slider_names[] = {
        "\x8E\xED\x97\xDE",                   // kind
        "\x89\xA1\x95\x9D",                   // width
        "\x8F\x63\x95\x9D",                   // height
        "X\x8D\xC0\x95W1",                    // X of rectangle 1
        "Y\x8D\xC0\x95W1",
        "X\x8D\xC0\x95W2",
        "Y\x8D\xC0\x95W2",
        "\x8A" "J\x8E" "n\x8D\xC0\x95W",      // range start
        "\x8F" "I\x97\xB9\x8D\xC0\x95W",      // range end
    };
    const int32_t defaults[] = {0, 640, 480, 0, 0, 640, 0, 0, 0};
    const int32_t maxima[] = {4, 1920, 1080, 3839, 2159, 3839, 2159, 99999, 999998};
    ASSERT_EQ(r.slider_count, 9);
    for (int i = 0; i < 9; ++i) {
        SCOPED_TRACE(i);
        EXPECT_STREQ(r.slider_names[i], slider_names[i]);
        EXPECT_EQ(r.slider_defaults[i], defaults[i]);
        EXPECT_EQ(r.slider_minima[i], 0);
        EXPECT_EQ(r.slider_maxima[i], maxima[i]);
        EXPECT_EQ(host.Slider(i), defaults[i]);
    }
    ASSERT_EQ(r.checkbox_count, 2);
    EXPECT_STREQ(r.checkbox_names[0], "\x95\xBD\x8B\xCF\x92l");  // average
    EXPECT_STREQ(r.checkbox_names[1], "\x98g\x90\xFC");         // outline
    EXPECT_EQ(r.checkbox_defaults[0], 0);
    EXPECT_EQ(r.checkbox_defaults[1], 1);

    for (const uint32_t word : r.unused_52) EXPECT_EQ(word, 0u);
    for (const uint32_t word : r.unused_76) EXPECT_EQ(word, 0u);
    for (const uint32_t word : r.unused_88) EXPECT_EQ(word, 0u);
    for (const uint32_t word : r.unused_108) EXPECT_EQ(word, 0u);
}

// The words the plug-in fills, with those that the host writes blanked out.
std::vector<uint8_t> PluginWords(const host::FilterRegistration& registration) {
    host::FilterRegistration copy = registration;
    copy.slider_values = nullptr;
    copy.checkbox_values = nullptr;
    copy.services = nullptr;
    copy.window = nullptr;
    copy.instance = nullptr;
    std::vector<uint8_t> bytes(sizeof copy);
    std::memcpy(bytes.data(), &copy, sizeof copy);
    return bytes;
}

TEST(ExRegistration, TheRecordIsOneAndNeverChanges) {
    StandInHost host(MODULE_PATH, standin::SideBySideClip(2));
    const std::vector<uint8_t> before = PluginWords(host.registration());
    EXPECT_EQ(host.CallGetFilterTable(), &host.registration());
    for (const int32_t kind : {0, 1, 2}) {
        Controls{.kind = kind}.ApplyTo(host);
        host.ProcessFrame(0);
        Controls{.kind = kind, .range_start = 0, .range_end = 1, .average = 1}.ApplyTo(host);
        host.ProcessFrame(1);
    }
    EXPECT_EQ(host.CallGetFilterTable(), &host.registration());
    EXPECT_EQ(PluginWords(host.registration()), before);
}

}  // namespace
}  // namespace morvith::ex_test
