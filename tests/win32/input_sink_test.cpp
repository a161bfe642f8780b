// Plays gesture actions through the Win32 input sink into a real foreground window
// and checks the messages that window receives.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "gesture/gesture_action.h"
#include "platform/win32/win32_ports.h"

namespace tactra {
namespace {

struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

std::vector<Received>* g_received = nullptr;

LRESULT CALLBACK ProbeProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP:
        case WM_MOUSEWHEEL:
            if (g_received) g_received->push_back({msg, wParam, lParam});
            return 0;
        default:
            return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

class ProbeWindow : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = ProbeProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "TactraInputProbe";
        RegisterClassA(&wc);
        hwnd_ = CreateWindowA("TactraInputProbe", "probe", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100,
                              100, 300, 200, nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(hwnd_, nullptr);
        SetForegroundWindow(hwnd_);
        SetFocus(hwnd_);
        // The wheel goes to the window under the cursor.
        SetCursorPos(250, 200);
        Pump(200);
        g_received = &received_;
    }
    void TearDown() override {
        g_received = nullptr;
        DestroyWindow(hwnd_);
    }
    void Pump(DWORD milliseconds) {
        const DWORD start = GetTickCount();
        MSG msg;
        while (GetTickCount() - start < milliseconds) {
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            Sleep(5);
        }
    }
    std::vector<Received> KeyMessages() const {
        std::vector<Received> keys;
        for (const Received& r : received_) {
            if (r.message != WM_MOUSEWHEEL) keys.push_back(r);
        }
        return keys;
    }

    HWND hwnd_ = nullptr;
    std::vector<Received> received_;
};

TEST_F(ProbeWindow, CtrlWheelForwardArrivesAsWheelWithControlState) {
    Win32InputSink sink;
    DoGestureAction(sink, 2, kWheelActionCode, 1);
    sink.KeyEvent(kVkControl, true);
    Pump(300);
    ASSERT_FALSE(received_.empty());
    EXPECT_EQ(received_.front().message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(received_.front().wParam, static_cast<WPARAM>(VK_CONTROL));
    bool wheel = false;
    for (const Received& r : received_) {
        if (r.message != WM_MOUSEWHEEL) continue;
        wheel = true;
        EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(r.wParam), 120);
        EXPECT_TRUE(GET_KEYSTATE_WPARAM(r.wParam) & MK_CONTROL);
    }
    EXPECT_TRUE(wheel);
}

TEST_F(ProbeWindow, ShiftCtrlWheelBackCarriesBothKeyStates) {
    Win32InputSink sink;
    DoGestureAction(sink, 6, kWheelActionCode, 0);
    sink.KeyEvent(kVkControl, true);
    sink.KeyEvent(kVkShift, true);
    Pump(300);
    bool wheel = false;
    for (const Received& r : received_) {
        if (r.message != WM_MOUSEWHEEL) continue;
        wheel = true;
        EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(r.wParam), -120);
        EXPECT_TRUE(GET_KEYSTATE_WPARAM(r.wParam) & MK_CONTROL);
        EXPECT_TRUE(GET_KEYSTATE_WPARAM(r.wParam) & MK_SHIFT);
    }
    EXPECT_TRUE(wheel);
}

TEST_F(ProbeWindow, ShiftCtrlAltAKeysArriveInOrder) {
    Win32InputSink sink;
    DoGestureAction(sink, 16, 'A', 0);
    for (uint8_t vk : {kVkControl, kVkLMenu, kVkShift}) sink.KeyEvent(vk, true);
    Pump(300);
    const std::vector<Received> keys = KeyMessages();
    // With Alt down the system delivers WM_SYSKEYDOWN/UP; compare the key sequence.
    const struct {
        bool down;
        WPARAM vk;
    } expected[] = {{true, VK_SHIFT}, {true, VK_CONTROL},  {true, VK_MENU},  {true, 'A'},
                    {false, 'A'},     {false, VK_CONTROL}, {false, VK_MENU}, {false, VK_SHIFT}};
    ASSERT_EQ(keys.size(), sizeof expected / sizeof expected[0]);
    for (size_t i = 0; i < keys.size(); ++i) {
        SCOPED_TRACE(i);
        const bool down = keys[i].message == WM_KEYDOWN || keys[i].message == WM_SYSKEYDOWN;
        EXPECT_EQ(down, expected[i].down);
        // Left Alt may arrive as VK_MENU or VK_LMENU depending on the system.
        if (expected[i].vk == VK_MENU) {
            EXPECT_TRUE(keys[i].wParam == VK_MENU || keys[i].wParam == VK_LMENU);
        } else {
            EXPECT_EQ(keys[i].wParam, expected[i].vk);
        }
    }
}

TEST_F(ProbeWindow, PageDownWithoutModifiers) {
    Win32InputSink sink;
    DoGestureAction(sink, 9, VK_NEXT, 0);
    Pump(300);
    const std::vector<Received> keys = KeyMessages();
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(keys[0].wParam, static_cast<WPARAM>(VK_NEXT));
    EXPECT_EQ(keys[1].message, static_cast<UINT>(WM_KEYUP));
}

}  // namespace
}  // namespace tactra
