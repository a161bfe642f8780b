// The application in front for the tests that touch through Tactra: a top-most
// window of the test's own over the whole screen (the wheel goes to the window
// under the cursor, and mouse emulation moves the cursor to the fingers). It
// records what reaches it as text: "key down 17", "key up 39", "wheel 120 ctrl",
// and, when asked, "left down X Y" / "left up X Y"; and when the first Right key
// arrived. One probe at a time per process.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace tactra {
namespace testing {

class ProbeWindow {
public:
    ProbeWindow(const char* className, const char* title) {
        current_ = this;
        WNDCLASSA wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
        wc.lpszClassName = className;
        RegisterClassA(&wc);
        hwnd_ = CreateWindowExA(WS_EX_TOPMOST, className, title, WS_POPUP | WS_VISIBLE, 0, 0,
                                GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                nullptr, nullptr, wc.hInstance, nullptr);
    }
    ~ProbeWindow() {
        if (hwnd_ != nullptr) DestroyWindow(hwnd_);
        current_ = nullptr;
    }
    ProbeWindow(const ProbeWindow&) = delete;
    ProbeWindow& operator=(const ProbeWindow&) = delete;

    HWND Handle() const { return hwnd_; }
    // Brings the probe to the front with the focus; true when it is in front.
    bool BringToFront() const {
        SetForegroundWindow(hwnd_);
        SetFocus(hwnd_);
        return GetForegroundWindow() == hwnd_;
    }
    const std::vector<std::string>& Received() const { return received_; }
    void Clear() { received_.clear(); }
    void RecordButtons(bool on) { buttons_ = on; }
    // GetTickCount when the first Right key arrived; 0 before.
    DWORD RightKeyTime() const { return rightKeyTime_; }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        ProbeWindow* probe = current_;
        if (probe == nullptr) return DefWindowProcA(hwnd, msg, wParam, lParam);
        char text[64];
        switch (msg) {
            case WM_KEYDOWN:
            case WM_KEYUP:
                if (msg == WM_KEYDOWN && wParam == VK_RIGHT && probe->rightKeyTime_ == 0)
                    probe->rightKeyTime_ = GetTickCount();
                std::snprintf(text, sizeof text, "key %s %u", msg == WM_KEYDOWN ? "down" : "up",
                              static_cast<unsigned>(wParam));
                probe->received_.push_back(text);
                return 0;
            case WM_MOUSEWHEEL:
                std::snprintf(text, sizeof text, "wheel %d%s", GET_WHEEL_DELTA_WPARAM(wParam),
                              (GET_KEYSTATE_WPARAM(wParam) & MK_CONTROL) ? " ctrl" : "");
                probe->received_.push_back(text);
                return 0;
            case WM_LBUTTONDOWN:
            case WM_LBUTTONUP:
                std::snprintf(text, sizeof text, "left %s %d %d",
                              msg == WM_LBUTTONDOWN ? "down" : "up",
                              static_cast<int>(static_cast<short>(LOWORD(lParam))),
                              static_cast<int>(static_cast<short>(HIWORD(lParam))));
                if (probe->buttons_) probe->received_.push_back(text);
                return 0;
            default:
                return DefWindowProcA(hwnd, msg, wParam, lParam);
        }
    }

    static inline ProbeWindow* current_ = nullptr;
    HWND hwnd_ = nullptr;
    std::vector<std::string> received_;
    bool buttons_ = false;
    DWORD rightKeyTime_ = 0;
};

// This test program's file name: the module name Tactra matches a profile by.
inline std::string ProgramName() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/') name = p + 1;
    return name;
}

// A profile for `section` in which Zoom In is Ctrl + wheel up and Flick Right the
// Right arrow key; nothing else plays.
inline std::string ProbeProfile(const std::string& section) {
    std::string text = "[" + section + "]\r\n";
    for (const char* g : {"ZoomIn", "ZoomOut", "RotateCL", "RotateAC", "FlickUp", "FlickDown",
                          "FlickLeft", "FlickRight"}) {
        const std::string name = g;
        std::string c = "0", code = "0", up = "0";
        if (name == "ZoomIn") c = "2", code = "2048", up = "1";
        if (name == "FlickRight") c = "9", code = "39";
        text += name + ".Case=" + c + "\r\n" + name + ".Code=" + code + "\r\n" + name +
                ".Up=" + up + "\r\n";
    }
    return text;
}

}  // namespace testing
}  // namespace tactra
