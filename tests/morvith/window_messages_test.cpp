// The window callback under whatever a host or a user may send: setup and teardown
// messages repeated or out of order, commands with any id and code, other messages with
// random parameters, typing past the edit box's limit, the open-file dialog. After every
// message the path that the file mode loads is a terminated text within its 260 bytes that
// follows the edit box, the window has one pair of controls, and the module holds at most
// the one font of its controls, none after the teardown.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <iterator>
#include <sstream>

#include "gdi_tally.h"
#include "guarded_picture.h"
#include "morvith_host.h"
#include "sweep_plan.h"

namespace morvith::testing {
namespace {

constexpr int PATH_BUFFER_SIZE = 260;
constexpr int MESSAGES_PER_ROUND = 100;
constexpr uint32_t FIRST_SEED = 1;

const char* loaded_name = nullptr;

// Reports a 2 x 2 picture loaded, so that no error box slows the test down.
MORVITH_HOST_CALLBACK int32_t RememberLoadedName(PixelYC*, const char* file_name, int32_t* width, int32_t* height,
                                                 int32_t) {
    loaded_name = file_name;
    *width = *height = 2;
    return 1;
}

// The buffer whose text the file mode hands to the image loader: it stays where it is for
// as long as the module is loaded, so the test can read it after every message.
const char* ReferencePathBuffer(StandInHost& host) {
    host::FilterRegistration& registration = host.registration();
    host::HostServices* const services = registration.services;
    host::HostServices remembering = *services;
    remembering.LoadImageFile = RememberLoadedName;
    registration.services = &remembering;
    const int32_t kind = host.Slider(KIND), load_file = host.Checkbox(LOAD_FILE);
    host.SetSlider(KIND, 1);
    host.SetCheckbox(LOAD_FILE, 1);

    PixelYC work[4] = {}, spare[4] = {};
    host::FrameJob job{};
    job.work_picture = work;
    job.spare_picture = spare;
    job.width = job.height = job.max_width = 2;
    job.edit_handle = StandInHost::EditHandle();
    loaded_name = nullptr;
    CallProcessFrame(host, job);

    registration.services = services;
    host.SetSlider(KIND, kind);
    host.SetCheckbox(LOAD_FILE, load_file);
    host.ClearLog();
    return loaded_name;
}

int ChildrenWithId(HWND window, int id) {
    int count = 0;
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
        if (GetDlgCtrlID(child) == id) ++count;
    return count;
}

HGDIOBJ ControlFont(const StandInHost& host, int id) {
    return reinterpret_cast<HGDIOBJ>(SendDlgItemMessageA(host.window(), id, WM_GETFONT, 0, 0));
}

// What GetWindowTextA leaves in a buffer of the path's size.
std::string EditCopy(HWND edit) {
    char copy[PATH_BUFFER_SIZE] = {};
    GetWindowTextA(edit, copy, PATH_BUFFER_SIZE);
    return copy;
}

// Bytes outside printable ASCII as \xNN, for the failure messages.
std::string Printable(const std::string& text) {
    std::string printable;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F) {
            printable += c;
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            printable += escaped;
        }
    }
    return printable;
}

std::string RandomText(TestRandom& random) {
    size_t length;
    switch (random.Between(0, 19)) {
        case 0: length = random.Between(255, 265); break;
        case 1: length = random.Between(266, 600); break;
        default: length = random.Between(0, 24); break;
    }
    std::string text;
    while (text.size() < length) {
        switch (random.Between(0, 11)) {
            case 0: text += "\x95\x5c"; break;  // a double-byte character whose second byte is '\'
            case 1: text += "\x82\xa0"; break;
            case 2: text += '\\'; break;
            case 3: text += random.Between(0, 3) == 0 ? '\b' : ' '; break;
            default: text += static_cast<char>(random.Between('!', '~')); break;
        }
    }
    return text;
}

