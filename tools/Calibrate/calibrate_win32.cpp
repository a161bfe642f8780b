// Calibrate.exe: the calibration program behind Tactra's "Calibration" button. A
// full-screen window shows five targets one after the other; the touches on them
// go to tpinput.dll's calibration capture, which averages the touch device's raw
// positions and writes "Calibrate.ini". A check screen then shows where touches land
// with the new calibration, and only "Accept" replaces the previous file. The device
// is the one the library opens: the panel, or without one a touch screen of any
// maker, whose positions reach the capture in the panel's range.
//
// With several touch devices it pairs them with the monitors first: each monitor in
// turn says "Touch this screen", and the device whose touch answers is paired with it
// (Escape, or no touch for a while: no touch device on that monitor). Each paired
// device is then calibrated on its own monitor, five targets and the check each, and
// "Accept" stores its calibration and `Monitor=` in its own section of the file.
//
// With one device and several monitors it first asks on every one of them "Touch the
// screen you want to use". A touch does not tell which monitor the panel or touch screen lies
// on, so the screens are asked in turn: the one asked now says so, Enter or a few
// seconds without a touch move on to the next, and a touch takes the one asked. A
// mouse click on a screen takes that screen at once. The targets and the check then
// run on that monitor only, and "Accept" stores its name as `Monitor=`. With a
// single monitor there is nothing to choose: the targets come at once and
// `Monitor=` is left as it is.
//
// Nothing is lost: the library writes the new file into a private folder first
// (the current directory while it finishes the capture), where its points are
// checked and the check screen maps through it; "Accept" finishes the capture
// again in the real folder. Cancelling (Escape, or no touch for 30 s), "Retry"
// and rejecting the result leave the previous "Calibrate.ini" as it was.
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "device/hid/hid.h"
#include "device/hid/hid_win32.h"
#include "device/mapping/calibration.h"
#include "device/mapping/device_sections.h"
#include "device/mapping/calibrator.h"
#include "device/mapping/monitor.h"
#include "platform/saturate.h"
#include "platform/win32/win32_display.h"
#include "profiles/ini.h"
#include "tools/common/client_win32.h"
#include "tpinput/tpinput.h"

