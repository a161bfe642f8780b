// The rules of Tactra's shell and configuration dialogs that need no window: mouse
// mode, the operating-system check, where the main dialog is shown, the tray
// callback, the tab sheet's page bookkeeping and the pages' name and selection rules.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/resource.h"
#include "gesture/engine.h"
#include "gesture/gesture_action.h"

namespace tactra {

constexpr const char kTabletServiceName[] = "WISPTIS.EXE";
constexpr const char kMainDialogTitle[] = "Qumix Touch Configure";
constexpr const char kCalibrateProgram[] = "Calibrate.exe";
constexpr const char kTestProgram[] = "Test.exe";
// The title of the message that a program could not be started.
constexpr const char kLaunchFailedTitle[] = "Tactra";
constexpr const char kHintNewerWindows[] = "For Windows 7 and Vista, Calibration is not necessary!";
constexpr const char kHintTabletPc[] = "For Tablet Version, Calibration is not necessary!";
constexpr const char kNoNameMessage[] = "Please input file name or key words!";

constexpr uint32_t kStartTimerId = 1;
constexpr uint32_t kStartTimerPeriodMs = 100;
constexpr uint32_t kRetryTimerPeriodMs = 500;

constexpr uint32_t kTrayIconId = 128;
constexpr uint32_t kTrayCallbackMessage = 0x401;  // WM_USER + 1
constexpr uint32_t kShowMessage = 0x402;          // WM_USER + 2
constexpr uint32_t kOpenCommand = IDM_OPEN;
constexpr uint32_t kAboutCommand = IDM_ABOUTBOX;
constexpr uint32_t kTouchEnabledCommand = IDM_TOUCH_ENABLED;
constexpr const char kTouchEnabledItem[] = "Touch enabled";
constexpr uint32_t kTouchSettingsCommand = IDM_TOUCH_SETTINGS;
constexpr const char kTouchSettingsItem[] = "Touch settings";
// The tray icon's tips: as ever while touch is on, and while it is off.
constexpr const char kTrayTip[] = "Qumix Touch";
constexpr const char kTrayTipTouchOff[] = "Touch off";
// The global hot key that turns touch off and on (Ctrl+Alt+F12), by its id.
constexpr int kTouchHotKeyId = 1;

int32_t MouseModeForTabletService(bool serviceFileExists);

struct OsCheckResult {
    int32_t mouseMode;
    bool calibrationEnabled;
    const char* hint;  // the calibration hint to show; null keeps the resource's text
};
// Calibration is only needed on major version 5 without Tablet PC support.
OsCheckResult CheckOperatingSystem(int32_t mouseMode, uint32_t majorVersion, bool tabletPc);

struct WindowOrigin {
    int32_t x;
    int32_t y;
};
// Centred on the screen and clamped to it: a dialog larger than the screen goes to
// the top left corner instead of off the screen.
WindowOrigin CentredOrigin(int32_t screenWidth, int32_t screenHeight, int32_t width,
                           int32_t height);

enum class TrayAction { kNone, kShow, kMenu };
TrayAction TrayCallbackAction(uint32_t mouseMessage);

// Page bookkeeping of the tab sheet: up to 16 pages, one of them current.
class TabPages {
public:
    static constexpr int kMaxPages = 16;
    struct Page {
        const char* title = nullptr;
        void* page = nullptr;
        uint32_t templateId = 0;
    };

