#include "platform/win32/win32_display.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace tactra {

bool Win32Display::ReadCurrentMode(DisplayMode& mode) {
    DEVMODEA devMode;
    std::memset(&devMode, 0, sizeof devMode);
    devMode.dmSize = sizeof devMode;
    if (!EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &devMode)) return false;
    mode.width = devMode.dmPelsWidth;
    mode.height = devMode.dmPelsHeight;
    // dmDisplayOrientation shares its place with the printer fields of the union.
    mode.orientation = static_cast<int32_t>(devMode.dmDisplayOrientation);
    return true;
}

bool Win32Display::ReadAdapterProvider(std::string& provider) {
    // Only the highest-numbered key that opens is examined.
    for (int index = kDisplayAdapterKeyCount - 1; index >= 0; --index) {
        char name[160];
        std::snprintf(name, sizeof name, "%s\\%04d", kDisplayClassKey, index);
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, name, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
            continue;
        }
        char value[kProviderNameBufferSize] = {};
        DWORD size = sizeof value;
        // The bytes are compared whatever type the value is stored with.
        const LONG result = RegQueryValueExA(key, "ProviderName", nullptr, nullptr,
                                             reinterpret_cast<BYTE*>(value), &size);
        RegCloseKey(key);
        if (result != ERROR_SUCCESS) return false;
        // A value stored without its terminator still ends inside the buffer.
        const size_t length = strnlen(value, size < sizeof value ? size : sizeof value);
        if (length >= sizeof value) return false;
        provider.assign(value, length);
        return true;
    }
    return false;
}

namespace {

BOOL CALLBACK AddMonitor(HMONITOR handle, HDC /*dc*/, LPRECT /*clip*/, LPARAM context) {
    auto& monitors = *reinterpret_cast<std::vector<MonitorInfo>*>(context);
    MONITORINFOEXA info;
    std::memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    // A monitor that went away while the list was being made is left out.
    if (!GetMonitorInfoA(handle, &info)) return TRUE;
    MonitorInfo monitor;
    monitor.name.assign(info.szDevice, strnlen(info.szDevice, sizeof info.szDevice));
    monitor.rect.left = info.rcMonitor.left;
    monitor.rect.top = info.rcMonitor.top;
    monitor.rect.width = info.rcMonitor.right > info.rcMonitor.left
                             ? static_cast<uint32_t>(info.rcMonitor.right - info.rcMonitor.left)
                             : 0;
    monitor.rect.height = info.rcMonitor.bottom > info.rcMonitor.top
                              ? static_cast<uint32_t>(info.rcMonitor.bottom - info.rcMonitor.top)
                              : 0;
    monitor.primary = (info.dwFlags & MONITORINFOF_PRIMARY) != 0;
    DEVMODEA devMode;
    std::memset(&devMode, 0, sizeof devMode);
    devMode.dmSize = sizeof devMode;
    // Without its own mode the monitor keeps orientation 0.
    if (EnumDisplaySettingsA(info.szDevice, ENUM_CURRENT_SETTINGS, &devMode))
        monitor.orientation = static_cast<int32_t>(devMode.dmDisplayOrientation);
    monitors.push_back(monitor);
    return TRUE;
}

}  // namespace

bool Win32Display::ReadDesktop(DesktopLayout& layout) {
    if (desktopKeepMs_ == 0) return ListDesktop(layout);
    const uint32_t now = GetTickCount();
    if (!kept_ || now - keptTick_ >= desktopKeepMs_) {
        keptResult_ = ListDesktop(keptLayout_);
        keptTick_ = now;
        kept_ = true;
    }
    layout = keptLayout_;
    return keptResult_;
}

bool Win32Display::ListDesktop(DesktopLayout& layout) {
    layout = DesktopLayout();
    if (!EnumDisplayMonitors(nullptr, nullptr, AddMonitor,
                             reinterpret_cast<LPARAM>(&layout.monitors)) ||
        layout.monitors.empty())
        return false;
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    layout.virtualScreen.left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    layout.virtualScreen.top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    layout.virtualScreen.width = width > 0 ? static_cast<uint32_t>(width) : 0;
    layout.virtualScreen.height = height > 0 ? static_cast<uint32_t>(height) : 0;
    return true;
}

}  // namespace tactra