namespace tactra {
namespace {

constexpr char kWindowClass[] = "TactraCalibrate";
constexpr char kProgramTitle[] = "Calibration";
constexpr UINT kFinishMessage = WM_APP + 1;
constexpr UINT kChosenMessage = WM_APP + 2;  // wParam: the index of the screen chosen
constexpr UINT_PTR kTimeoutTimer = 1;
constexpr UINT kTimeoutCheckMs = 500;
constexpr int kInstructionId = 100;
constexpr int kMessageId = 101;
constexpr int kAcceptId = 102;
constexpr int kRetryId = 103;
constexpr int kCrossArm = 30;     // pixels from the centre of a target to the end of its arms
constexpr int kRingRadius = 12;   // pixels
constexpr int kDotRadius = 5;     // pixels
constexpr size_t kMaxDots = 400;  // the oldest dots of the check screen go first
constexpr int kTextHeight = 20;   // pixels
constexpr int kInstructionLines = 3;
constexpr int kMessageLines = 2;
constexpr COLORREF kBackground = RGB(255, 255, 255);
constexpr COLORREF kTargetColour = RGB(200, 0, 0);
constexpr COLORREF kCheckTargetColour = RGB(170, 170, 170);
constexpr COLORREF kDotColour = RGB(0, 70, 220);
constexpr COLORREF kMessageColour = RGB(200, 0, 0);
constexpr char kNotStoredForCheck[] =
    "The calibration could not be stored for its check. Please touch each target again.";
constexpr char kChoiceClass[] = "TactraCalibrateMonitor";
constexpr char kChoiceQuestion[] = "Touch the screen you want to use";
constexpr UINT_PTR kChoiceTimer = 2;
constexpr UINT kChoiceTurnMs = 4000;  // how long each screen is asked before the next
constexpr COLORREF kAskedColour = RGB(200, 0, 0);
constexpr COLORREF kWaitingColour = RGB(160, 160, 160);

constexpr char kPairingQuestion[] = "Touch this screen";
constexpr UINT kPairingTurnMs = 10000;  // how long a monitor waits for its device

enum class Stage { kChoice, kPairing, kTargets, kCheck };

// A touch device paired with a monitor: its place in the library's device list (what
// SetCalibrate numbers from 1) and the monitor's device name.
struct Pairing {
    size_t device = 0;
    std::string monitor;
};

// One full-screen window per monitor while the monitor is chosen.
struct ChoiceScreen {
    MonitorInfo monitor;
    HWND window = nullptr;
};

struct Calibrator {
    HWND window = nullptr;
    HWND instruction = nullptr;
    HWND message = nullptr;
    HWND accept = nullptr;
    HWND retry = nullptr;
    HFONT textFont = nullptr;
    HFONT buttonFont = nullptr;
    HBRUSH background = nullptr;
    TpinputExports library = {};
    UINT touchMessage = 0;
    DisplayState display;
    CalibrationSequence sequence;
    Stage stage = Stage::kTargets;
    int shownTarget = 0;
    std::string homeFolder;  // the current directory at the start: "Calibrate.ini" lies here
    std::string workFolder;  // where the library writes the file that is checked first
    std::vector<ScreenPoint> dots;
    uint32_t checkActivity = 0;
    // The choice of monitor: the screens, the one asked now, the time of the last
    // touch or turn, and the name chosen (empty with a single monitor: unchanged).
    std::vector<ChoiceScreen> screens;
    size_t asked = 0;
    uint32_t choiceActivity = 0;
    std::string monitor;
    bool choiceTouchDown = false;
    // With several touch devices: the devices as the library numbers them, the pairs
    // made, the one being calibrated, and the raw-input handles already told apart.
    std::vector<FoundTouchDevice> devices;
    std::vector<Pairing> pairs;
    size_t pair = 0;
    std::vector<std::pair<void*, size_t>> sources;
};

Calibrator g_calibrator;

std::string CurrentFolder() {
    std::vector<char> buffer(GetCurrentDirectoryA(0, nullptr) + 1);
    const DWORD got = GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
    return got > 0 && got < buffer.size() ? std::string(buffer.data(), got) : std::string(".");
}

std::string FileIn(const std::string& folder, const char* name) {
    return folder + (folder.empty() || folder.back() == '\\' ? "" : "\\") + name;
}

// "Calibrate.ini" in the private folder.
std::string WorkFile() { return FileIn(g_calibrator.workFolder, kCalibrationFileName); }

bool Several() { return g_calibrator.devices.size() >= 2; }

// The section of the file the device being calibrated keeps its calibration in.
std::string Section() {
    if (!Several()) return kCalibrationSection;
    const size_t device = g_calibrator.pairs[g_calibrator.pair].device;
    return CalibrationSectionFor(CIni(FileIn(g_calibrator.homeFolder, kCalibrationFileName)),
                                 g_calibrator.devices[device].identity, device == 0);
}

// Which of the library's devices a record comes from, by its hSource (the device's
// raw-input handle); the number of devices when none.
size_t DeviceOf(void* source) {
    for (const auto& known : g_calibrator.sources) {
        if (known.first == source) return known.second;
    }
    const std::string name = RawInputDeviceName(source);
    size_t device = g_calibrator.devices.size();
    for (size_t i = 0; i < g_calibrator.devices.size() && device == g_calibrator.devices.size();
         ++i) {
        if (SameDevicePath(name, g_calibrator.devices[i].path)) device = i;
    }
    if (g_calibrator.sources.size() < 64) g_calibrator.sources.emplace_back(source, device);
    return device;
}

void SetTitle(const char* stage) {
    SetWindowTextA(g_calibrator.window, (std::string(kProgramTitle) + ": " + stage).c_str());
}

// The display mode and orientation, as Tactra reads them: the chosen monitor's
// while it is attached, else the primary display's; the screen's size when the
// mode cannot be read.
void ReadDisplay() {
    Win32Display display;
    InitDisplayState(display, g_calibrator.display);
    ReadDisplayTarget(display, g_calibrator.monitor, g_calibrator.display);
    if (g_calibrator.display.width <= 0 || g_calibrator.display.height <= 0) {
        g_calibrator.display.width = GetSystemMetrics(SM_CXSCREEN);
        g_calibrator.display.height = GetSystemMetrics(SM_CYSCREEN);
        g_calibrator.display.orientation = 0;
        g_calibrator.display.onMonitor = false;
    }
}

// The top left corner of the screen the targets are on, on the desktop.
POINT ScreenOrigin() {
    POINT p = {0, 0};
    if (g_calibrator.display.onMonitor)
        p = {g_calibrator.display.monitorLeft, g_calibrator.display.monitorTop};
    return p;
}

// Where a record of the check screen lies in the window: the library gives desktop
// positions, the screen's own turn applies to the position on the monitor.
ScreenPoint WindowPoint(const TouchInputRecord& r) {
    const POINT origin = ScreenOrigin();
    return RecordToScreen(g_calibrator.display,
                          SaturateInt32(int64_t{r.x} - int64_t{origin.x} * 100),
                          SaturateInt32(int64_t{r.y} - int64_t{origin.y} * 100));
}

void PlaceWindows() {
    const int w = g_calibrator.display.width;
    const int h = g_calibrator.display.height;
    const POINT origin = ScreenOrigin();
    MoveWindow(g_calibrator.window, origin.x, origin.y, w, h, TRUE);
    const int lineHeight = kTextHeight + 6;
    // Between the top targets and the centre one.
    const int top = h / 4 - lineHeight;
    MoveWindow(g_calibrator.instruction, w / 8, top, w * 3 / 4, lineHeight * kInstructionLines,
               TRUE);
    MoveWindow(g_calibrator.message, w / 8, top + lineHeight * kInstructionLines, w * 3 / 4,
               lineHeight * kMessageLines, TRUE);
    const CheckScreenLayout layout = LayOutCheckScreen(w, h);
    MoveWindow(g_calibrator.accept, layout.accept.left, layout.accept.top,
               layout.accept.right - layout.accept.left, layout.accept.bottom - layout.accept.top,
               TRUE);
    MoveWindow(g_calibrator.retry, layout.retry.left, layout.retry.top,
               layout.retry.right - layout.retry.left, layout.retry.bottom - layout.retry.top,
               TRUE);
}

void ShowTarget() {
    const int target = g_calibrator.sequence.Target();
    if (target == g_calibrator.shownTarget || g_calibrator.sequence.Finished()) return;
    g_calibrator.shownTarget = target;
    char text[200];
    std::snprintf(text, sizeof text,
                  "Target %d of %d: touch the centre of the cross, then lift. Escape cancels.",
                  target, kCalibrationTargetCount);
    SetWindowTextA(g_calibrator.instruction, text);
    std::snprintf(text, sizeof text, "target %d of %d", target, kCalibrationTargetCount);
    SetTitle(text);
    InvalidateRect(g_calibrator.window, nullptr, TRUE);
}

// The targets from the first, with `message` telling why when they start again.
void StartTargets(const char* message) {
    g_calibrator.stage = Stage::kTargets;
    g_calibrator.sequence.Start(GetTickCount());
    g_calibrator.shownTarget = 0;
    SetWindowTextA(g_calibrator.message, message);
    ShowWindow(g_calibrator.accept, SW_HIDE);
    ShowWindow(g_calibrator.retry, SW_HIDE);
    ShowTarget();
}

// The targets on the chosen monitor (the primary display without one).
void StartTargetsOnMonitor() {
    ReadDisplay();
    PlaceWindows();
    StartTargets("");
    ShowWindow(g_calibrator.window, SW_SHOW);
    SetForegroundWindow(g_calibrator.window);
    SetFocus(g_calibrator.window);
}

void ShowCheck() {
    g_calibrator.stage = Stage::kCheck;
    g_calibrator.dots.clear();
    g_calibrator.checkActivity = GetTickCount();
    SetWindowTextA(g_calibrator.instruction,
                   "Touch the screen: a dot shows where each touch lands with the new "
                   "calibration. \"Accept\" keeps it, \"Retry\" calibrates again, Escape keeps "
                   "the previous calibration.");
    SetWindowTextA(g_calibrator.message, "");
    ShowWindow(g_calibrator.accept, SW_SHOW);
    ShowWindow(g_calibrator.retry, SW_SHOW);
    SetTitle("check");
    InvalidateRect(g_calibrator.window, nullptr, TRUE);
}

void End() { DestroyWindow(g_calibrator.window); }

// The library's capture on for the device being calibrated: the first device, or with
// several the paired one (SetCalibrate numbers them from 1).
void StartCaptureOfPair() {
    g_calibrator.library.setCalibrate(
        Several() ? static_cast<int>(g_calibrator.pairs[g_calibrator.pair].device) + 1 : 1);
}

// Leaves the private folder and removes the file the library wrote there.
void DropWorkFile() {
    SetCurrentDirectoryA(g_calibrator.homeFolder.c_str());
    DeleteFileA(WorkFile().c_str());
}

// The fifth touch has ended: the library finishes the capture into the private
// folder, whose file is checked before anything else happens.
void Finish() {
    if (!SetCurrentDirectoryA(g_calibrator.workFolder.c_str())) {
        StartTargets(kNotStoredForCheck);
        return;
    }
    g_calibrator.library.setCalibrate(0);
    const std::string section = Section();
    // The check maps onto the chosen monitor, as the accepted file will.
    if (!g_calibrator.monitor.empty())
        WriteMonitorName(CIni(WorkFile()), g_calibrator.monitor, section.c_str());
    CalibrationPoint points[kCalibrationTargetCount];
    CalibrationLimits limits;
    const bool read = ReadCalibrationFile(CIni(WorkFile()), points, limits, section.c_str());
    const CalibrationCheck check = read ? CheckCalibrationPoints(points) : CalibrationCheck::kOk;
    if (!read || check != CalibrationCheck::kOk) {
        DropWorkFile();
        StartCaptureOfPair();
        StartTargets(read ? CalibrationCheckMessage(check) : kNotStoredForCheck);
        return;
    }
    // The check screen maps touches through the new file: the current directory
    // stays the private folder until the user decides.
    ShowCheck();
}

void Accept() {
    const std::string section = Section();
    CalibrationPoint checked[kCalibrationTargetCount];
    CalibrationLimits checkedLimits;
    const bool haveChecked =
        ReadCalibrationFile(CIni(WorkFile()), checked, checkedLimits, section.c_str());
    DropWorkFile();
    // The library still holds the points: finishing again writes them here.
    g_calibrator.library.setCalibrate(0);
    CalibrationPoint written[kCalibrationTargetCount];
    CalibrationLimits writtenLimits;
    const std::string home = FileIn(g_calibrator.homeFolder, kCalibrationFileName);
    if (!g_calibrator.monitor.empty())
        WriteMonitorName(CIni(home), g_calibrator.monitor, section.c_str());
    if (!haveChecked || !ReadCalibrationFile(CIni(home), written, writtenLimits, section.c_str()) ||
        !SameCalibration(checked, checkedLimits, written, writtenLimits)) {
        MessageBoxA(g_calibrator.window,
                    ("The new calibration could not be written to " + home + ".").c_str(),
                    kProgramTitle, MB_OK | MB_ICONERROR);
    }
    // The next paired device, on its own monitor.
    if (Several() && g_calibrator.pair + 1 < g_calibrator.pairs.size()) {
        ++g_calibrator.pair;
        g_calibrator.monitor = g_calibrator.pairs[g_calibrator.pair].monitor;
        StartCaptureOfPair();
        StartTargetsOnMonitor();
        return;
    }
    End();
}

void Retry() {
    DropWorkFile();
    StartCaptureOfPair();
    StartTargets("");
}

void Cancel() {
    if (g_calibrator.stage == Stage::kCheck) DropWorkFile();
    for (ChoiceScreen& screen : g_calibrator.screens) {
        if (screen.window != nullptr) DestroyWindow(screen.window);
        screen.window = nullptr;
    }
    End();
}

void CloseChoiceScreens() {
    for (ChoiceScreen& screen : g_calibrator.screens) {
        if (screen.window != nullptr) DestroyWindow(screen.window);
        screen.window = nullptr;
    }
    g_calibrator.screens.clear();
    KillTimer(g_calibrator.window, kChoiceTimer);
}

// The next screen is asked.
void AskNext() {
    if (g_calibrator.screens.empty()) return;
    g_calibrator.asked = (g_calibrator.asked + 1) % g_calibrator.screens.size();
    g_calibrator.choiceActivity = GetTickCount();
    for (const ChoiceScreen& screen : g_calibrator.screens)
        InvalidateRect(screen.window, nullptr, TRUE);
}

void StartTargetsOnMonitor();

void Choose(size_t index) {
    if (g_calibrator.stage != Stage::kChoice || index >= g_calibrator.screens.size()) return;
    g_calibrator.monitor = g_calibrator.screens[index].monitor.name;
    // The targets come to the front before the question goes, so that closing the
    // window in front does not leave the choice of the next one to the system.
    StartTargetsOnMonitor();
    CloseChoiceScreens();
}

// The pairing is over: the paired devices are calibrated one after the other; without
// any pair there is nothing to calibrate.
void EndPairing() {
    if (g_calibrator.pairs.empty()) {
        CloseChoiceScreens();
        MessageBoxA(g_calibrator.window, "No touch device answered on any screen.", kProgramTitle,
                    MB_OK | MB_ICONINFORMATION);
        End();
        return;
    }
    g_calibrator.pair = 0;
    g_calibrator.monitor = g_calibrator.pairs[0].monitor;
    StartCaptureOfPair();
    StartTargetsOnMonitor();
    CloseChoiceScreens();
}

// The next monitor asks, or the pairing ends once every monitor has asked or every
// device is paired.
void PairNext() {
    if (g_calibrator.stage != Stage::kPairing) return;
    size_t usable = 0;
    for (const FoundTouchDevice& d : g_calibrator.devices) usable += d.ambiguous ? 0 : 1;
    if (g_calibrator.asked + 1 >= g_calibrator.screens.size() ||
        g_calibrator.pairs.size() >= usable) {
        EndPairing();
        return;
    }
    AskNext();
}

// A touch while a monitor asks: the first device to touch it that has no monitor yet
// is paired with it. A device that cannot be told apart is never paired.
void PairTouch(const TouchInputRecord& first) {
    if (!(first.dwFlags & kTpinputEventDown)) return;
    const size_t device = DeviceOf(first.hSource);
    if (device >= g_calibrator.devices.size() || g_calibrator.devices[device].ambiguous) return;
    for (const Pairing& p : g_calibrator.pairs) {
        if (p.device == device) return;
    }
    Pairing pairing;
    pairing.device = device;
    pairing.monitor = g_calibrator.screens[g_calibrator.asked].monitor.name;
    g_calibrator.pairs.push_back(pairing);
    PairNext();
}

LRESULT CALLBACK ChoiceProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    size_t index = 0;
    while (index < g_calibrator.screens.size() && g_calibrator.screens[index].window != hwnd)
        ++index;
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            RECT r;
            GetClientRect(hwnd, &r);
            const bool asked = index == g_calibrator.asked;
            HGDIOBJ oldFont = SelectObject(dc, g_calibrator.buttonFont);
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, asked ? kAskedColour : kWaitingColour);
            RECT text = r;
            text.top = r.bottom / 2 - 3 * kTextHeight;
            const bool pairing = g_calibrator.stage == Stage::kPairing;
            DrawTextA(dc, pairing ? kPairingQuestion : kChoiceQuestion, -1, &text,
                      DT_CENTER | DT_SINGLELINE);
            if (index < g_calibrator.screens.size()) {
                const std::string line =
                    pairing ? (asked ? "Touch this screen to calibrate the touch device on it. "
                                       "Escape: this screen has no touch device."
                                     : "Wait until this screen asks.")
                    : asked ? "This one? Touch it now. Enter asks the next screen; a mouse "
                              "click takes a screen at once. Escape cancels."
                            : "Wait until this screen asks, or click it with the mouse.";
                text.top += 3 * kTextHeight;
                SelectObject(dc, g_calibrator.textFont);
                DrawTextA(dc, line.c_str(), -1, &text, DT_CENTER | DT_SINGLELINE);
                text.top += 2 * kTextHeight;
                const std::string& name = g_calibrator.screens[index].monitor.name;
                DrawTextA(dc, name.c_str(), -1, &text, DT_CENTER | DT_SINGLELINE | DT_NOPREFIX);
            }
            SelectObject(dc, oldFont);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_LBUTTONDOWN:
            if (g_calibrator.stage == Stage::kChoice)
                PostMessageA(g_calibrator.window, kChosenMessage, index, 0);
            return 0;
        case WM_CLOSE:
            Cancel();
            return 0;
        default:
            return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

// A window class of the program's: arrow cursor, the background brush.
void RegisterWindowClass(HINSTANCE instance, WNDPROC proc, const char* name) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = g_calibrator.background;
    wc.lpszClassName = name;
    RegisterClassA(&wc);
}