    // False (and nothing stored) when all 16 slots are taken.
    bool AppendPage(const char* title, void* page, uint32_t templateId);
    int Count() const { return count_; }
    int Current() const { return current_; }
    const Page& At(int index) const { return pages_[index]; }
    // A click left `focused` as the tab with the focus: true when the visible page
    // changes (then Current() is the new page and `previous` the one to hide).
    bool FocusChanged(int focused, int& previous);

private:
    Page pages_[kMaxPages];
    int count_ = 0;
    int current_ = 0;
};

// The new-application page's name fields.
struct AppNameInput {
    bool fileNameChosen = true;  // else the key words choice
    std::string fileName;
    std::string keyWords;
};
// The section name to save under; empty when the chosen field is empty or holds
// only blanks (then the page shows kNoNameMessage and writes nothing).
std::string SectionNameToSave(const AppNameInput& input);

// A section name that "Tactra.ini" can hold: a bracket would end or open the
// section line, a control character (a line break above all) would split it.
constexpr const char kBadNameMessage[] =
    "The file name or key words must not contain \"[\", \"]\" or control characters.";
bool IsStorableSectionName(const std::string& name);

constexpr const char kWriteFailedMessage[] =
    "The profile could not be written to \"Tactra.ini\". Please check that the file can be "
    "changed.";

// The application-list page holds at most this many sections (the first ones of
// the file).
constexpr int kMaxListedSections = 260;
inline bool IsListSelection(int index, int count) { return index >= 0 && index < count; }
// The section that "SAVE" and "DELETE" on the application list act on: the last
// selection, as long as the list's field still shows its name. Once the user has
// typed something else there, the shown name is not the remembered section and
// nothing is the target (-1), so no other application's profile is overwritten or
// deleted.
int ListTarget(int selected, const std::vector<std::string>& sections,
               const std::string& shownText);

// The actions that "DEFAULT" shows on both pages.
AppProfile PageDefaultActions();

// The eight control groups of both pages, in the order of their ids: Shift, Ctrl,
// Alt and key combo box at first + 0..3.
struct GestureControlGroup {
    Gesture gesture;
    int firstId;
};
constexpr GestureControlGroup kGestureControlGroups[kGestureCount] = {
    {kFlickUp, IDC_GROUP_FIRST},       {kFlickDown, IDC_GROUP_FIRST + 4},
    {kFlickLeft, IDC_GROUP_FIRST + 8}, {kFlickRight, IDC_GROUP_FIRST + 12},
    {kZoomIn, IDC_GROUP_FIRST + 16},   {kZoomOut, IDC_GROUP_FIRST + 20},
    {kRotateCL, IDC_GROUP_FIRST + 24}, {kRotateAC, IDC_GROUP_FIRST + 28}};

// The labels of the eight control groups, in the order of kGestureControlGroups.
constexpr const char* kGestureGroupLabels[kGestureCount] = {"Up(Page change or Scroll):",
                                                            "Down(Page change or Scroll):",
                                                            "Left(Page change or Scroll):",
                                                            "Right(Page change or Scroll):",
                                                            "Zoom In:",
                                                            "Zoom Out:",
                                                            "Clockwise Rotation:",
                                                            "Anticlockwise Rotation:"};

// The "Touch settings" window's controls as plain values: what the window shows for
// a device and what "Apply" and "OK" write. A fix's check box has three states: set,
// clear, or as the quirk table says (kFixAsTable).
constexpr int kFixAsTable = 2;
struct TouchSettingsForm {
    int clickMode = 0;  // index of ClickMode
    bool holdRightClick = true;
    std::string holdTime;
    std::string holdRadius;
    std::string doubleTapTime;
    std::string doubleTapArea;
    int smoothing = 0;  // index of Smoothing
    bool touchSound = false;
    bool gestures = true;
    int swapXY = kFixAsTable, invertX = kFixAsTable, invertY = kFixAsTable;
    int idsFromOne = kFixAsTable, liftUnseen = kFixAsTable;
    int contactBit = 0;  // 0: as the table says; 1 + index of ValidBit
};

TouchSettingsForm FormFromSettings(const TouchSettings& s);
// False, with `error` naming the field and its range, when a number is not one the
// setting takes; `out` is then unchanged.
bool SettingsFromForm(const TouchSettingsForm& f, TouchSettings& out, std::string& error);

}  // namespace tactra
