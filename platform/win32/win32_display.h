// Win32 adapter of the display port: the primary display's current mode from
// EnumDisplaySettingsA, the provider name of the highest-numbered display adapter
// key that opens, and the monitors of the desktop (EnumDisplayMonitors,
// GetMonitorInfoA, each monitor's own mode by its device name, and the virtual
// screen from GetSystemMetrics).
#pragma once

#include <cstdint>
#include <string>

#include "platform/display.h"

namespace tactra {

// The display adapter class key; instances 0000 .. 0019 lie below it.
constexpr const char* kDisplayClassKey =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E968-E325-11CE-BFC1-08002BE10318}";
constexpr int kDisplayAdapterKeyCount = 20;
// The provider name is read into a buffer of this many bytes, terminator included.
constexpr unsigned kProviderNameBufferSize = 50;

// How long a listed desktop is used again by a port that keeps it (see below):
// listing the monitors costs about 0.4 to 2 ms under Wine, a large part of a 200 Hz
// panel's 5 ms between reports, and a monitor is rarely plugged in or out.
constexpr uint32_t kDesktopKeepMs = 500;

class Win32Display : public Display {
public:
    // `desktopKeepMs` > 0: ReadDesktop lists the monitors at most once in that many
    // milliseconds and answers with the list it made meanwhile.
    explicit Win32Display(uint32_t desktopKeepMs = 0) : desktopKeepMs_(desktopKeepMs) {}
    bool ReadCurrentMode(DisplayMode& mode) override;
    bool ReadAdapterProvider(std::string& provider) override;
    bool ReadDesktop(DesktopLayout& layout) override;

private:
    bool ListDesktop(DesktopLayout& layout);

    uint32_t desktopKeepMs_;
    bool kept_ = false;  // a list was made (successfully or not) at keptTick_
    bool keptResult_ = false;
    uint32_t keptTick_ = 0;
    DesktopLayout keptLayout_;
};

}  // namespace tactra
