// What the module file offers and needs, read without loading it.

#include <cctype>
#include <string>

#include "ex_harness.h"
#include "pe_image.h"

namespace morvith::ex_test {
namespace {

TEST(ExModule, ExportsOnlyTheTableAndNeedsOnlyTheSystem) {
    const testing::PeImage image = testing::ReadPeImage(MODULE_PATH);
    EXPECT_EQ(image.machine, 0x14C);
    EXPECT_TRUE(image.is_dll);
    ASSERT_EQ(image.exports.size(), 1u);
    EXPECT_EQ(image.exports[0].name, "GetFilterTable");
    EXPECT_EQ(image.exports[0].ordinal, 1u);
    EXPECT_FALSE(image.imported_dlls.empty());
    // Statically linked: no runtime DLL of the compiler beside the module.
    for (const std::string& dll : image.imported_dlls) {
        SCOPED_TRACE(dll);
        std::string lower;
        for (const char c : dll) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_TRUE(lower == "kernel32.dll" || lower == "user32.dll" || lower == "msvcrt.dll" ||
                    lower == "gdi32.dll" || lower == "comdlg32.dll");
    }
    // Its settings are the host's controls alone; it writes a file only when asked to export.
    for (const std::string& function : image.imported_functions)
        for (const char* reader : testing::ENVIRONMENT_READERS) EXPECT_NE(function, reader);
}

// Stripped, as packed for users. No thread runtime and no part of the C++ library: any of
// them coming back (OpenMP, the POSIX thread library, streams, locales, exceptions,
// strings) adds 30 KB or more. The bound leaves room for VMAF and its model.
TEST(ExModule, StaysWithinItsSize) {
    EXPECT_LE(testing::ReadPeImage(MODULE_PATH).file_size, 180u * 1024);
}

}  // namespace
}  // namespace morvith::ex_test
