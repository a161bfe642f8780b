#include "platform/win32/win32_ports.h"

#include <windows.h>

namespace tactra {

uint32_t Win32Clock::TickCount() { return GetTickCount(); }

void Win32Clock::Sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }

void Win32InputSink::KeyEvent(uint8_t vk, bool up) {
    keybd_event(vk, 0, up ? KEYEVENTF_KEYUP : 0, 0);
}

void Win32InputSink::MouseEvent(uint32_t flags, int32_t dx, int32_t dy, int32_t data) {
    mouse_event(flags, static_cast<DWORD>(dx), static_cast<DWORD>(dy), static_cast<DWORD>(data), 0);
}

bool Win32InputSink::IsKeyDown(uint8_t vk) { return GetAsyncKeyState(vk) < 0; }

}  // namespace tactra