// One window per monitor, each with the question; false with fewer than two
// monitors, when there is nothing to ask. The pairing asks even a single monitor
// (the primary display's when the system lists none).
bool StartChoice(HINSTANCE instance, Stage stage = Stage::kChoice) {
    Win32Display display;
    DesktopLayout layout;
    const bool listed = display.ReadDesktop(layout);
    if (stage == Stage::kChoice && (!listed || layout.monitors.size() < 2)) return false;
    if (!listed || layout.monitors.empty()) {
        MonitorInfo primary;
        primary.primary = true;
        primary.rect.width = static_cast<uint32_t>(GetSystemMetrics(SM_CXSCREEN));
        primary.rect.height = static_cast<uint32_t>(GetSystemMetrics(SM_CYSCREEN));
        layout.monitors.assign(1, primary);
    }
    RegisterWindowClass(instance, ChoiceProc, kChoiceClass);
    g_calibrator.stage = stage;
    g_calibrator.asked = 0;
    for (const MonitorInfo& monitor : layout.monitors) {
        ChoiceScreen screen;
        screen.monitor = monitor;
        g_calibrator.screens.push_back(screen);
    }
    // The primary monitor is asked first.
    for (size_t i = 0; i < g_calibrator.screens.size(); ++i) {
        if (g_calibrator.screens[i].monitor.primary)
            std::swap(g_calibrator.screens[0], g_calibrator.screens[i]);
    }
    for (ChoiceScreen& screen : g_calibrator.screens) {
        const DesktopRect& r = screen.monitor.rect;
        screen.window =
            CreateWindowExA(WS_EX_TOPMOST, kChoiceClass, kProgramTitle, WS_POPUP, r.left, r.top,
                            static_cast<int>(r.width), static_cast<int>(r.height), nullptr, nullptr,
                            instance, nullptr);
        if (screen.window != nullptr) ShowWindow(screen.window, SW_SHOW);
    }
    SetTitle(stage == Stage::kPairing ? "pair the touch devices" : "choose the screen");
    g_calibrator.choiceActivity = GetTickCount();
    g_calibrator.choiceTouchDown = false;
    SetTimer(g_calibrator.window, kChoiceTimer,
             stage == Stage::kPairing ? kPairingTurnMs : kChoiceTurnMs, nullptr);
    if (g_calibrator.screens[0].window != nullptr) {
        SetForegroundWindow(g_calibrator.screens[0].window);
        SetFocus(g_calibrator.screens[0].window);
    }
    return true;
}

