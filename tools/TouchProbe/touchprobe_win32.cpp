// TouchProbe: a sample client of tpinput.dll. It loads the library, registers its
// window for touch messages, draws the two contacts live and lists the latest
// messages.
//   TouchProbe.exe [--mouse]     --mouse: registration mode 99 (mouse emulation)
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>

namespace {

// The record the library sends, in the platform's touch-input layout.
struct TouchRecord {
    LONG x;  // screen X, hundredths of a pixel
    LONG y;
    HANDLE hSource;
    DWORD dwID;
    DWORD dwFlags;
    DWORD dwMask;
    DWORD dwTime;
    DWORD dwExtraInfo;
    DWORD cxContact;
    DWORD cyContact;
};

constexpr DWORD kTouchDown = 0x02;
constexpr DWORD kTouchMove = 0x01;
constexpr DWORD kTouchUp = 0x04;
constexpr int kPanelVendorId = 0x0EEF;
constexpr int kMouseEmulationMode = 99;
constexpr size_t kHistoryLines = 16;
constexpr int kContactRadius = 18;  // pixels

using RegisterTouchWindowFn = BOOL(WINAPI*)(HWND, ULONG);
using GetConnectedDeviceNumFn = int(WINAPI*)(int);
using VersionNumberFn = int(WINAPI*)(WORD*);

struct Probe {
    UINT touchMessage = 0;
    TouchRecord contacts[2] = {};
    bool active[2] = {false, false};
    std::deque<std::string> history;
    std::string status;
};

Probe g_probe;

const char* EventName(DWORD flags) {
    if (flags & kTouchDown) return "down";
    if (flags & kTouchMove) return "move";
    if (flags & kTouchUp) return "up";
    return "-";
}

// The library's block is only valid during the message: copy what is kept.
void OnTouch(HWND hwnd, WPARAM count, LPARAM records) {
    const TouchRecord* r = reinterpret_cast<const TouchRecord*>(records);
    if (r == nullptr) return;
    const size_t n = count > 2 ? 2 : static_cast<size_t>(count);
    std::string line = "WM_TOUCH n=" + std::to_string(count);
    for (size_t i = 0; i < 2; ++i) {
        if (i < n) {
            g_probe.contacts[i] = r[i];
            g_probe.active[i] = (r[i].dwFlags & (kTouchDown | kTouchMove)) != 0;
            char text[96];
            std::snprintf(text, sizeof text, "  [%u] 0x%02lX %s (%ld, %ld)",
                          static_cast<unsigned>(i), static_cast<unsigned long>(r[i].dwFlags),
                          EventName(r[i].dwFlags), static_cast<long>(r[i].x),
                          static_cast<long>(r[i].y));
            line += text;
        } else {
            g_probe.active[i] = false;
        }
    }
    g_probe.history.push_front(line);
    while (g_probe.history.size() > kHistoryLines) g_probe.history.pop_back();
    InvalidateRect(hwnd, nullptr, TRUE);
}

void Paint(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    SetBkMode(dc, TRANSPARENT);
    int y = 4;
    TextOutA(dc, 4, y, g_probe.status.c_str(), static_cast<int>(g_probe.status.size()));
    y += 20;
    for (const std::string& line : g_probe.history) {
        TextOutA(dc, 4, y, line.c_str(), static_cast<int>(line.size()));
        y += 16;
    }
    static const COLORREF colours[2] = {RGB(220, 40, 40), RGB(40, 90, 220)};
    for (int i = 0; i < 2; ++i) {
        if (!g_probe.active[i]) continue;
        POINT p = {g_probe.contacts[i].x / 100, g_probe.contacts[i].y / 100};
        ScreenToClient(hwnd, &p);
        HBRUSH brush = CreateSolidBrush(colours[i]);
        HGDIOBJ old = SelectObject(dc, brush);
        Ellipse(dc, p.x - kContactRadius, p.y - kContactRadius, p.x + kContactRadius,
                p.y + kContactRadius);
        SelectObject(dc, old);
        DeleteObject(brush);
    }
    EndPaint(hwnd, &ps);
}

LRESULT CALLBACK ProbeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (g_probe.touchMessage != 0 && message == g_probe.touchMessage) {
        OnTouch(hwnd, wParam, lParam);
        return 0;
    }
    switch (message) {
        case WM_PAINT:
            Paint(hwnd);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show) {
    const bool mouse = commandLine != nullptr && std::strstr(commandLine, "--mouse") != nullptr;

    WNDCLASSA wc = {};
    wc.lpfnWndProc = ProbeProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = "TouchProbe";
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowExA(0, "TouchProbe", "TouchProbe", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 720, 480, nullptr, nullptr, instance, nullptr);
    if (hwnd == nullptr) return 1;

    // The library sends the message registered under this name.
    g_probe.touchMessage = RegisterWindowMessageA("WM_TOUCH");
    HMODULE library = LoadLibraryA("tpinput.dll");
    if (library == nullptr) {
        g_probe.status = "tpinput.dll could not be loaded";
    } else {
        auto count = reinterpret_cast<GetConnectedDeviceNumFn>(
            reinterpret_cast<void*>(GetProcAddress(library, "GetConnectedDeviceNum")));
        auto version = reinterpret_cast<VersionNumberFn>(
            reinterpret_cast<void*>(GetProcAddress(library, "VersionNumber")));
        auto registerWindow = reinterpret_cast<RegisterTouchWindowFn>(
            reinterpret_cast<void*>(GetProcAddress(library, "RegisterTouchWindow")));
        if (count == nullptr || version == nullptr || registerWindow == nullptr) {
            g_probe.status = "tpinput.dll lacks its exports";
        } else {
            const int panels = count(kPanelVendorId);
            WORD ids[3] = {};
            version(ids);
            const BOOL registered = registerWindow(hwnd, mouse ? kMouseEmulationMode : 0);
            char text[160];
            std::snprintf(text, sizeof text,
                          "panels: %d   VID 0x%04X PID 0x%04X version 0x%04X   %s%s", panels,
                          ids[0], ids[1], ids[2],
                          registered ? "registered" : "registration failed (no panel)",
                          mouse && registered ? ", mouse emulation" : "");
            g_probe.status = text;
        }
    }

    ShowWindow(hwnd, show);
    UpdateWindow(hwnd);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    // The library delivers until it is unloaded.
    if (library != nullptr) FreeLibrary(library);
    return static_cast<int>(msg.wParam);
}