// Mostly the edit box; the browse button has a branch of its own, as it opens a dialog.
WORD RandomControlId(TestRandom& random) {
    constexpr int OTHER_IDS[] = {PATH_EDIT + 1, BROWSE_BUTTON - 1, 0, 0xFFFF, IDOK, 1000};
    switch (random.Between(0, 9)) {
        case 0: {
            const auto id = static_cast<WORD>(random.Next());
            return id == BROWSE_BUTTON ? PATH_EDIT : id;
        }
        case 1: return static_cast<WORD>(OTHER_IDS[random.Between(0, static_cast<int>(std::size(OTHER_IDS)) - 1)]);
        default: return PATH_EDIT;
    }
}

WORD RandomNotification(TestRandom& random) {
    constexpr WORD CODES[] = {EN_UPDATE, EN_UPDATE, EN_CHANGE, EN_MAXTEXT, EN_SETFOCUS, EN_KILLFOCUS, BN_CLICKED};
    if (random.Between(0, 7) == 0) return static_cast<WORD>(random.Next());
    return CODES[random.Between(0, static_cast<int>(std::size(CODES)) - 1)];
}

class MorvithWindowMessages : public ::testing::Test {
protected:
    MorvithWindowMessages() {
        existing_file_ = folder_.Write("ref.bmp", 8, 8);
        // The longest full path that the path buffer holds, and one byte more.
        const size_t room = PATH_BUFFER_SIZE - 1 - folder_.path().size() - 1;
        longest_file_ = folder_.Write(std::string(room - 4, 'n') + ".bmp", 4, 4);
        too_long_file_ = folder_.Write(std::string(room - 3, 'n') + ".bmp", 4, 4);
    }

    void RunRound(uint32_t seed);

    ReferenceFolder folder_;
    std::string existing_file_;
    std::string longest_file_;
    std::string too_long_file_;
};

