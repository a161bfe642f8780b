#include "tests/support/monitors_win32.h"

#include <utility>

namespace tactra {
namespace testing {
namespace {

// A named function, not a lambda: the system calls it with the stdcall convention,
// which a lambda's conversion does not give on 32-bit Windows.
BOOL CALLBACK AddMonitor(HMONITOR handle, HDC, LPRECT, LPARAM context) {
    MONITORINFOEXA info = {};
    info.cbSize = sizeof info;
    if (GetMonitorInfoA(handle, &info))
        reinterpret_cast<std::vector<MONITORINFOEXA>*>(context)->push_back(info);
    return TRUE;
}

}  // namespace

std::vector<MONITORINFOEXA> AttachedMonitors() {
    std::vector<MONITORINFOEXA> monitors;
    EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors));
    for (size_t i = 1; i < monitors.size(); ++i) {
        if (monitors[i].dwFlags & MONITORINFOF_PRIMARY) std::swap(monitors[0], monitors[i]);
    }
    return monitors;
}

}  // namespace testing
}  // namespace tactra