void OnTouch(WPARAM count, LPARAM lParam) {
    const TouchInputRecord* records = reinterpret_cast<const TouchInputRecord*>(lParam);
    if (records == nullptr || count == 0) return;
    const TouchInputRecord& first = records[0];
    const uint32_t now = GetTickCount();
    if (g_calibrator.stage == Stage::kPairing) {
        PairTouch(first);
        return;
    }
    // With several devices only the one being calibrated counts.
    if (Several() && g_calibrator.stage != Stage::kChoice &&
        DeviceOf(first.hSource) != g_calibrator.pairs[g_calibrator.pair].device)
        return;
    if (g_calibrator.stage == Stage::kChoice) {
        if (first.dwFlags & (kTpinputEventDown | kTpinputEventMove)) {
            g_calibrator.choiceActivity = now;
            if (!g_calibrator.choiceTouchDown && (first.dwFlags & kTpinputEventDown)) {
                g_calibrator.choiceTouchDown = true;
                PostMessageA(g_calibrator.window, kChosenMessage, g_calibrator.asked, 0);
            }
        }
        return;
    }
    if (g_calibrator.stage == Stage::kTargets) {
        // From the handler, so that the library takes the sample of this report.
        const CalibrateCall call = g_calibrator.sequence.OnTouch(first.dwFlags, now);
        if (call.type != 0) g_calibrator.library.calibrateEvent(call.type, call.point);
        if (g_calibrator.sequence.Finished()) {
            PostMessageA(g_calibrator.window, kFinishMessage, 0, 0);
        } else {
            ShowTarget();
        }
        return;
    }
    const ScreenPoint p = WindowPoint(first);
    if (first.dwFlags & (kTpinputEventDown | kTpinputEventMove)) {
        g_calibrator.checkActivity = now;
        if (g_calibrator.dots.size() >= kMaxDots)
            g_calibrator.dots.erase(g_calibrator.dots.begin());
        g_calibrator.dots.push_back(p);
        RECT r = {p.x - kDotRadius, p.y - kDotRadius, p.x + kDotRadius + 1, p.y + kDotRadius + 1};
        InvalidateRect(g_calibrator.window, &r, FALSE);
    } else if ((first.dwFlags & kTpinputEventUp) && (first.dwFlags & kTpinputEventInRange)) {
        // The library does not move the mouse: a lift on a button presses it.
        g_calibrator.checkActivity = now;
        const CheckScreenLayout layout =
            LayOutCheckScreen(g_calibrator.display.width, g_calibrator.display.height);
        if (layout.accept.Contains(p)) {
            PostMessageA(g_calibrator.window, WM_COMMAND, MAKEWPARAM(kAcceptId, BN_CLICKED), 0);
        } else if (layout.retry.Contains(p)) {
            PostMessageA(g_calibrator.window, WM_COMMAND, MAKEWPARAM(kRetryId, BN_CLICKED), 0);
        }
    }
}

