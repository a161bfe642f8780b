// Tactra keeps up with a fast panel: with a probe window of this program in front,
// whose program name has a profile in "Tactra.ini", Tactra replays ten seconds of
// one finger held still at 200 reports a second and then a two-finger flick to the
// right. Each report costs Tactra's user-interface thread a little time; if the
// reports cost more than they are apart, Tactra falls behind the panel and the
// flick's samples, processed late in a burst, are no flick any more. The flick's key
// must reach the probe within a second of its time in the trace.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "support/tactra_process.h"

namespace tactra {
namespace testing {
namespace {

constexpr UINT kRightKey = VK_RIGHT;
DWORD g_keyTime = 0;  // GetTickCount when the flick's key arrived, 0 before

LRESULT CALLBACK ProbeProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_KEYDOWN && wParam == kRightKey && g_keyTime == 0) {
        g_keyTime = GetTickCount();
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

std::string ProgramName() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/') name = p + 1;
    return name;
}

// Flick Right is the Right arrow key; no other gesture plays anything.
std::string ProfileFor(const std::string& section) {
    return "[" + section + "]\r\nFlickRight.Case=9\r\nFlickRight.Code=39\r\nFlickRight.Up=0\r\n";
}

constexpr int kHoldStartMs = 2500;  // time for the test to bring the probe to the front
constexpr int kHoldMs = 10000;
constexpr int kReportSpacingMs = 5;  // 200 reports a second

// Raw panel units are screen pixels (panel 1024 x 768 on the 1024 x 768 screen).
// Returns the trace; `keyTick` is when the flick's key is due.
std::string SessionTrace(int& keyTick) {
    std::string t = "panel 1024 768\n";
    char line[96];
    int tick = kHoldStartMs;
    for (; tick <= kHoldStartMs + kHoldMs; tick += kReportSpacingMs) {
        std::snprintf(line, sizeof line, "at %d touch 300,200 -\n", tick);
        t += line;
    }
    std::snprintf(line, sizeof line, "at %d touch - -\n", tick);
    t += line;
    // Two fingers rest past their down phase, then move right 10 px every 20 ms;
    // the move that takes them beyond 100 px plays the flick.
    const int flick = tick + 200;
    for (int step = 0; step <= 28; ++step) {
        const int dx = step < 17 ? 0 : 10 * (step - 16);
        std::snprintf(line, sizeof line, "at %d touch %d,300 %d,450\n", flick + 20 * step, 400 + dx,
                      400 + dx);
        t += line;
        if (dx == 110) keyTick = flick + 20 * step;
    }
    std::snprintf(line, sizeof line, "at %d touch - -\n", flick + 20 * 29);
    t += line;
    return t;
}

TEST(TactraFastPanel, FlickAfterTenSecondsOfReportsArrivesOnTime) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ProbeProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
    wc.lpszClassName = "TactraFastPanelProbe";
    ASSERT_NE(RegisterClassA(&wc), 0);
    HWND probe =
        CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "Fast panel probe", WS_POPUP | WS_VISIBLE,
                        0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr,
                        nullptr, wc.hInstance, nullptr);
    ASSERT_NE(probe, nullptr);

    int keyTick = 0;
    const std::string folder = TactraProcess::MakeEmptyFolder("fastpanel");
    std::ofstream(folder + "\\Tactra.ini", std::ios::binary) << ProfileFor(ProgramName());
    std::ofstream(folder + "\\session.trace", std::ios::binary) << SessionTrace(keyTick);
    ASSERT_GT(keyTick, 0);

    TactraProcess::SetWineVersion("winxp64");  // major version 5, the main target
    TactraProcess app;
    ASSERT_TRUE(app.Start(folder, "--replay session.trace"));
    // The replay's clock starts when timer 1 first opens the panel, 100 ms after
    // the main dialog's initialisation, which Start has waited for.
    const DWORD started = GetTickCount();
    SetForegroundWindow(probe);
    SetFocus(probe);
    ASSERT_EQ(GetForegroundWindow(), probe);

    const DWORD due = started + static_cast<DWORD>(keyTick);
    while (g_keyTime == 0 && GetTickCount() - started < static_cast<DWORD>(keyTick) + 10000)
        Pump(20);
    ASSERT_NE(g_keyTime, 0u) << "the flick's key never arrived";
    const long late = static_cast<long>(g_keyTime - due);
    EXPECT_LE(late, 1000) << "the flick's key came " << late << " ms after its time";
    DestroyWindow(probe);
}

}  // namespace
}  // namespace testing
}  // namespace tactra
