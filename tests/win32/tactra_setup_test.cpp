// Tactra.exe's profile file and its configuration dialog, driven through the real
// controls: the default file at start-up, a new application on "ADD", and changing
// and deleting it on "MODIFY".
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "profiles/profile_file.h"
#include "tests/support/tactra_process_win32.h"

namespace tactra {
namespace testing {
namespace {

std::string IniValue(const std::string& path, const char* section, const char* key) {
    char value[64] = {};
    GetPrivateProfileStringA(section, key, "<absent>", value, sizeof value, path.c_str());
    return value;
}

class TactraSetup : public ::testing::Test {
protected:
    void Start(const char* wineVersion) {
        TactraProcess::SetWineVersion(wineVersion);
        folder_ = TactraProcess::MakeEmptyFolder("setup");
        ini_ = folder_ + "\\Tactra.ini";
        ASSERT_TRUE(app_.Start(folder_));
        // The default file is written during start-up.
        for (int i = 0; i < 100 && ReadFileText(ini_).empty(); ++i) Pump(50);
    }
    void OpenSetup() {
        PostMessageA(app_.MainDialog(), WM_COMMAND, MAKEWPARAM(1006, BN_CLICKED), 0);
        setup_ = app_.WaitForWindow("Application Configure");
        ASSERT_NE(setup_, nullptr);
        HWND tab = GetDlgItem(setup_, 1008);
        page1_ = FindWindowExA(tab, nullptr, "#32770", nullptr);
        ASSERT_NE(page1_, nullptr);
        page2_ = FindWindowExA(tab, page1_, "#32770", nullptr);
        ASSERT_NE(page2_, nullptr);
        if (!GetDlgItem(page1_, 1011)) std::swap(page1_, page2_);  // "ADD" has the name field
    }
    static void Click(HWND page, int id) {
        SendMessageA(page, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(page, id)));
    }
    static void SetText(HWND page, int id, const char* text) {
        SendMessageA(GetDlgItem(page, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    }
    static void Check(HWND page, int id, bool on) {
        SendMessageA(GetDlgItem(page, id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    static void ClickAt(HWND window, int x) {
        SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, 8));
        SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(x, 8));
    }
    // Presses "SAVE" on `page`, expects a message box with `part` in its text and
    // dismisses it.
    void SaveExpectingBox(HWND page, const char* part) {
        PostMessageA(page, WM_COMMAND, MAKEWPARAM(1009, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(page, 1009)));
        HWND box = app_.WaitForWindow("Tactra");
        ASSERT_NE(box, nullptr) << part;
        bool said = false;
        for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            if (WindowText(child).find(part) != std::string::npos) said = true;
        EXPECT_TRUE(said) << part;
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        for (int i = 0; i < 50 && IsWindow(box); ++i) Pump(30);
    }
    int ListIndex(const char* name) {
        HWND list = GetDlgItem(page2_, 1046);
        const int count = static_cast<int>(SendMessageA(list, CB_GETCOUNT, 0, 0));
        // Item texts are read through the selection: WM_GETTEXT crosses processes.
        int found = -1;
        for (int i = 0; i < count && found < 0; ++i) {
            SendMessageA(list, CB_SETCURSEL, i, 0);
            if (WindowText(list) == name) found = i;
        }
        SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        return found;
    }
    void Select(int index) {
        SendMessageA(GetDlgItem(page2_, 1046), CB_SETCURSEL, index, 0);
        SendMessageA(page2_, WM_COMMAND, MAKEWPARAM(1046, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(GetDlgItem(page2_, 1046)));
    }

    std::string folder_, ini_;
    TactraProcess app_;
    HWND setup_ = nullptr, page1_ = nullptr, page2_ = nullptr;
};

TEST_F(TactraSetup, DefaultFileForMajorVersionFive) {
    Start("winxp64");
    EXPECT_EQ(ReadFileText(ini_), DefaultProfileText(GetSystemDefaultLangID(), 5));
}

TEST_F(TactraSetup, DefaultFileForMajorVersionSix) {
    Start("win7");
    EXPECT_EQ(ReadFileText(ini_), DefaultProfileText(GetSystemDefaultLangID(), 6));
    ASSERT_NO_FATAL_FAILURE(OpenSetup());
    EXPECT_EQ(ListIndex("iexplore.exe"), 0);
    EXPECT_EQ(ListIndex("AcroRd32.exe"), 1);
    EXPECT_EQ(ListIndex("Windows Photo Viewer"), 2);
}

TEST_F(TactraSetup, AddModifyAndDeleteAnApplication) {
    Start("winxp64");
    ASSERT_NO_FATAL_FAILURE(OpenSetup());
    EXPECT_TRUE(IsWindowVisible(page1_));
    EXPECT_FALSE(IsWindowVisible(page2_));

    SetText(page1_, 1011, "notepad.exe");
    Check(page1_, 1031, true);  // Zoom In: Ctrl
    SetText(page1_, 1033, "Mouse Up");
    Click(page1_, 1009);  // SAVE
    const char* keys[] = {"ZoomIn",  "ZoomOut",   "RotateCL",  "RotateAC",
                          "FlickUp", "FlickDown", "FlickLeft", "FlickRight"};
    for (const char* gesture : keys)
        for (const char* field : {".Case", ".Code", ".Up"}) {
            const std::string key = std::string(gesture) + field;
            std::string expected = "0";
            if (key == "ZoomIn.Case") expected = "2";
            if (key == "ZoomIn.Code") expected = "2048";
            if (key == "ZoomIn.Up") expected = "1";
            EXPECT_EQ(IniValue(ini_, "notepad.exe", key.c_str()), expected) << key;
        }
    char keysBuffer[2048] = {};
    const DWORD length =
        GetPrivateProfileSectionA("notepad.exe", keysBuffer, sizeof keysBuffer, ini_.c_str());
    int count = 0;
    for (DWORD i = 0; i < length; i += static_cast<DWORD>(strlen(keysBuffer + i)) + 1) ++count;
    EXPECT_EQ(count, 24);

    // "MODIFY" lists it at once; change Zoom In to Alt and save.
    const int index = ListIndex("notepad.exe");
    ASSERT_GE(index, 0);
    Select(index);
    EXPECT_EQ(SendMessageA(GetDlgItem(page2_, 1031), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(WindowText(GetDlgItem(page2_, 1033)), "Mouse Up");
    Check(page2_, 1031, false);
    Check(page2_, 1032, true);
    Click(page2_, 1009);
    EXPECT_EQ(IniValue(ini_, "notepad.exe", "ZoomIn.Case"), "3");
    EXPECT_EQ(IniValue(ini_, "notepad.exe", "ZoomIn.Code"), "2048");

    // Typed over with another name, the field no longer shows notepad.exe: "SAVE"
    // and "DELETE" leave it alone and create nothing under the typed name.
    SetText(page2_, 1046, "other.exe");
    Check(page2_, 1032, false);
    Click(page2_, 1009);
    Click(page2_, 1048);
    EXPECT_EQ(IniValue(ini_, "notepad.exe", "ZoomIn.Case"), "3");
    EXPECT_EQ(IniValue(ini_, "other.exe", "ZoomIn.Case"), "<absent>");
    EXPECT_GE(ListIndex("notepad.exe"), 0);

    Select(index);
    Click(page2_, 1048);  // DELETE
    EXPECT_EQ(IniValue(ini_, "notepad.exe", "ZoomIn.Case"), "<absent>");
    EXPECT_EQ(ListIndex("notepad.exe"), -1);
    // Nothing selected any more: another "DELETE" removes nothing.
    const std::string before = ReadFileText(ini_);
    Click(page2_, 1048);
    EXPECT_EQ(ReadFileText(ini_), before);
}

TEST_F(TactraSetup, RefusedSavesTellWhyAndWriteNothing) {
    Start("winxp64");
    ASSERT_NO_FATAL_FAILURE(OpenSetup());
    const std::string before = ReadFileText(ini_);
    // The chosen name field empty, while the key words field holds text.
    SetText(page1_, 1013, "Photo");
    SaveExpectingBox(page1_, "Please input file name or key words!");
    EXPECT_EQ(ReadFileText(ini_), before);

    // Names that would break the file's section lines.
    for (const char* name : {"evil]\r\n[iexplore.exe", "tab\there.exe"}) {
        SetText(page1_, 1011, name);
        SaveExpectingBox(page1_, "control characters");
        EXPECT_EQ(ReadFileText(ini_), before) << name;
    }

    // A key text that names no key: the box names the gesture.
    SetText(page1_, 1011, "notepad.exe");
    SetText(page1_, 1017, "PgUp");
    SaveExpectingBox(page1_, "Up(Page change or Scroll):");
    EXPECT_EQ(ReadFileText(ini_), before);

    // A profile file that cannot be written: the save says so.
    SetText(page1_, 1017, "Page Up");
    ASSERT_TRUE(DeleteFileA(ini_.c_str()));
    ASSERT_TRUE(CreateDirectoryA(ini_.c_str(), nullptr));
    SaveExpectingBox(page1_, "could not be written");
    RemoveDirectoryA(ini_.c_str());
}

TEST_F(TactraSetup, TabsSwitchOnClicksAndApplyAndOkReloadTheMainDialog) {
    Start("winxp64");
    ASSERT_NO_FATAL_FAILURE(OpenSetup());
    HWND tab = GetDlgItem(setup_, 1008);
    // Click along the tab row until "MODIFY" is hit.
    int x = 0;
    for (x = 4; x < 300 && SendMessageA(tab, TCM_GETCURSEL, 0, 0) != 1; x += 4) ClickAt(tab, x);
    ASSERT_EQ(SendMessageA(tab, TCM_GETCURSEL, 0, 0), 1);
    EXPECT_FALSE(IsWindowVisible(page1_));
    EXPECT_TRUE(IsWindowVisible(page2_));
    ClickAt(tab, x - 4);  // "MODIFY" again changes nothing
    EXPECT_TRUE(IsWindowVisible(page2_));
    ClickAt(tab, 4);
    EXPECT_TRUE(IsWindowVisible(page1_));
    EXPECT_FALSE(IsWindowVisible(page2_));

    // The main dialog's reload writes the default file when none exists: that is
    // how the test sees "WM_APPLY" arrive.
    ASSERT_TRUE(DeleteFileA(ini_.c_str()));
    Click(setup_, 1009);  // Apply
    EXPECT_FALSE(ReadFileText(ini_).empty());
    EXPECT_TRUE(IsWindow(setup_)) << "Apply leaves the dialog open";
    ASSERT_TRUE(DeleteFileA(ini_.c_str()));
    Click(setup_, 1010);  // OK
    EXPECT_FALSE(ReadFileText(ini_).empty());
    for (int i = 0; i < 100 && IsWindow(setup_); ++i) Pump(30);
    EXPECT_FALSE(IsWindow(setup_));

    ASSERT_NO_FATAL_FAILURE(OpenSetup());
    ASSERT_TRUE(DeleteFileA(ini_.c_str()));
    Click(setup_, IDCANCEL);
    for (int i = 0; i < 100 && IsWindow(setup_); ++i) Pump(30);
    EXPECT_FALSE(IsWindow(setup_));
    EXPECT_EQ(GetFileAttributesA(ini_.c_str()), INVALID_FILE_ATTRIBUTES) << "CANCEL sends nothing";
}

}  // namespace
}  // namespace testing
}  // namespace tactra
