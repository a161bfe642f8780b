// Test.exe: the touch test behind Tactra's "Test" button, and a complete sample
// client of tpinput.dll. It loads the library, registers its window for touch
// messages, draws the two contacts live where they touch the screen, lists the
// latest messages and names the touch device with its attributes (the panel, or
// without one a touch screen of any maker, as the library chooses), or says that
// none is connected. When it ends it starts Tactra again.
//   Test.exe [--mouse] [--info]
//     --mouse: registration mode 99 (mouse emulation)
//     --info:  the records are read as a client written for the platform's touch
//              functions reads them: GetTouchInputInfo, then CloseTouchInputHandle
//              (otherwise straight from lParam)
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "device/mapping/calibration.h"
#include "device/mapping/calibrator.h"
#include "device/mapping/monitor.h"
#include "platform/saturate.h"
#include "platform/win32/win32_display.h"
#include "tools/common/client_win32.h"
#include "tpinput/tpinput.h"

namespace tactra {
namespace {

constexpr char kWindowClass[] = "TactraTouchTest";
constexpr char kContactClass[] = "TactraTouchTestContact";
constexpr char kProgramTitle[] = "Touch Test";
constexpr int kStatusId = 100;
constexpr int kCloseId = 101;
constexpr int kHistoryId = 102;
constexpr int kHistoryLines = 16;
constexpr int kContactRadius = 18;  // pixels
constexpr int kMargin = 8;          // pixels
constexpr int kTextHeight = 16;     // pixels
constexpr int kHistoryWidth = 720;  // pixels: room for two records a line
constexpr int kCloseWidth = 120;    // pixels
constexpr int kCloseHeight = 40;
constexpr COLORREF kContactColours[2] = {RGB(220, 40, 40), RGB(40, 90, 220)};
constexpr COLORREF kNoDeviceColour = RGB(200, 0, 0);

struct TouchTest {
    HWND window = nullptr;
    HWND status = nullptr;
    HWND close = nullptr;
    HWND history = nullptr;
    HFONT font = nullptr;
    HFONT statusFont = nullptr;
    bool noDevice = false;
    bool readWithInfo = false;  // --info
    TpinputExports library = {};
    UINT touchMessage = 0;
    DisplayState display;
    // Each contact is a round child window above the others, so that no control
    // hides a finger.
    HWND contacts[2] = {nullptr, nullptr};
    HBRUSH contactBrushes[2] = {nullptr, nullptr};
};

TouchTest g;

const char* EventName(DWORD flags) {
    if (flags & kTpinputEventDown) return "down";
    if (flags & kTpinputEventMove) return "move";
    if (flags & kTpinputEventUp) return "up";
    return "-";
}

// The screen the library maps onto: the monitor of "Calibrate.ini" while it is
// attached, else the primary display.
void ReadDisplay() {
    Win32Display display;
    InitDisplayState(display, g.display);
    ReadDisplayTarget(display, ReadMonitorName(CurrentCalibrationFile()), g.display);
}

// Where a record's touch lies on the desktop. Records are desktop positions: the
// turn of the screen applies to the position on the monitor, whose place is added
// back afterwards.
POINT DesktopPoint(const TouchInputRecord& r) {
    const int64_t left = g.display.onMonitor ? g.display.monitorLeft : 0;
    const int64_t top = g.display.onMonitor ? g.display.monitorTop : 0;
    const ScreenPoint s = RecordToScreen(g.display, SaturateInt32(int64_t{r.x} - left * 100),
                                         SaturateInt32(int64_t{r.y} - top * 100));
    POINT p = {SaturateInt32(s.x + left), SaturateInt32(s.y + top)};
    return p;
}

// Where a record's touch lies in the window.
POINT ClientPoint(const TouchInputRecord& r) {
    POINT p = DesktopPoint(r);
    ScreenToClient(g.window, &p);
    return p;
}

void ShowContact(int i, const TouchInputRecord* r) {
    if (r == nullptr) {
        ShowWindow(g.contacts[i], SW_HIDE);
        return;
    }
    const POINT p = ClientPoint(*r);
    SetWindowPos(g.contacts[i], HWND_TOP, p.x - kContactRadius, p.y - kContactRadius, 0, 0,
                 SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

// The library's block is only valid during the message: what is kept is copied.
void OnTouch(WPARAM count, const TouchInputRecord* records) {
    if (records == nullptr) return;
    const size_t n = count > 2 ? 2 : static_cast<size_t>(count);
    std::string line = "WM_TOUCH n=" + std::to_string(count);
    for (int i = 0; i < 2; ++i) {
        if (static_cast<size_t>(i) < n) {
            const TouchInputRecord& r = records[i];
            const bool touching = (r.dwFlags & (kTpinputEventDown | kTpinputEventMove)) != 0;
            ShowContact(i, touching ? &r : nullptr);
            char text[96];
            std::snprintf(text, sizeof text, "   [%d] 0x%02lX %s (%ld, %ld)", i,
                          static_cast<unsigned long>(r.dwFlags), EventName(r.dwFlags),
                          static_cast<long>(r.x), static_cast<long>(r.y));
            line += text;
        } else {
            ShowContact(i, nullptr);
        }
    }
    SendMessageA(g.history, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    while (SendMessageA(g.history, LB_GETCOUNT, 0, 0) > kHistoryLines) {
        SendMessageA(g.history, LB_DELETESTRING, kHistoryLines, 0);
    }
    // The library does not move the mouse: a lift on "Close" presses it.
    if (n > 0 && (records[0].dwFlags & kTpinputEventUp) &&
        (records[0].dwFlags & kTpinputEventInRange)) {
        const POINT s = DesktopPoint(records[0]);
        RECT r;
        GetWindowRect(g.close, &r);
        if (s.x >= r.left && s.x < r.right && s.y >= r.top && s.y < r.bottom) {
            PostMessageA(g.window, WM_CLOSE, 0, 0);
        }
    }
}

LRESULT CALLBACK ContactProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ERASEBKGND) {
        RECT r;
        GetClientRect(hwnd, &r);
        const int i = hwnd == g.contacts[1] ? 1 : 0;
        FillRect(reinterpret_cast<HDC>(wParam), &r, g.contactBrushes[i]);
        return 1;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

void CreateContacts(HINSTANCE instance) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ContactProc;
    wc.hInstance = instance;
    wc.lpszClassName = kContactClass;
    RegisterClassA(&wc);
    for (int i = 0; i < 2; ++i) {
        g.contactBrushes[i] = CreateSolidBrush(kContactColours[i]);
        g.contacts[i] = CreateWindowExA(0, kContactClass, "", WS_CHILD | WS_CLIPSIBLINGS, 0, 0,
                                        2 * kContactRadius, 2 * kContactRadius, g.window, nullptr,
                                        instance, nullptr);
        SetWindowRgn(g.contacts[i],
                     CreateEllipticRgn(0, 0, 2 * kContactRadius + 1, 2 * kContactRadius + 1),
                     FALSE);
    }
}

void Layout() {
    RECT client;
    GetClientRect(g.window, &client);
    const int statusHeight = kTextHeight * 2 + 8;
    MoveWindow(g.status, kMargin, kMargin, client.right - 3 * kMargin - kCloseWidth, statusHeight,
               TRUE);
    MoveWindow(g.close, client.right - kMargin - kCloseWidth, kMargin, kCloseWidth, kCloseHeight,
               TRUE);
    const int historyHeight = (kTextHeight + 4) * kHistoryLines + 8;
    const int historyWidth = std::min<int>(kHistoryWidth, client.right - 2 * kMargin);
    MoveWindow(g.history, kMargin, kMargin * 2 + kCloseHeight, historyWidth, historyHeight, TRUE);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (g.touchMessage != 0 && message == g.touchMessage) {
        if (!g.readWithInfo) {
            OnTouch(wParam, reinterpret_cast<const TouchInputRecord*>(lParam));
            return 0;
        }
        TouchInputRecord records[kTpinputRecordCapacity];
        const HANDLE handle = reinterpret_cast<HANDLE>(lParam);
        const UINT capacity = kTpinputRecordCapacity;
        const UINT count = wParam > capacity ? capacity : static_cast<UINT>(wParam);
        if (g.library.getTouchInputInfo(handle, count, records, sizeof(TouchInputRecord))) {
            OnTouch(count, records);
        } else {
            char line[64];
            std::snprintf(line, sizeof line, "GetTouchInputInfo failed: error %lu",
                          static_cast<unsigned long>(GetLastError()));
            SendMessageA(g.history, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(line));
        }
        g.library.closeTouchInputHandle(handle);
        return 0;
    }
    switch (message) {
        case WM_SIZE:
            Layout();
            return 0;
        case WM_DISPLAYCHANGE:
            ReadDisplay();
            InvalidateRect(hwnd, nullptr, TRUE);
            return 0;
        case WM_COMMAND:
            if (LOWORD(wParam) == kCloseId) PostMessageA(hwnd, WM_CLOSE, 0, 0);
            return 0;
        case WM_CTLCOLORSTATIC: {
            // The status line on the window's own background; the note in red.
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, g.noDevice ? kNoDeviceColour : GetSysColor(COLOR_WINDOWTEXT));
            SetBkColor(dc, GetSysColor(COLOR_WINDOW));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
        }
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

HWND CreateChild(const char* cls, DWORD style, int id, HFONT font, const char* text) {
    HWND child = CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, g.window,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 GetModuleHandleA(nullptr), nullptr);
    SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return child;
}

// Registers the window; the status line tells what came of it.
std::string Connect(bool mouse) {
    g.touchMessage = RegisterWindowMessageA(TPINPUT_TOUCH_MESSAGE);
    const TouchDeviceKind kind = FindTouchDevice(g.library);
    if (kind == TouchDeviceKind::kNone ||
        !g.library.registerTouchWindow(g.window, mouse ? kTpinputMouseEmulationMode : 0)) {
        g.noDevice = true;
        return "No touch device is connected. Connect a touch panel or touch screen and start "
               "the test again.";
    }
    // Asked after the registration: with several touch screens the counting leaves the
    // last one's attributes, the registration those of the one it opened.
    WORD ids[3] = {};
    g.library.versionNumber(ids);
    char text[240];
    std::snprintf(text, sizeof text,
                  "%s: vendor 0x%04X, product 0x%04X, version 0x%04X%s. Touch the screen "
                  "with one or two fingers; Escape or \"Close\" ends the test.",
                  kind == TouchDeviceKind::kPanel ? "Panel" : "Touch screen", ids[0], ids[1],
                  ids[2],
                  mouse && g.readWithInfo ? ", with mouse emulation, read with GetTouchInputInfo"
                  : mouse                 ? ", with mouse emulation"
                  : g.readWithInfo        ? ", read with GetTouchInputInfo"
                                          : "");
    return text;
}

int Run(HINSTANCE instance, const char* commandLine, int show) {
    const bool mouse = commandLine != nullptr && std::strstr(commandLine, "--mouse") != nullptr;
    g.readWithInfo = commandLine != nullptr && std::strstr(commandLine, "--info") != nullptr;
    ReadDisplay();

    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kWindowClass;
    RegisterClassA(&wc);
    g.window = CreateWindowExA(0, kWindowClass, kProgramTitle,
                               WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                               800, 600, nullptr, nullptr, instance, nullptr);
    if (g.window == nullptr) return 1;
    g.font = CreateUiFont(kTextHeight, false);
    g.statusFont = CreateUiFont(kTextHeight, true);
    g.status = CreateChild("STATIC", SS_LEFT, kStatusId, g.statusFont, "");
    g.close = CreateChild("BUTTON", BS_PUSHBUTTON, kCloseId, g.statusFont, "Close");
    g.history =
        CreateChild("LISTBOX", WS_BORDER | WS_CLIPSIBLINGS | LBS_NOINTEGRALHEIGHT | LBS_NOSEL,
                    kHistoryId, g.font, "");
    CreateContacts(instance);

    HMODULE library = nullptr;
    std::string status;
    if (!LoadTouchLibrary(library, g.library, status)) {
        g.noDevice = true;
    } else {
        status = Connect(mouse);
    }
    SetWindowTextA(g.status, status.c_str());
    Layout();
    ShowWindow(g.window, show == SW_SHOWNORMAL || show == SW_SHOWDEFAULT ? SW_MAXIMIZE : show);
    UpdateWindow(g.window);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
            PostMessageA(g.window, WM_CLOSE, 0, 0);
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    // The library delivers until it is unloaded.
    if (library != nullptr) FreeLibrary(library);
    DeleteObject(g.font);
    DeleteObject(g.statusFont);
    for (HBRUSH brush : g.contactBrushes) DeleteObject(brush);
    return static_cast<int>(msg.wParam);
}

}  // namespace
}  // namespace tactra

// NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name): the system names them
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show) {
    const int status = tactra::Run(instance, commandLine, show);
    tactra::RestartTactra();
    return status;
}
