#include "platform/win32/win32_foreground.h"

#include <windows.h>
#include <psapi.h>

#include <cstring>

namespace tactra {

namespace {

// File names and window titles are read into buffers of this size.
constexpr int kNameBufferSize = 260;
constexpr char kUnknown[] = "<unknown>";

void PresetUnknown(char (&buffer)[kNameBufferSize]) {
    std::memset(buffer, 0, sizeof buffer);
    std::memcpy(buffer, kUnknown, sizeof kUnknown);
}

}  // namespace

bool ReadModuleNameOf(HWND window, std::string& name) {
    char buffer[kNameBufferSize];
    PresetUnknown(buffer);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    bool read = false;
    HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, processId);
    if (process != nullptr) {
        HMODULE module = nullptr;
        DWORD needed = 0;
        if (EnumProcessModules(process, &module, sizeof module, &needed) &&
            GetModuleBaseNameA(process, module, buffer, kNameBufferSize) > 0) {
            read = true;
        }
        buffer[kNameBufferSize - 1] = '\0';
        EmptyWorkingSet(process);
        CloseHandle(process);
    }
    name = read ? buffer : kUnknown;
    return read;
}

void ReadWindowTitleOf(HWND window, std::string& title) {
    char buffer[kNameBufferSize];
    PresetUnknown(buffer);
    GetWindowTextA(window, buffer, kNameBufferSize);
    buffer[kNameBufferSize - 1] = '\0';
    title = buffer;
}

bool Win32ForegroundApp::ReadModuleName(std::string& name) {
    return ReadModuleNameOf(GetForegroundWindow(), name);
}

bool Win32ForegroundApp::ReadWindowTitle(std::string& title) {
    ReadWindowTitleOf(GetForegroundWindow(), title);
    return true;
}

}  // namespace tactra
