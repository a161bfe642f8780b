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
    HWND hwnd = CreateWindowExA(0, wc.lpszClassName, "Probe Title - Viewer", WS_OVERLAPPEDWINDOW, 0,
                                0, 200, 100, nullptr, nullptr, wc.hInstance, nullptr);
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

// No foreground window, or one whose process cannot be opened (a window handle that
// no longer exists names no process): the name is "<unknown>", nothing is read.
TEST(Win32ForegroundApp, NoWindowOrNoProcessReadsUnknown) {
    Win32ForegroundApp app;
    std::string name = "x", title;
    EXPECT_FALSE(app.ReadModuleNameOf(nullptr, name));
    EXPECT_EQ(name, "<unknown>");
    Win32ForegroundApp::ReadWindowTitleOf(nullptr, title);
    EXPECT_LE(title.size(), 259u);

    HWND gone =
        CreateWindowExA(0, "STATIC", "gone", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(gone, nullptr);
    DestroyWindow(gone);
    name = "x";
    EXPECT_FALSE(app.ReadModuleNameOf(gone, name));
    EXPECT_EQ(name, "<unknown>");
}

// A title longer than the 260-character buffer is cut to 259 characters, never
// overrun; a title of exactly 259 characters is read whole.
TEST(Win32ForegroundApp, LongTitlesAreCutSafely) {
    for (const size_t length : {259u, 260u, 1000u}) {
        const std::string text(length, 'T');
        HWND hwnd = CreateWindowExA(0, "STATIC", text.c_str(), 0, 0, 0, 10, 10, nullptr, nullptr,
                                    nullptr, nullptr);
        ASSERT_NE(hwnd, nullptr);
        std::string title;
        Win32ForegroundApp::ReadWindowTitleOf(hwnd, title);
        EXPECT_EQ(title, std::string(259, 'T')) << length;
        std::string name;
        Win32ForegroundApp app;
        EXPECT_TRUE(app.ReadModuleNameOf(hwnd, name));
        EXPECT_EQ(name, "foreground_test.exe");
        DestroyWindow(hwnd);
    }
}

}  // namespace
}  // namespace tactra
