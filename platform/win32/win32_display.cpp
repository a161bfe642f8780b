#include "platform/win32/win32_display.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

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

}  // namespace tactra
