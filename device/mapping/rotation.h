// Display orientation and size, the correction for the adapter whose driver reports
// the two quarter turns swapped, and the transform from record coordinates
// (hundredths of a pixel, unrotated frame) to screen pixels of the current
// orientation.
#pragma once

#include <cstdint>

#include "device/panel/panel.h"  // kSwappedOrientationProvider
#include "platform/display.h"

namespace tactra {

// The current display mode as the engine uses it (the main dialog's W, H,
// m_iOrientation and m_bAtiAdapter).
struct DisplayState {
    int32_t width = 0;  // 0 until the first successful read
    int32_t height = 0;
    int32_t orientation = 0;  // after the adapter's correction: 0..3 quarter turns
    bool atiAdapter = false;  // the adapter reports quarter turns 1 and 3 swapped
    // Set while positions go to a chosen monitor (device/mapping/monitor.h): the width,
    // height and orientation above are then that monitor's, and absolute events go
    // over the virtual desktop, on which the monitor's top left corner lies here.
    bool onMonitor = false;
    int32_t monitorLeft = 0;
    int32_t monitorTop = 0;
    DesktopRect virtualScreen;
};

// Whether the adapter's provider is exactly kSwappedOrientationProvider (false also
// when the provider cannot be read).
bool DetectDisplayAdapter(Display& display);

// Exchanges 1 and 3 when the adapter reports them swapped.
int32_t CorrectOrientation(int32_t reported, bool atiAdapter);

// Refreshes the width, height and orientation from the current mode. On failure all three
// keep their values and false is returned.
bool ReadDisplayMode(Display& display, DisplayState& state);

// Start-up: the first read of the mode, then the adapter check, whose correction
// is applied to the orientation already read.
void InitDisplayState(Display& display, DisplayState& state);

// Record position (hundredths of a pixel) to screen pixels. Division truncates
// toward zero. For an orientation outside 0..3, returns false and leaves screenX,
// screenY unchanged.
bool TransformToScreen(const DisplayState& state, int32_t x, int32_t y, int32_t& screenX,
                       int32_t& screenY);

}  // namespace tactra
