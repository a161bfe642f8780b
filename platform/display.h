// Port: the primary display's current mode, the display adapter's provider, and the
// monitors of the desktop. The Win32 adapter uses EnumDisplaySettingsA and the display
// class registry keys; for the monitors EnumDisplayMonitors, GetMonitorInfoA,
// EnumDisplaySettingsA with each monitor's device name, and GetSystemMetrics for the
// virtual screen.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tactra {

struct DisplayMode {
    uint32_t width = 0;
    uint32_t height = 0;
    int32_t orientation = 0;  // as the driver reports it: 0..3 quarter turns
};

// A rectangle of the virtual desktop, in its pixels; the origin may be negative
// (a monitor left of or above the primary one).
struct DesktopRect {
    int32_t left = 0;
    int32_t top = 0;
    uint32_t width = 0;
    uint32_t height = 0;
};

// One attached monitor.
struct MonitorInfo {
    std::string name;  // the device name as the system reports it ("\\.\DISPLAY2")
    DesktopRect rect;
    int32_t orientation = 0;  // its own mode's, as the driver reports it
    bool primary = false;
};

// The desktop: every attached monitor and the virtual screen that holds them all.
struct DesktopLayout {
    std::vector<MonitorInfo> monitors;
    DesktopRect virtualScreen;
};

class Display {
public:
    virtual ~Display() = default;
    // The current mode of the primary display; false when the query fails.
    virtual bool ReadCurrentMode(DisplayMode& mode) = 0;
    // The provider name of the display adapter examined at start-up; false when
    // no adapter key opened or its value could not be read.
    virtual bool ReadAdapterProvider(std::string& provider) = 0;
    // The attached monitors and the virtual screen; false when they cannot be
    // listed. An adapter that cannot list them keeps this answer, and a chosen
    // monitor then counts as not attached: positions go to the primary display.
    virtual bool ReadDesktop(DesktopLayout& layout) {
        layout = DesktopLayout();
        return false;
    }
};

}  // namespace tactra
