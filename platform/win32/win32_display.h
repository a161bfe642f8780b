// Win32 adapter of the display port: the primary display's current mode from
// EnumDisplaySettingsA, the provider name of the highest-numbered display adapter
// key that opens, and the monitors of the desktop (EnumDisplayMonitors,
// GetMonitorInfoA, each monitor's own mode by its device name, and the virtual
// screen from GetSystemMetrics).
#pragma once

#include <string>

#include "platform/display.h"

namespace tactra {

// The display adapter class key; instances 0000 .. 0019 lie below it.
constexpr const char* kDisplayClassKey =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E968-E325-11CE-BFC1-08002BE10318}";
constexpr int kDisplayAdapterKeyCount = 20;
// The provider name is read into a buffer of this many bytes, terminator included.
constexpr unsigned kProviderNameBufferSize = 50;

class Win32Display : public Display {
public:
    bool ReadCurrentMode(DisplayMode& mode) override;
    bool ReadAdapterProvider(std::string& provider) override;
    bool ReadDesktop(DesktopLayout& layout) override;
};

}  // namespace tactra