void DrawCross(HDC dc, ScreenPoint p, COLORREF colour) {
    HPEN pen = CreatePen(PS_SOLID, 2, colour);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    MoveToEx(dc, p.x - kCrossArm, p.y, nullptr);
    LineTo(dc, p.x + kCrossArm + 1, p.y);
    MoveToEx(dc, p.x, p.y - kCrossArm, nullptr);
    LineTo(dc, p.x, p.y + kCrossArm + 1);
    Ellipse(dc, p.x - kRingRadius, p.y - kRingRadius, p.x + kRingRadius + 1, p.y + kRingRadius + 1);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
}

void Paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(g_calibrator.window, &ps);
    if (g_calibrator.stage == Stage::kTargets) {
        if (!g_calibrator.sequence.Finished()) {
            DrawCross(
                dc, CalibrationTargetPosition(g_calibrator.display, g_calibrator.sequence.Target()),
                kTargetColour);
        }
    } else {
        for (int k = 1; k <= kCalibrationTargetCount; ++k) {
            DrawCross(dc, CalibrationTargetPosition(g_calibrator.display, k), kCheckTargetColour);
        }
        HBRUSH brush = CreateSolidBrush(kDotColour);
        HGDIOBJ oldBrush = SelectObject(dc, brush);
        HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
        for (const ScreenPoint& p : g_calibrator.dots) {
            Ellipse(dc, p.x - kDotRadius, p.y - kDotRadius, p.x + kDotRadius + 1,
                    p.y + kDotRadius + 1);
        }
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBrush);
        DeleteObject(brush);
    }
    EndPaint(g_calibrator.window, &ps);
}

