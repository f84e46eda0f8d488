#pragma once

// The real morvith.auf in the stand-in host, and what the tests expect of it spelled out
// as code page 932 bytes, independently of the module's own conversion.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "standin_host.h"

#include <tlhelp32.h>

namespace morvith::testing {

using standin::Service;
using standin::StandInHost;

namespace cp932 {
inline constexpr char MEASURE_KIND[] = "\x8e\xed\x97\xde";
inline constexpr char FRAME_OFFSET[] = "\x8d\xc0\x95\x57";
inline constexpr char MULTITHREAD[] = "\x83\x7d\x83\x8b\x83\x60\x83\x58\x83\x8c\x83\x62\x83\x68";
inline constexpr char LOAD_FILE[] =
    "\x83\x74\x83\x40\x83\x43\x83\x8b\x93\xc7\x82\xdd\x8d\x9e\x82\xdd";
inline constexpr char FRAME_ERROR[] =
    "\x83\x74\x83\x8c\x81\x5b\x83\x80\x82\xaa\x93\xc7\x82\xdd\x8d\x9e\x82\xdf\x82\xdc\x82\xb9"
    "\x82\xf1\x82\xc5\x82\xb5\x82\xbd\x81\x42";
inline constexpr char IMAGE_ERROR[] =
    "\x89\xe6\x91\x9c\x82\xaa\x93\xc7\x82\xdd\x8d\x9e\x82\xdf\x82\xdc\x82\xb9\x82\xf1\x82\xc5"
    "\x82\xb5\x82\xbd\x81\x42";
inline constexpr char ERROR_CAPTION[] = "\x83\x47\x83\x89\x81\x5b";
inline constexpr char OPEN_FILE_TITLE[] = "\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xf0\x8a\x4a\x82\xad";
inline constexpr char BROWSE_LABEL[] = "\x8e\x51\x8f\xc6...";
inline constexpr char FONT_FACE[] = "\x82\x6c\x82\x72\x20\x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e";
inline constexpr char INFINITE_PSNR[] = "\x81\x87" "dB ";
}  // namespace cp932

enum : int { KIND = 0, OFFSET = 1 };               // sliders
enum : int { MULTITHREAD = 0, LOAD_FILE = 1 };     // checkboxes
inline constexpr int BROWSE_BUTTON = 40001;
inline constexpr int PATH_EDIT = 40002;

// The module as a Windows path: Wine maps the Unix root to drive Z.
inline std::string ModulePath() {
    std::string path = MORVITH_MODULE_PATH;
    if (!path.empty() && path.front() == '/') path = "Z:" + path;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// Frames large enough that "マルチスレッド" shares their rows among the module's workers.
inline standin::Clip ClipOfSharedRows(int frame_count) { return standin::SampleClip(frame_count, 1024, 576); }

inline standin::Picture Constant(int width, int height, int16_t y, int16_t cb = 0, int16_t cr = 0) {
    return standin::ConstantPicture(width, height, PixelYC{y, cb, cr});
}

inline bool SameSamples(const standin::Picture& a, const standin::Picture& b) {
    return a.width == b.width && a.height == b.height &&
           std::equal(a.samples.begin(), a.samples.end(), b.samples.begin(), [](PixelYC s, PixelYC t) {
               return s.y == t.y && s.cb == t.cb && s.cr == t.cr;
           });
}

inline std::string InfinitePsnrLine() {
    return std::string(cp932::INFINITE_PSNR) + cp932::INFINITE_PSNR + cp932::INFINITE_PSNR;
}

// The line without its elapsed time, which must be a plain non-negative number.
inline std::string WithoutMilliseconds(const std::string& line) {
    const size_t unit = line.rfind("[ms]");
    EXPECT_EQ(unit + 4, line.size()) << line;
    const size_t last_space = line.rfind(' ', unit);
    EXPECT_NE(last_space, std::string::npos) << line;
    const std::string ms = line.substr(last_space + 1, unit - last_space - 1);
    EXPECT_FALSE(ms.empty());
    EXPECT_EQ(ms.find_first_not_of("0123456789.e+-"), std::string::npos) << line;
    EXPECT_NE(ms.front(), '-') << line;
    return line.substr(0, last_space + 1);
}

// Runs the process callback on a job of the test's own making, as the host calls it.
inline int32_t CallProcessFrame(StandInHost& host, host::FrameJob& job) {
    const uint32_t arguments[2] = {reinterpret_cast<uint32_t>(&host.registration()),
                                   reinterpret_cast<uint32_t>(&job)};
    return standin::morvith_standin_call_misaligned(
        reinterpret_cast<const void*>(host.registration().process_callback), arguments, 2);
}

// Every thread of the process, the caller's among them.
inline std::set<DWORD> ThreadsOfThisProcess() {
    std::set<DWORD> ids;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return ids;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ids.insert(entry.th32ThreadID);
    CloseHandle(snapshot);
    return ids;
}

inline std::set<DWORD> StartedSince(const std::set<DWORD>& before) {
    std::set<DWORD> started;
    for (const DWORD id : ThreadsOfThisProcess())
        if (before.count(id) == 0) started.insert(id);
    return started;
}

inline std::vector<Service> ServiceOrder(const StandInHost& host) {
    std::vector<Service> order;
    for (const standin::ServiceCall& call : host.calls()) order.push_back(call.service);
    return order;
}

// Bitmaps in a folder of the test's own, removed with it.
class ReferenceFolder {
public:
    explicit ReferenceFolder(const char* prefix = "morvith_test_") {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        path_ = std::string(temp) + prefix + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~ReferenceFolder() {
        for (const std::string& file : files_) DeleteFileA(file.c_str());
        RemoveDirectoryA(path_.c_str());
    }
    ReferenceFolder(const ReferenceFolder&) = delete;
    ReferenceFolder& operator=(const ReferenceFolder&) = delete;

    const std::string& path() const { return path_; }

    // The path of a file in the folder, removed with it.
    std::string Add(const std::string& name) {
        files_.push_back(path_ + "\\" + name);
        return files_.back();
    }

    // A width x height bitmap of a pattern that varies in all three channels.
    std::string Write(const std::string& name, int width, int height) {
        standin::RgbImage image{width, height, {}};
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                image.pixels.push_back({static_cast<uint8_t>(x * 3), static_cast<uint8_t>(y * 5),
                                        static_cast<uint8_t>(255 - x - y)});
        const std::string file = Add(name);
        EXPECT_TRUE(standin::WriteBmp24(file, image)) << file;
        return file;
    }

private:
    std::string path_;
    std::vector<std::string> files_;
};

class MorvithTest : public ::testing::Test {
protected:
    explicit MorvithTest(standin::Clip clip = standin::SampleClip(3, 64, 48, 80, 48))
        : host_(ModulePath(), std::move(clip)) {}

    void ExpectOneWarningBox(const char* text) {
        ASSERT_EQ(host_.message_boxes().size(), 1u);
        const standin::MessageBoxRecord& box = host_.message_boxes()[0];
        EXPECT_EQ(box.text, text);
        EXPECT_EQ(box.caption, cp932::ERROR_CAPTION);
        EXPECT_EQ(box.owner, nullptr);
        EXPECT_EQ(box.icon, standin::BoxIcon::Warning);
        EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
    }

    // The name that the file mode hands to the loader now.
    std::string LoadedName() {
        const int32_t kind = host_.Slider(KIND), load_file = host_.Checkbox(LOAD_FILE);
        host_.SetSlider(KIND, 1);
        host_.SetCheckbox(LOAD_FILE, 1);
        host_.ClearLog();
        host_.ProcessFrame(0);
        host_.SetSlider(KIND, kind);
        host_.SetCheckbox(LOAD_FILE, load_file);
        const auto loads = host_.CallsOf(Service::LoadImageFile);
        EXPECT_EQ(loads.size(), 1u);
        return loads.empty() ? std::string() : loads[0].file_name;
    }

    StandInHost host_;
};

}  // namespace morvith::testing
