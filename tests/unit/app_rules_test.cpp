// The shell's and the configuration pages' rules that need no window.
#include <gtest/gtest.h>

#include "app/app_rules.h"
#include "profiles/key_table.h"

namespace tactra {
namespace {

TEST(MouseMode, ServiceFileDecidesBeforeTheSystemCheck) {
    EXPECT_EQ(MouseModeForTabletService(true), kMouseModeTabletService);
    EXPECT_EQ(MouseModeForTabletService(false), kMouseModeEmulate);

    // Version 6 with the service started: the mode becomes 96 afterwards.
    OsCheckResult r = CheckOperatingSystem(kMouseModeTabletService, 6, false);
    EXPECT_EQ(r.mouseMode, kMouseModeOsPointer);
    EXPECT_FALSE(r.calibrationEnabled);
    EXPECT_STREQ(r.hint, kHintNewerWindows);

    r = CheckOperatingSystem(kMouseModeEmulate, 5, true);
    EXPECT_EQ(r.mouseMode, kMouseModeOsPointer);
    EXPECT_STREQ(r.hint, kHintTabletPc);

    r = CheckOperatingSystem(kMouseModeEmulate, 5, false);
    EXPECT_EQ(r.mouseMode, kMouseModeEmulate);
    EXPECT_TRUE(r.calibrationEnabled);
    EXPECT_EQ(r.hint, nullptr);
}

TEST(ShowPosition, CentredAndClampedToTheScreen) {
    EXPECT_EQ(CentredOrigin(1024, 768, 400, 300).x, 312);
    EXPECT_EQ(CentredOrigin(1024, 768, 400, 300).y, 234);
    // Larger than the screen: top left corner, never off the screen.
    EXPECT_EQ(CentredOrigin(640, 480, 800, 300).x, 0);
    EXPECT_EQ(CentredOrigin(640, 480, 300, 600).y, 0);
    EXPECT_EQ(CentredOrigin(0, 0, 300, 200).x, 0);
}

TEST(TrayCallback, LeftButtonShowsRightButtonReleasedOpensMenu) {
    EXPECT_EQ(TrayCallbackAction(0x201), TrayAction::kShow);
    EXPECT_EQ(TrayCallbackAction(0x203), TrayAction::kShow);
    EXPECT_EQ(TrayCallbackAction(0x205), TrayAction::kMenu);
    EXPECT_EQ(TrayCallbackAction(0x204), TrayAction::kNone);  // right button down
    EXPECT_EQ(TrayCallbackAction(0x200), TrayAction::kNone);  // mouse move
}

TEST(TabPages, SixteenPagesAtMostAndClicksSwitchOnlyToAnotherPage) {
    TabPages pages;
    int dummy[17];
    for (int i = 0; i < 16; ++i) EXPECT_TRUE(pages.AppendPage("P", &dummy[i], 132));
    EXPECT_FALSE(pages.AppendPage("extra", &dummy[16], 133));
    EXPECT_EQ(pages.Count(), 16);
    EXPECT_EQ(pages.At(15).page, &dummy[15]);

    int previous = -1;
    EXPECT_FALSE(pages.FocusChanged(0, previous));  // already current
    EXPECT_TRUE(pages.FocusChanged(1, previous));
    EXPECT_EQ(previous, 0);
    EXPECT_EQ(pages.Current(), 1);
    EXPECT_FALSE(pages.FocusChanged(1, previous));   // clicking "MODIFY" again
    EXPECT_FALSE(pages.FocusChanged(-1, previous));  // no focused item
    EXPECT_FALSE(pages.FocusChanged(16, previous));
}

TEST(NewApplicationName, TheChosenFieldNamesTheSection) {
    AppNameInput in;
    in.fileName = "a.exe";
    in.keyWords = "Photo";
    EXPECT_EQ(SectionNameToSave(in), "a.exe");
    in.fileNameChosen = false;
    EXPECT_EQ(SectionNameToSave(in), "Photo");
    // The chosen field empty: nothing to save under, even with the other filled.
    in.keyWords.clear();
    EXPECT_EQ(SectionNameToSave(in), "");
    // Blanks only are no name either; blanks around a name are kept as typed.
    for (const char* blanks : {" ", "   ", "\t", " \t "}) {
        in.keyWords = blanks;
        EXPECT_EQ(SectionNameToSave(in), "") << "'" << blanks << "'";
    }
    in.keyWords = " Photo ";
    EXPECT_EQ(SectionNameToSave(in), " Photo ");
}

TEST(SectionName, BracketsAndControlCharactersCannotBeStored) {
    EXPECT_TRUE(IsStorableSectionName("notepad.exe"));
    EXPECT_TRUE(IsStorableSectionName("Windows Photo Viewer"));
    EXPECT_TRUE(IsStorableSectionName("caf\xE9 (1).exe"));  // bytes above 0x7F are text
    for (const char* bad : {"a[b", "a]b", "[x]", "line\nbreak", "tab\there", "cr\r", "del\x7F"})
        EXPECT_FALSE(IsStorableSectionName(bad)) << bad;
    EXPECT_FALSE(IsStorableSectionName(std::string("nul\0inside", 11)));
}

TEST(ListSelection, NeedsAnIndexInsideTheList) {
    EXPECT_FALSE(IsListSelection(-1, 3));
    EXPECT_TRUE(IsListSelection(2, 3));
    EXPECT_FALSE(IsListSelection(3, 3));
    EXPECT_FALSE(IsListSelection(0, 0));
}

TEST(ListSelection, SaveAndDeleteActOnlyOnTheSectionStillShown) {
    const std::vector<std::string> sections = {"iexplore.exe", "AcroRd32.exe", "notepad.exe"};
    EXPECT_EQ(ListTarget(1, sections, "AcroRd32.exe"), 1);
    // Typed over: neither the remembered section nor the one typed is the target.
    EXPECT_EQ(ListTarget(1, sections, "notepad.exe"), -1);
    EXPECT_EQ(ListTarget(1, sections, "AcroRd"), -1);
    EXPECT_EQ(ListTarget(1, sections, ""), -1);
    EXPECT_EQ(ListTarget(1, sections, "acrord32.exe"), -1);
    // No selection, or one beyond the list after a reload.
    EXPECT_EQ(ListTarget(-1, sections, ""), -1);
    EXPECT_EQ(ListTarget(3, sections, "notepad.exe"), -1);
}

TEST(KeyGroups, DefaultActionsShowAndEncodeBackUnchanged) {
    const AppProfile defaults = PageDefaultActions();
    for (int g = 0; g < kGestureCount; ++g) {
        ControlGroupState state;
        ShowGestureAction(state, defaults.actions[g]);
        bool known = false;
        EXPECT_EQ(EncodeGestureAction(state, &known), defaults.actions[g]) << kGestureNames[g];
        EXPECT_TRUE(known);
    }
    ControlGroupState zoom;
    ShowGestureAction(zoom, defaults.actions[kZoomIn]);
    EXPECT_TRUE(zoom.ctrl);
    EXPECT_FALSE(zoom.shift || zoom.alt);
    EXPECT_EQ(zoom.keyText, "Mouse Up");
    ControlGroupState up;
    ShowGestureAction(up, defaults.actions[kFlickUp]);
    EXPECT_EQ(up.keyText, "Up");
}

}  // namespace
// The "Touch settings" window's values: each setting shown and read back as it was;
// a number out of its range refused with the field's name and range, nothing taken.
TEST(TouchSettingsForm, ShownAndReadBackAndNumbersInTheirRanges) {
    TouchSettings s;
    s.clickMode = ClickMode::kPointerOnly;
    s.holdTimeMs = 600;
    s.smoothing = Smoothing::kStrong;
    s.invertX = {true, false};
    s.validBit = {true, ValidBit::kInRange};
    TouchSettingsForm f = FormFromSettings(s);
    EXPECT_EQ(f.holdTime, "600");
    EXPECT_EQ(f.swapXY, kFixAsTable);
    EXPECT_EQ(f.invertX, 0);
    EXPECT_EQ(f.contactBit, 2);
    TouchSettings back;
    std::string error;
    ASSERT_TRUE(SettingsFromForm(f, back, error)) << error;
    EXPECT_EQ(back.clickMode, ClickMode::kPointerOnly);
    EXPECT_EQ(back.holdTimeMs, 600u);
    EXPECT_EQ(back.smoothing, Smoothing::kStrong);
    EXPECT_FALSE(back.swapXY.set);
    EXPECT_TRUE(back.invertX.set && !back.invertX.value);
    EXPECT_TRUE(back.validBit.set && back.validBit.value == ValidBit::kInRange);
    const struct {
        std::string TouchSettingsForm::*field;
        const char* text;
        const char* error;
    } bad[] = {
        {&TouchSettingsForm::holdTime, "499", "Hold time (ms): a number from 500 to 5000"},
        {&TouchSettingsForm::holdTime, "5001", "Hold time (ms): a number from 500 to 5000"},
        {&TouchSettingsForm::holdRadius, "0", "Still radius (px): a number from 1 to 500"},
        {&TouchSettingsForm::doubleTapTime, "", "Double tap time (ms): a number from 50 to 1000"},
        {&TouchSettingsForm::doubleTapArea, "-1",
         "Double tap area (px, 0: anywhere): a number from 0 to 500"},
    };
    for (const auto& b : bad) {
        TouchSettingsForm wrong = f;
        wrong.*b.field = b.text;
        TouchSettings untouched;
        EXPECT_FALSE(SettingsFromForm(wrong, untouched, error)) << b.text;
        EXPECT_EQ(error, b.error);
        EXPECT_EQ(untouched.holdTimeMs, 1500u);
    }
}

}  // namespace tactra
