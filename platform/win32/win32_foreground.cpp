#include "platform/win32/win32_foreground.h"

// psapi.h needs the types of windows.h first.
// clang-format off
#include <windows.h>
#include <psapi.h>
// clang-format on

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

Win32ForegroundApp::~Win32ForegroundApp() { Forget(); }

void Win32ForegroundApp::Forget() {
    if (process_ != nullptr) CloseHandle(process_);
    process_ = nullptr;
    processId_ = 0;
    name_.clear();
}

bool Win32ForegroundApp::ReadModuleName(std::string& name) {
    return ReadModuleNameOf(GetForegroundWindow(), name);
}

bool Win32ForegroundApp::ReadModuleNameOf(void* window, std::string& name) {
    DWORD processId = 0;
    GetWindowThreadProcessId(static_cast<HWND>(window), &processId);
    // Enumerating another process's modules is slow (milliseconds under Wine), too
    // slow for every touch batch of a fast panel.
    if (process_ != nullptr && processId == processId_ &&
        WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        EmptyWorkingSet(process_);
        name = name_;
        return true;
    }
    Forget();
    char buffer[kNameBufferSize];
    PresetUnknown(buffer);
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
        if (read) {
            process_ = process;
            processId_ = processId;
            name_ = buffer;
        } else {
            CloseHandle(process);
        }
    }
    name = read ? buffer : kUnknown;
    return read;
}

bool Win32ForegroundApp::ReadWindowTitle(std::string& title) {
    ReadWindowTitleOf(GetForegroundWindow(), title);
    return true;
}

void Win32ForegroundApp::ReadWindowTitleOf(void* window, std::string& title) {
    char buffer[kNameBufferSize];
    PresetUnknown(buffer);
    GetWindowTextA(static_cast<HWND>(window), buffer, kNameBufferSize);
    buffer[kNameBufferSize - 1] = '\0';
    title = buffer;
}

}  // namespace tactra