void OnTimer() {
    // The choice has no time-out of its own: it asks each screen in turn until one
    // is taken or the user cancels.
    if (g_calibrator.stage == Stage::kChoice || g_calibrator.stage == Stage::kPairing) return;
    const uint32_t now = GetTickCount();
    const bool idle = g_calibrator.stage == Stage::kTargets
                          ? g_calibrator.sequence.TimedOut(now)
                          : now - g_calibrator.checkActivity >= kCalibrationTimeoutMs;
    if (idle) Cancel();
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (g_calibrator.touchMessage != 0 && message == g_calibrator.touchMessage) {
        OnTouch(wParam, lParam);
        return 0;
    }
    switch (message) {
        case kFinishMessage:
            if (g_calibrator.stage == Stage::kTargets && g_calibrator.sequence.Finished()) Finish();
            return 0;
        case kChosenMessage:
            Choose(static_cast<size_t>(wParam));
            return 0;
        case WM_COMMAND:
            if (g_calibrator.stage == Stage::kCheck && LOWORD(wParam) == kAcceptId) Accept();
            if (g_calibrator.stage == Stage::kCheck && LOWORD(wParam) == kRetryId) Retry();
            SetFocus(hwnd);
            return 0;
        case WM_TIMER:
            if (wParam == kTimeoutTimer) OnTimer();
            if (wParam == kChoiceTimer && g_calibrator.stage == Stage::kChoice &&
                GetTickCount() - g_calibrator.choiceActivity >= kChoiceTurnMs)
                AskNext();
            if (wParam == kChoiceTimer && g_calibrator.stage == Stage::kPairing &&
                GetTickCount() - g_calibrator.choiceActivity >= kPairingTurnMs)
                PairNext();
            return 0;
        case WM_PAINT:
            Paint();
            return 0;
        case WM_CTLCOLORSTATIC: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetBkColor(dc, kBackground);
            SetTextColor(dc, reinterpret_cast<HWND>(lParam) == g_calibrator.message ? kMessageColour
                                                                                    : RGB(0, 0, 0));
            return reinterpret_cast<LRESULT>(g_calibrator.background);
        }
        case WM_DISPLAYCHANGE:
            // The raw positions of the targets stay; only where they are drawn moves.
            ReadDisplay();
            PlaceWindows();
            InvalidateRect(hwnd, nullptr, TRUE);
            return 0;
        case WM_CLOSE:
            Cancel();
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

HWND CreateChild(const char* cls, DWORD style, int id, HFONT font) {
    HWND child = CreateWindowExA(0, cls, "", WS_CHILD | style, 0, 0, 0, 0, g_calibrator.window,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 GetModuleHandleA(nullptr), nullptr);
    SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return child;
}

bool CreateMainWindow(HINSTANCE instance) {
    g_calibrator.background = CreateSolidBrush(kBackground);
    RegisterWindowClass(instance, WindowProc, kWindowClass);
    g_calibrator.window =
        CreateWindowExA(WS_EX_TOPMOST, kWindowClass, kProgramTitle, WS_POPUP | WS_CLIPCHILDREN, 0,
                        0, g_calibrator.display.width, g_calibrator.display.height, nullptr,
                        nullptr, instance, nullptr);
    if (g_calibrator.window == nullptr) return false;
    g_calibrator.textFont = CreateUiFont(kTextHeight, false);
    g_calibrator.buttonFont = CreateUiFont(kTextHeight + 4, true);
    g_calibrator.instruction =
        CreateChild("STATIC", WS_VISIBLE | SS_CENTER, kInstructionId, g_calibrator.textFont);
    g_calibrator.message =
        CreateChild("STATIC", WS_VISIBLE | SS_CENTER, kMessageId, g_calibrator.textFont);
    g_calibrator.accept = CreateChild("BUTTON", BS_PUSHBUTTON, kAcceptId, g_calibrator.buttonFont);
    g_calibrator.retry = CreateChild("BUTTON", BS_PUSHBUTTON, kRetryId, g_calibrator.buttonFont);
    SetWindowTextA(g_calibrator.accept, "Accept");
    SetWindowTextA(g_calibrator.retry, "Retry");
    PlaceWindows();
    return true;
}

// A private folder for the file under check: a name of this process in the
// temporary folder.
bool MakeWorkFolder() {
    char temp[MAX_PATH + 1] = {};
    const DWORD got = GetTempPathA(sizeof temp, temp);
    if (got == 0 || got >= sizeof temp) return false;
    char name[64];
    std::snprintf(name, sizeof name, "Tactra-Calibrate-%lu",
                  static_cast<unsigned long>(GetCurrentProcessId()));
    g_calibrator.workFolder = FileIn(temp, name);
    if (!CreateDirectoryA(g_calibrator.workFolder.c_str(), nullptr) &&
        GetLastError() != ERROR_ALREADY_EXISTS) {
        return false;
    }
    // A file left by an earlier process of the same number is not this one's.
    DeleteFileA(WorkFile().c_str());
    return true;
}

// Capture on, then the window registered for the touch device's touches (no mouse
// emulation: the finger must not click what lies under the targets).
bool StartCapture() {
    if (FindTouchDevice(g_calibrator.library) == TouchDeviceKind::kNone) return false;
    // The devices as the library lists and numbers them.
    PanelOpenOptions options;
    options.overlapped = true;
    options.acceptTouchScreens = true;
    ListTouchDevices(options, std::vector<std::string>(), g_calibrator.devices);
    g_calibrator.library.setCalibrate(1);
    g_calibrator.touchMessage = RegisterWindowMessageA(TPINPUT_TOUCH_MESSAGE);
    return g_calibrator.library.registerTouchWindow(g_calibrator.window, 0) != 0;
}

int Run(HINSTANCE instance) {
    g_calibrator.homeFolder = CurrentFolder();
    HMODULE library = nullptr;
    std::string problem;
    if (!LoadTouchLibrary(library, g_calibrator.library, problem)) {
        MessageBoxA(nullptr, problem.c_str(), kProgramTitle, MB_OK | MB_ICONERROR);
        return 1;
    }
    if (!MakeWorkFolder()) {
        MessageBoxA(nullptr,
                    "Calibration needs a folder of its own in the temporary folder and "
                    "could not create one.",
                    kProgramTitle, MB_OK | MB_ICONERROR);
        FreeLibrary(library);
        return 1;
    }
    ReadDisplay();
    int status = 1;
    if (!CreateMainWindow(instance)) {
        MessageBoxA(nullptr, "The calibration window could not be created.", kProgramTitle,
                    MB_OK | MB_ICONERROR);
    } else if (!StartCapture()) {
        MessageBoxA(nullptr, "No touch device is connected, so there is nothing to calibrate.",
                    kProgramTitle, MB_OK | MB_ICONINFORMATION);
        DestroyWindow(g_calibrator.window);
    } else {
        if (Several()) {
            StartChoice(instance, Stage::kPairing);
        } else if (!StartChoice(instance)) {
            StartTargetsOnMonitor();
        }
        SetTimer(g_calibrator.window, kTimeoutTimer, kTimeoutCheckMs, nullptr);
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
            // Escape and Enter act wherever the focus is, buttons included.
            if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
                // While pairing: no touch device on this monitor.
                if (g_calibrator.stage == Stage::kPairing) {
                    PairNext();
                } else {
                    Cancel();
                }
                continue;
            }
            if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN &&
                g_calibrator.stage == Stage::kChoice) {
                AskNext();
                continue;
            }
            if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN &&
                g_calibrator.stage == Stage::kCheck) {
                Accept();
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        status = 0;
    }
    // Unloading ends the capture unwritten when the user cancelled.
    FreeLibrary(library);
    DeleteFileA(WorkFile().c_str());
    RemoveDirectoryA(g_calibrator.workFolder.c_str());
    if (g_calibrator.textFont) DeleteObject(g_calibrator.textFont);
    if (g_calibrator.buttonFont) DeleteObject(g_calibrator.buttonFont);
    return status;
}

}  // namespace
}  // namespace tactra

// NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name): the system names them
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    const int status = tactra::Run(instance);
    tactra::RestartTactra();
    return status;
}