// One fresh host and a run of random messages; every expectation is checked after each one.
void MorvithWindowMessages::RunRound(uint32_t seed) {
    TestRandom random(seed);
    GdiTally gdi(ModulePath());
    StandInHost host(ModulePath(), standin::SampleClip(1, 8, 8));
    const int32_t enabled = random.Between(0, 2) == 0 ? 0 : random.Between(1, 3);
    host.SetFilterIsEnabledResult(enabled);
    const char* const path = ReferencePathBuffer(host);
    ASSERT_NE(path, nullptr);
    ASSERT_EQ(gdi.live(), 1) << "the setup makes the controls' font";
    std::string expected_path;
    bool torn_down = false;

    for (int step = 0; step < MESSAGES_PER_ROUND; ++step) {
        const HWND edit = GetDlgItem(host.window(), PATH_EDIT);
        ASSERT_NE(edit, nullptr);
        const int redraws = host.redraw_count();
        int browses = 0;
        std::ostringstream sent;
        const int choice = random.Between(0, 199);

        if (choice < 8) {
            const auto wparam = random.Next(), lparam = random.Next();
            sent << "setup message";
            ASSERT_EQ(host.SendToWindowCallback(host::WINDOW_SETUP_MESSAGE, wparam, lparam), 1);
            torn_down = false;
        } else if (choice < 16) {
            const auto wparam = random.Next(), lparam = random.Next();
            sent << "teardown message";
            ASSERT_EQ(host.SendToWindowCallback(host::WINDOW_TEARDOWN_MESSAGE, wparam, lparam), 0);
            torn_down = true;
        } else if (choice < 18) {
            // The browse button, clicked or with any other code; the dialog is answered.
            const int answer = random.Between(0, 4);
            std::string chosen;
            if (answer == 0) chosen = existing_file_;
            if (answer == 1) chosen = longest_file_;
            if (answer == 2) chosen = too_long_file_;
            if (answer == 3) chosen = folder_.path() + "\\missing.bmp";
            if (!chosen.empty()) host.QueueFileDialogAnswer(standin::FileDialogAnswer::Open(chosen));
            const size_t dialogs = host.file_dialogs().size();
            const WORD code = random.Between(0, 1) == 0 ? BN_CLICKED : RandomNotification(random);
            sent << "browse, code " << code << ", answer \"" << chosen << "\"";
            if (random.Between(0, 1) == 0) {
                ASSERT_EQ(host.SendToWindowCallback(WM_COMMAND, MAKEWPARAM(BROWSE_BUTTON, code), random.Next()),
                          enabled);
            } else {
                SendMessageA(host.window(), WM_COMMAND, MAKEWPARAM(BROWSE_BUTTON, code),
                             reinterpret_cast<LPARAM>(GetDlgItem(host.window(), BROWSE_BUTTON)));
                ASSERT_EQ(host.window_messages().back().result, enabled);
            }
            ASSERT_EQ(host.file_dialogs().size(), dialogs + 1);
            const standin::FileDialogRecord& dialog = host.file_dialogs().back();
            if (!dialog.answer.cancel && !dialog.refused && chosen.size() < PATH_BUFFER_SIZE) {
                expected_path = chosen;
                ASSERT_EQ(EditCopy(edit), chosen);
            }
            browses = 1;
        } else if (choice < 59) {
            const std::string text = RandomText(random);
            // Long texts mostly pasted: a keystroke costs a round of messages.
            const auto mode = random.Between(0, text.size() > 200 ? 3 : 1) == 0
                                  ? standin::TypingMode::Keystrokes
                                  : standin::TypingMode::ReplaceSelection;
            const bool replace = random.Between(0, 2) != 0;
            sent << "typing " << text.size() << " bytes \"" << Printable(text) << "\", "
                 << (mode == standin::TypingMode::Keystrokes ? "keystrokes" : "pasted")
                 << (replace ? ", replacing" : ", appending");
            host.TypeIntoControl(PATH_EDIT, text, mode, replace);
            expected_path = EditCopy(edit);
        } else if (choice < 130) {
            const WORD id = RandomControlId(random);
            const WORD code = RandomNotification(random);
            const bool through_window = random.Between(0, 1) == 0;
            const LPARAM lparam = random.Between(0, 1) == 0 ? reinterpret_cast<LPARAM>(edit) : random.Next();
            sent << "command id " << id << " code " << code << (through_window ? " through the window" : "");
            int32_t result;
            if (through_window) {
                SendMessageA(host.window(), WM_COMMAND, MAKEWPARAM(id, code), lparam);
                result = host.window_messages().back().result;
            } else {
                result = host.SendToWindowCallback(WM_COMMAND, MAKEWPARAM(id, code), lparam);
            }
            ASSERT_EQ(result, id == PATH_EDIT ? enabled : 0);
            if (id == PATH_EDIT && code == EN_UPDATE) expected_path = EditCopy(edit);
        } else {
            UINT message = static_cast<UINT>(random.Between(0, 0xFFFF));
            if (message == WM_COMMAND || message == host::WINDOW_SETUP_MESSAGE ||
                message == host::WINDOW_TEARDOWN_MESSAGE)
                message = WM_USER;
            const auto wparam = random.Next(), lparam = random.Next();
            sent << "message " << message << " (" << wparam << ", " << lparam << ")";
            ASSERT_EQ(host.SendToWindowCallback(message, wparam, lparam), 0);
        }

        SCOPED_TRACE("after message " + std::to_string(step) + ": " + sent.str());
        ASSERT_NE(std::memchr(path, '\0', PATH_BUFFER_SIZE), nullptr) << "the path has no terminator";
        ASSERT_EQ(Printable(path), Printable(expected_path));
        // The box's text whole, or as much of it as the buffer takes (a double-byte
        // character that would end on the last byte may be left out).
        const std::string box = host.FindControl(PATH_EDIT)->text;
        ASSERT_EQ(box.compare(0, expected_path.size(), expected_path), 0) << Printable(box);
        ASSERT_GE(expected_path.size() + 1, std::min<size_t>(box.size(), PATH_BUFFER_SIZE - 1)) << Printable(box);
        ASSERT_EQ(ChildrenWithId(host.window(), BROWSE_BUTTON), 1);
        ASSERT_EQ(ChildrenWithId(host.window(), PATH_EDIT), 1);
        ASSERT_EQ(gdi.live(), torn_down ? 0 : 1) << "fonts the module holds";
        if (!torn_down) {
            ASSERT_TRUE(gdi.IsLive(ControlFont(host, BROWSE_BUTTON)));
            ASSERT_TRUE(gdi.IsLive(ControlFont(host, PATH_EDIT)));
        }
        ASSERT_EQ(gdi.foreign_deletions(), 0);
        ASSERT_EQ(host.redraw_count(), redraws + browses);
    }
    ASSERT_EQ(host.SendToWindowCallback(host::WINDOW_TEARDOWN_MESSAGE, 0, 0), 0);
    EXPECT_EQ(gdi.live(), 0) << "fonts left after the teardown";
    EXPECT_EQ(gdi.foreign_deletions(), 0);
}

