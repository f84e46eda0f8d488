// The browse button and the path edit box on the settings window, and what the window
// callback answers the host.

#include "morvith_host.h"

namespace morvith::testing {
namespace {

class MorvithControls : public MorvithTest {
protected:
    std::string EditText() { return host_.FindControl(PATH_EDIT).value().text; }

    ReferenceFolder folder_;
};

TEST_F(MorvithControls, AreCreatedOnTheSettingsWindow) {
    struct Expected {
        int id;
        const char* class_name;
        const char* text;
        DWORD style, ex_style;
        int x, y, width, height;
    };
    const Expected expected[] = {
        {BROWSE_BUTTON, "button", cp932::BROWSE_LABEL, 0x50000C00, 0, 230, 109, 50, 18},
        {PATH_EDIT, "edit", "", 0x500000C5, 0x200, 20, 110, 200, 18},
    };
    for (const Expected& e : expected) {
        const std::optional<standin::ControlInfo> control = host_.FindControl(e.id);
        ASSERT_TRUE(control) << e.id;
        EXPECT_EQ(GetParent(control->handle), host_.window());
        EXPECT_EQ(lstrcmpiA(control->class_name.c_str(), e.class_name), 0) << control->class_name;
        EXPECT_EQ(control->text, e.text);
        EXPECT_EQ(control->style, e.style) << std::hex << control->style;
        EXPECT_EQ(control->ex_style, e.ex_style) << std::hex << control->ex_style;
        EXPECT_EQ(control->x, e.x);
        EXPECT_EQ(control->y, e.y);
        EXPECT_EQ(control->width, e.width);
        EXPECT_EQ(control->height, e.height);
        ASSERT_TRUE(control->has_font);
        EXPECT_EQ(control->font.lfHeight, 12);
        EXPECT_EQ(control->font.lfWeight, 500);
        EXPECT_EQ(control->font.lfCharSet, 128);
        EXPECT_EQ(control->font.lfQuality, 2);
        EXPECT_EQ(control->font.lfPitchAndFamily, 48);
        EXPECT_FALSE(control->font.lfItalic || control->font.lfUnderline || control->font.lfStrikeOut);
        EXPECT_STREQ(control->font.lfFaceName, cp932::FONT_FACE);
    }
    EXPECT_EQ(SendMessageA(host_.FindControl(PATH_EDIT)->handle, EM_GETLIMITTEXT, 0, 0), 260);
}

TEST_F(MorvithControls, CallbackAnswersEachMessage) {
    ASSERT_FALSE(host_.window_messages().empty());
    EXPECT_EQ(host_.window_messages()[0].message, host::WINDOW_SETUP_MESSAGE);
    EXPECT_EQ(host_.window_messages()[0].result, 1);

    for (int32_t enabled : {0, 7}) {
        host_.SetFilterIsEnabledResult(enabled);
        EXPECT_EQ(host_.SendToWindowCallback(WM_COMMAND, MAKEWPARAM(BROWSE_BUTTON, BN_CLICKED), 0), enabled);
        EXPECT_EQ(host_.SendToWindowCallback(WM_COMMAND, MAKEWPARAM(PATH_EDIT, EN_UPDATE), 0), enabled);
        EXPECT_EQ(host_.SendToWindowCallback(WM_COMMAND, MAKEWPARAM(PATH_EDIT, EN_CHANGE), 0), enabled);
    }
    host_.ClearLog();
    EXPECT_EQ(host_.SendToWindowCallback(WM_COMMAND, MAKEWPARAM(40003, BN_CLICKED), 0), 0);
    EXPECT_EQ(host_.SendToWindowCallback(WM_COMMAND, MAKEWPARAM(IDOK, EN_UPDATE), 0), 0);
    EXPECT_EQ(host_.SendToWindowCallback(WM_SIZE, 0, MAKELPARAM(320, 160)), 0);
    EXPECT_EQ(host_.SendToWindowCallback(host::WINDOW_SETUP_MESSAGE + 2, 0, 0), 0);
    EXPECT_TRUE(host_.calls().empty()) << "no host service for messages not ours";
    EXPECT_EQ(host_.SendToWindowCallback(host::WINDOW_TEARDOWN_MESSAGE, 0, 0), 0);
    EXPECT_EQ(host_.SendToWindowCallback(host::WINDOW_TEARDOWN_MESSAGE, 0, 0), 0);
}

TEST_F(MorvithControls, BrowseAndChooseShowsTheFullPath) {
    const std::string file = folder_.Write("ref.bmp", 8, 8);
    host_.TypeIntoControl(PATH_EDIT, "start.bmp");
    host_.ClearLog();
    host_.QueueFileDialogAnswer(standin::FileDialogAnswer::Open(file));
    host_.PressButton(BROWSE_BUTTON);

    ASSERT_EQ(host_.file_dialogs().size(), 1u);
    const standin::FileDialogRecord& dialog = host_.file_dialogs()[0];
    EXPECT_EQ(dialog.owner, host_.window());
    EXPECT_EQ(dialog.title, cp932::OPEN_FILE_TITLE);
    EXPECT_EQ(dialog.initial_file_name, "start.bmp");
    EXPECT_EQ(dialog.file_types, (std::vector<std::string>{"Bitmap(*.bmp)", "All files(*.*)"}));
    EXPECT_FALSE(dialog.refused);
    EXPECT_EQ(host_.redraw_count(), 1);
    EXPECT_EQ(EditText(), file);
    EXPECT_EQ(LoadedName(), file);
}

TEST_F(MorvithControls, EveryBrowseAsksForARedrawAndARefusedDialogChangesNothing) {
    // Cancelled; and a chosen name too long for the buffer, which the system answers with
    // FALSE and the size it needed (300, ",\x01") in the buffer's first two bytes.
    for (const standin::FileDialogAnswer& refusal :
         {standin::FileDialogAnswer::Cancel(), standin::FileDialogAnswer::NameTooLong(300)}) {
        SCOPED_TRACE(refusal.needed_size);
        host_.TypeIntoControl(PATH_EDIT, "C:\\clips\\kept.bmp");
        host_.ClearLog();
        host_.QueueFileDialogAnswer(refusal);
        host_.PressButton(BROWSE_BUTTON);
        ASSERT_EQ(host_.file_dialogs().size(), 1u);
        EXPECT_EQ(host_.redraw_count(), 1);
        EXPECT_EQ(host_.CallsOf(Service::RedrawFilterWindow).at(0).registration, &host_.registration());
        EXPECT_EQ(EditText(), "C:\\clips\\kept.bmp");
        EXPECT_EQ(LoadedName(), "C:\\clips\\kept.bmp");
    }

    const std::string file = folder_.Write("chosen.bmp", 8, 8);
    host_.QueueFileDialogAnswer(standin::FileDialogAnswer::Open(file));
    host_.PressButton(BROWSE_BUTTON);
    EXPECT_EQ(host_.redraw_count(), 1);
    // The dialog starts from the path it left last time.
    host_.PressButton(BROWSE_BUTTON);
    EXPECT_NE(host_.file_dialogs().back().initial_file_name.find("chosen.bmp"), std::string::npos);
}

TEST_F(MorvithControls, TypingIsFollowedKeystrokeByKeystroke) {
    host_.TypeIntoControl(PATH_EDIT, "C:\\clips\\a");
    EXPECT_EQ(LoadedName(), "C:\\clips\\a");
    host_.TypeIntoControl(PATH_EDIT, ".bmp", standin::TypingMode::Keystrokes, false);
    EXPECT_EQ(LoadedName(), "C:\\clips\\a.bmp");
    host_.TypeIntoControl(PATH_EDIT, "D:\\pasted.bmp", standin::TypingMode::ReplaceSelection);
    EXPECT_EQ(LoadedName(), "D:\\pasted.bmp");
}

TEST_F(MorvithControls, LongTextIsCutToTheBuffer) {
    host_.TypeIntoControl(PATH_EDIT, std::string(300, 'a'), standin::TypingMode::ReplaceSelection);
    EXPECT_EQ(EditText(), std::string(260, 'a')) << "the box takes 260 characters";
    EXPECT_EQ(LoadedName(), std::string(259, 'a'));
}

}  // namespace
}  // namespace morvith::testing
