// The foreground-application adapter against a window of this process.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/win32/win32_foreground.h"

namespace tactra {
namespace {

TEST(Win32ForegroundApp, ReadsThisProgramAndItsWindowTitle) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "TactraForegroundProbe";
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowExA(0, wc.lpszClassName, "Probe Title - Viewer", WS_OVERLAPPEDWINDOW,
                                0, 0, 200, 100, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(hwnd, nullptr);
    ShowWindow(hwnd, SW_SHOW);
    SetForegroundWindow(hwnd);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    if (GetForegroundWindow() != hwnd) {
        DestroyWindow(hwnd);
        GTEST_SKIP() << "the window did not come to the foreground";
    }
    Win32ForegroundApp app;
    std::string name, title;
    EXPECT_TRUE(app.ReadModuleName(name));
    EXPECT_STREQ(name.c_str(), "foreground_test.exe");
    EXPECT_TRUE(app.ReadWindowTitle(title));
    EXPECT_EQ(title, "Probe Title - Viewer");
    DestroyWindow(hwnd);
}

}  // namespace
}  // namespace tactra
