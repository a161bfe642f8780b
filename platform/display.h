// Port: the primary display's current mode and the display adapter's provider.
// The Win32 adapter uses EnumDisplaySettingsA and the display class registry keys.
#pragma once

#include <cstdint>
#include <string>

namespace tactra {

struct DisplayMode {
    uint32_t width = 0;
    uint32_t height = 0;
    int32_t orientation = 0;  // as the driver reports it: 0..3 quarter turns
};

class Display {
public:
    virtual ~Display() = default;
    // The current mode of the primary display; false when the query fails.
    virtual bool ReadCurrentMode(DisplayMode& mode) = 0;
    // The provider name of the display adapter examined at start-up; false when
    // no adapter key opened or its value could not be read.
    virtual bool ReadAdapterProvider(std::string& provider) = 0;
};

}  // namespace tactra