// A host that sends the setup message again, with or without a teardown before it, or a
// teardown first: one pair of controls, keeping their text, and one font, in use by them.
TEST_F(MorvithWindowMessages, SetupAndTeardownInAnyOrder) {
    GdiTally gdi(ModulePath());
    StandInHost host(ModulePath(), standin::SampleClip(1, 8, 8));
    const char* const path = ReferencePathBuffer(host);
    ASSERT_NE(path, nullptr);
    host.TypeIntoControl(PATH_EDIT, "C:\\clips\\a.bmp");
    const HGDIOBJ first_font = ControlFont(host, PATH_EDIT);
    EXPECT_TRUE(gdi.IsLive(first_font));

    EXPECT_EQ(host.SendToWindowCallback(host::WINDOW_SETUP_MESSAGE, 0, 0), 1);
    EXPECT_EQ(gdi.live(), 1);
    EXPECT_EQ(ControlFont(host, BROWSE_BUTTON), first_font);

    for (int teardowns = 1; teardowns <= 2; ++teardowns) {
        SCOPED_TRACE(std::to_string(teardowns) + " teardown messages, then a setup");
        for (int i = 0; i < teardowns; ++i)
            EXPECT_EQ(host.SendToWindowCallback(host::WINDOW_TEARDOWN_MESSAGE, 0, 0), 0);
        EXPECT_EQ(gdi.live(), 0);
        EXPECT_EQ(host.SendToWindowCallback(host::WINDOW_SETUP_MESSAGE, 0, 0), 1);
        EXPECT_EQ(gdi.live(), 1);
        EXPECT_TRUE(gdi.IsLive(ControlFont(host, BROWSE_BUTTON)));
        EXPECT_TRUE(gdi.IsLive(ControlFont(host, PATH_EDIT)));
        EXPECT_EQ(ChildrenWithId(host.window(), BROWSE_BUTTON), 1);
        EXPECT_EQ(ChildrenWithId(host.window(), PATH_EDIT), 1);
        EXPECT_EQ(host.FindControl(PATH_EDIT)->text, "C:\\clips\\a.bmp");
        EXPECT_STREQ(path, "C:\\clips\\a.bmp");
    }
    EXPECT_EQ(gdi.created(), 3);
    EXPECT_EQ(gdi.foreign_deletions(), 0);
}

TEST_F(MorvithWindowMessages, RandomMessagesKeepThePathTheControlsAndTheFont) {
    SweepCrashReport crash_report("round");
    const std::optional<uint32_t> only = OnlySweepSeed();
    const int rounds = only ? 1 : std::max(1, static_cast<int>(SweepCaseCount(3000, 300)) / MESSAGES_PER_ROUND);
    for (int round = 0; round < rounds && !HasFailure(); ++round) {
        const uint32_t seed = only ? *only : FIRST_SEED + round;
        crash_report.SetCase(seed);
        SCOPED_TRACE("round " + std::to_string(seed) + "; rerun it alone with:\n  " + SweepRerunCommand(seed));
        RunRound(seed);
    }
}

}  // namespace
}  // namespace morvith::testing
