// Calibrate.exe: the calibration program behind Tactra's "Calibration" button. A
// full-screen window shows five targets one after the other; the touches on them
// go to tpinput.dll's calibration capture, which averages the panel's raw positions
// and writes "Calibrate.ini". A check screen then shows where touches land with the
// new calibration, and only "Accept" replaces the previous file.
//
// Nothing is lost: the library writes the new file into a private folder first
// (the current directory while it finishes the capture), where its points are
// checked and the check screen maps through it; "Accept" finishes the capture
// again in the real folder. Cancelling (Escape, or no touch for 30 s), "Retry"
// and rejecting the result leave the previous "Calibrate.ini" as it was.
#include <cstdio>
#include <string>
#include <vector>

#include "device/calibrator.h"
#include "platform/win32/win32_display.h"
#include "profiles/ini.h"
#include "tools/common/client_win32.h"
#include "tpinput/tpinput.h"

namespace tactra {
namespace {

constexpr char kWindowClass[] = "TactraCalibrate";
constexpr char kProgramTitle[] = "Calibration";
constexpr UINT kFinishMessage = WM_APP + 1;
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

enum class Stage { kTargets, kCheck };

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
};

Calibrator g;

std::string CurrentFolder() {
    std::vector<char> buffer(GetCurrentDirectoryA(0, nullptr) + 1);
    const DWORD got = GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
    return got > 0 && got < buffer.size() ? std::string(buffer.data(), got) : std::string(".");
}

std::string FileIn(const std::string& folder, const char* name) {
    return folder + (folder.empty() || folder.back() == '\\' ? "" : "\\") + name;
}

void SetTitle(const char* stage) {
    SetWindowTextA(g.window, (std::string(kProgramTitle) + ": " + stage).c_str());
}

// The display mode and orientation, as Tactra reads them; the screen's size when
// the mode cannot be read.
void ReadDisplay() {
    Win32Display display;
    InitDisplayState(display, g.display);
    if (g.display.width <= 0 || g.display.height <= 0) {
        g.display.width = GetSystemMetrics(SM_CXSCREEN);
        g.display.height = GetSystemMetrics(SM_CYSCREEN);
        g.display.orientation = 0;
    }
}

void PlaceWindows() {
    const int w = g.display.width;
    const int h = g.display.height;
    MoveWindow(g.window, 0, 0, w, h, TRUE);
    const int lineHeight = kTextHeight + 6;
    // Between the top targets and the centre one.
    const int top = h / 4 - lineHeight;
    MoveWindow(g.instruction, w / 8, top, w * 3 / 4, lineHeight * kInstructionLines, TRUE);
    MoveWindow(g.message, w / 8, top + lineHeight * kInstructionLines, w * 3 / 4,
               lineHeight * kMessageLines, TRUE);
    const CheckScreenLayout layout = LayOutCheckScreen(w, h);
    MoveWindow(g.accept, layout.accept.left, layout.accept.top,
               layout.accept.right - layout.accept.left, layout.accept.bottom - layout.accept.top,
               TRUE);
    MoveWindow(g.retry, layout.retry.left, layout.retry.top, layout.retry.right - layout.retry.left,
               layout.retry.bottom - layout.retry.top, TRUE);
}

void ShowTarget() {
    const int target = g.sequence.Target();
    if (target == g.shownTarget || g.sequence.Finished()) return;
    g.shownTarget = target;
    char text[200];
    std::snprintf(text, sizeof text,
                  "Target %d of %d: touch the centre of the cross, then lift. Escape cancels.",
                  target, kCalibrationTargetCount);
    SetWindowTextA(g.instruction, text);
    std::snprintf(text, sizeof text, "target %d of %d", target, kCalibrationTargetCount);
    SetTitle(text);
    InvalidateRect(g.window, nullptr, TRUE);
}

// The targets from the first, with `message` telling why when they start again.
void StartTargets(const char* message) {
    g.stage = Stage::kTargets;
    g.sequence.Start(GetTickCount());
    g.shownTarget = 0;
    SetWindowTextA(g.message, message);
    ShowWindow(g.accept, SW_HIDE);
    ShowWindow(g.retry, SW_HIDE);
    ShowTarget();
}

void ShowCheck() {
    g.stage = Stage::kCheck;
    g.dots.clear();
    g.checkActivity = GetTickCount();
    SetWindowTextA(g.instruction,
                   "Touch the screen: a dot shows where each touch lands with the new "
                   "calibration. \"Accept\" keeps it, \"Retry\" calibrates again, Escape keeps "
                   "the previous calibration.");
    SetWindowTextA(g.message, "");
    ShowWindow(g.accept, SW_SHOW);
    ShowWindow(g.retry, SW_SHOW);
    SetTitle("check");
    InvalidateRect(g.window, nullptr, TRUE);
}

void End() { DestroyWindow(g.window); }

// Leaves the private folder and removes the file the library wrote there.
void DropWorkFile() {
    SetCurrentDirectoryA(g.homeFolder.c_str());
    DeleteFileA(FileIn(g.workFolder, "Calibrate.ini").c_str());
}

// The fourteen values of a "Calibrate.ini"; false when one is missing.
bool ReadCalibrationFile(const std::string& path, CalibrationPoint points[5],
                         CalibrationLimits& limits) {
    const CIni ini(path);
    char key[16];
    for (int i = 0; i < kCalibrationTargetCount; ++i) {
        std::snprintf(key, sizeof key, "Point%dX", i + 1);
        if (!ini.HasKey(kCalibrationSection, key)) return false;
        points[i].x = ini.ReadNumber(kCalibrationSection, key, 0);
        std::snprintf(key, sizeof key, "Point%dY", i + 1);
        if (!ini.HasKey(kCalibrationSection, key)) return false;
        points[i].y = ini.ReadNumber(kCalibrationSection, key, 0);
        points[i].count = 0;
    }
    int32_t* values[] = {&limits.minX, &limits.maxX, &limits.minY, &limits.maxY};
    const char* names[] = {"MinX", "MaxX", "MinY", "MaxY"};
    for (int i = 0; i < 4; ++i) {
        if (!ini.HasKey(kCalibrationSection, names[i])) return false;
        *values[i] = ini.ReadNumber(kCalibrationSection, names[i], 0);
    }
    return true;
}

bool SameFile(const CalibrationPoint a[5], const CalibrationLimits& la, const CalibrationPoint b[5],
              const CalibrationLimits& lb) {
    for (int i = 0; i < kCalibrationTargetCount; ++i) {
        if (a[i].x != b[i].x || a[i].y != b[i].y) return false;
    }
    return la.minX == lb.minX && la.maxX == lb.maxX && la.minY == lb.minY && la.maxY == lb.maxY;
}

// The fifth touch has ended: the library finishes the capture into the private
// folder, whose file is checked before anything else happens.
void Finish() {
    if (!SetCurrentDirectoryA(g.workFolder.c_str())) {
        StartTargets(
            "The calibration could not be stored for its check. Please touch each "
            "target again.");
        return;
    }
    g.library.setCalibrate(0);
    CalibrationPoint points[kCalibrationTargetCount];
    CalibrationLimits limits;
    const bool read = ReadCalibrationFile(FileIn(g.workFolder, "Calibrate.ini"), points, limits);
    const CalibrationCheck check = read ? CheckCalibrationPoints(points) : CalibrationCheck::kOk;
    if (!read || check != CalibrationCheck::kOk) {
        DropWorkFile();
        g.library.setCalibrate(1);
        StartTargets(read ? CalibrationCheckMessage(check)
                          : "The calibration could not be stored for its check. Please touch "
                            "each target again.");
        return;
    }
    // The check screen maps touches through the new file: the current directory
    // stays the private folder until the user decides.
    ShowCheck();
}

void Accept() {
    CalibrationPoint checked[kCalibrationTargetCount];
    CalibrationLimits checkedLimits;
    const bool haveChecked =
        ReadCalibrationFile(FileIn(g.workFolder, "Calibrate.ini"), checked, checkedLimits);
    DropWorkFile();
    // The library still holds the points: finishing again writes them here.
    g.library.setCalibrate(0);
    CalibrationPoint written[kCalibrationTargetCount];
    CalibrationLimits writtenLimits;
    const std::string home = FileIn(g.homeFolder, "Calibrate.ini");
    if (!haveChecked || !ReadCalibrationFile(home, written, writtenLimits) ||
        !SameFile(checked, checkedLimits, written, writtenLimits)) {
        MessageBoxA(g.window, ("The new calibration could not be written to " + home + ".").c_str(),
                    kProgramTitle, MB_OK | MB_ICONERROR);
    }
    End();
}

void Retry() {
    DropWorkFile();
    g.library.setCalibrate(1);
    StartTargets("");
}

void Cancel() {
    if (g.stage == Stage::kCheck) DropWorkFile();
    End();
}

void OnTouch(WPARAM count, LPARAM lParam) {
    const TouchInputRecord* records = reinterpret_cast<const TouchInputRecord*>(lParam);
    if (records == nullptr || count == 0) return;
    const TouchInputRecord& first = records[0];
    const uint32_t now = GetTickCount();
    if (g.stage == Stage::kTargets) {
        // From the handler, so that the library takes the sample of this report.
        const CalibrateCall call = g.sequence.OnTouch(first.dwFlags, now);
        if (call.type != 0) g.library.calibrateEvent(call.type, call.point);
        if (g.sequence.Finished()) {
            PostMessageA(g.window, kFinishMessage, 0, 0);
        } else {
            ShowTarget();
        }
        return;
    }
    const ScreenPoint p = RecordToScreen(g.display, first.x, first.y);
    if (first.dwFlags & (kTpinputEventDown | kTpinputEventMove)) {
        g.checkActivity = now;
        if (g.dots.size() >= kMaxDots) g.dots.erase(g.dots.begin());
        g.dots.push_back(p);
        RECT r = {p.x - kDotRadius, p.y - kDotRadius, p.x + kDotRadius + 1, p.y + kDotRadius + 1};
        InvalidateRect(g.window, &r, FALSE);
    } else if ((first.dwFlags & kTpinputEventUp) && (first.dwFlags & kTpinputEventInRange)) {
        // The library does not move the mouse: a lift on a button presses it.
        g.checkActivity = now;
        const CheckScreenLayout layout = LayOutCheckScreen(g.display.width, g.display.height);
        if (layout.accept.Contains(p)) {
            PostMessageA(g.window, WM_COMMAND, MAKEWPARAM(kAcceptId, BN_CLICKED), 0);
        } else if (layout.retry.Contains(p)) {
            PostMessageA(g.window, WM_COMMAND, MAKEWPARAM(kRetryId, BN_CLICKED), 0);
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
    HDC dc = BeginPaint(g.window, &ps);
    if (g.stage == Stage::kTargets) {
        if (!g.sequence.Finished()) {
            DrawCross(dc, CalibrationTargetPosition(g.display, g.sequence.Target()), kTargetColour);
        }
    } else {
        for (int k = 1; k <= kCalibrationTargetCount; ++k) {
            DrawCross(dc, CalibrationTargetPosition(g.display, k), kCheckTargetColour);
        }
        HBRUSH brush = CreateSolidBrush(kDotColour);
        HGDIOBJ oldBrush = SelectObject(dc, brush);
        HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
        for (const ScreenPoint& p : g.dots) {
            Ellipse(dc, p.x - kDotRadius, p.y - kDotRadius, p.x + kDotRadius + 1,
                    p.y + kDotRadius + 1);
        }
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBrush);
        DeleteObject(brush);
    }
    EndPaint(g.window, &ps);
}

void OnTimer() {
    const uint32_t now = GetTickCount();
    const bool idle = g.stage == Stage::kTargets ? g.sequence.TimedOut(now)
                                                 : now - g.checkActivity >= kCalibrationTimeoutMs;
    if (idle) Cancel();
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (g.touchMessage != 0 && message == g.touchMessage) {
        OnTouch(wParam, lParam);
        return 0;
    }
    switch (message) {
        case kFinishMessage:
            if (g.stage == Stage::kTargets && g.sequence.Finished()) Finish();
            return 0;
        case WM_COMMAND:
            if (g.stage == Stage::kCheck && LOWORD(wParam) == kAcceptId) Accept();
            if (g.stage == Stage::kCheck && LOWORD(wParam) == kRetryId) Retry();
            SetFocus(hwnd);
            return 0;
        case WM_TIMER:
            if (wParam == kTimeoutTimer) OnTimer();
            return 0;
        case WM_PAINT:
            Paint();
            return 0;
        case WM_CTLCOLORSTATIC: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetBkColor(dc, kBackground);
            SetTextColor(
                dc, reinterpret_cast<HWND>(lParam) == g.message ? kMessageColour : RGB(0, 0, 0));
            return reinterpret_cast<LRESULT>(g.background);
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
    HWND child = CreateWindowExA(0, cls, "", WS_CHILD | style, 0, 0, 0, 0, g.window,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 GetModuleHandleA(nullptr), nullptr);
    SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return child;
}

bool CreateMainWindow(HINSTANCE instance) {
    g.background = CreateSolidBrush(kBackground);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = g.background;
    wc.lpszClassName = kWindowClass;
    RegisterClassA(&wc);
    g.window =
        CreateWindowExA(WS_EX_TOPMOST, kWindowClass, kProgramTitle, WS_POPUP | WS_CLIPCHILDREN, 0,
                        0, g.display.width, g.display.height, nullptr, nullptr, instance, nullptr);
    if (g.window == nullptr) return false;
    g.textFont = CreateUiFont(kTextHeight, false);
    g.buttonFont = CreateUiFont(kTextHeight + 4, true);
    g.instruction = CreateChild("STATIC", WS_VISIBLE | SS_CENTER, kInstructionId, g.textFont);
    g.message = CreateChild("STATIC", WS_VISIBLE | SS_CENTER, kMessageId, g.textFont);
    g.accept = CreateChild("BUTTON", BS_PUSHBUTTON, kAcceptId, g.buttonFont);
    g.retry = CreateChild("BUTTON", BS_PUSHBUTTON, kRetryId, g.buttonFont);
    SetWindowTextA(g.accept, "Accept");
    SetWindowTextA(g.retry, "Retry");
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
    g.workFolder = FileIn(temp, name);
    if (!CreateDirectoryA(g.workFolder.c_str(), nullptr) &&
        GetLastError() != ERROR_ALREADY_EXISTS) {
        return false;
    }
    // A file left by an earlier process of the same number is not this one's.
    DeleteFileA(FileIn(g.workFolder, "Calibrate.ini").c_str());
    return true;
}

// Capture on, then the window registered for the panel's touches (no mouse
// emulation: the finger must not click what lies under the targets).
bool StartCapture() {
    if (g.library.getConnectedDeviceNum(kTpinputPanelVendorId) <= 0) return false;
    g.library.setCalibrate(1);
    g.touchMessage = RegisterWindowMessageA(TPINPUT_TOUCH_MESSAGE);
    return g.library.registerTouchWindow(g.window, 0) != 0;
}

int Run(HINSTANCE instance) {
    g.homeFolder = CurrentFolder();
    HMODULE library = nullptr;
    std::string problem;
    if (!LoadTouchLibrary(library, g.library, problem)) {
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
        MessageBoxA(nullptr, "No touch panel is connected, so there is nothing to calibrate.",
                    kProgramTitle, MB_OK | MB_ICONINFORMATION);
        DestroyWindow(g.window);
    } else {
        StartTargets("");
        ShowWindow(g.window, SW_SHOW);
        SetForegroundWindow(g.window);
        SetFocus(g.window);
        SetTimer(g.window, kTimeoutTimer, kTimeoutCheckMs, nullptr);
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
            // Escape and Enter act wherever the focus is, buttons included.
            if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
                Cancel();
                continue;
            }
            if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN && g.stage == Stage::kCheck) {
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
    DeleteFileA(FileIn(g.workFolder, "Calibrate.ini").c_str());
    RemoveDirectoryA(g.workFolder.c_str());
    if (g.textFont) DeleteObject(g.textFont);
    if (g.buttonFont) DeleteObject(g.buttonFont);
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
