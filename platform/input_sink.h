// Port: where synthetic keyboard and mouse input goes, and the key state the
// system reports. The Win32 adapter plays into keybd_event/mouse_event; tests and
// tactra-replay record.
#pragma once

#include <cstdint>

namespace tactra {

// Absolute mouse coordinates span 0..65535 over the screen: pixel * 65536 / extent.
// A position beyond the screen (past the calibrated limits, or the far edge itself)
// goes to the nearest edge. `extent` must not be 0.
inline int32_t AbsoluteMouseCoordinate(int64_t pixel, uint32_t extent) {
    const int64_t v = pixel * 65536 / static_cast<int64_t>(extent);
    if (v > 65535) return 65535;
    if (v < 0) return 0;
    return static_cast<int32_t>(v);
}

// Absolute mouse coordinates over the whole virtual desktop (with
// kMouseEventVirtualDesk) for a pixel of one monitor: the pixel is first held inside
// the monitor, so that a position beyond its edge stays on it rather than reaching
// its neighbour, then taken to the virtual desktop and scaled there. The scaling
// rounds up: the system's own conversion back to a pixel truncates, and a truncated
// value would land one pixel short, on the neighbouring monitor at the left or top
// edge. Extents must not be 0.
inline int32_t VirtualDeskMouseCoordinate(int64_t pixel, int32_t monitorOrigin,
                                          uint32_t monitorExtent, int32_t virtualOrigin,
                                          uint32_t virtualExtent) {
    if (pixel < 0) pixel = 0;
    if (pixel >= static_cast<int64_t>(monitorExtent))
        pixel = static_cast<int64_t>(monitorExtent) - 1;
    const int64_t desktop = static_cast<int64_t>(monitorOrigin) + pixel - virtualOrigin;
    if (desktop <= 0) return 0;
    const int64_t extent = static_cast<int64_t>(virtualExtent);
    const int64_t v = (desktop * 65536 + extent - 1) / extent;
    return v > 65535 ? 65535 : static_cast<int32_t>(v);
}

constexpr uint8_t kVkShift = 0x10;
constexpr uint8_t kVkControl = 0x11;
constexpr uint8_t kVkLMenu = 0xA4;  // left Alt

constexpr uint32_t kMouseEventMove = 0x0001;
constexpr uint32_t kMouseEventLeftDown = 0x0002;
constexpr uint32_t kMouseEventLeftUp = 0x0004;
constexpr uint32_t kMouseEventRightDown = 0x0008;
constexpr uint32_t kMouseEventRightUp = 0x0010;
constexpr uint32_t kMouseEventWheel = 0x0800;
constexpr uint32_t kMouseEventVirtualDesk = 0x4000;  // absolute over the virtual desktop
constexpr uint32_t kMouseEventAbsolute = 0x8000;

constexpr int32_t kWheelDelta = 120;

class InputSink {
public:
    virtual ~InputSink() = default;
    // One key press (up = false) or release (up = true) of a virtual key.
    virtual void KeyEvent(uint8_t vk, bool up) = 0;
    // One mouse event: flags, coordinates and wheel data as the platform takes them.
    virtual void MouseEvent(uint32_t flags, int32_t dx, int32_t dy, int32_t data) = 0;
    // Whether the system reports the key as down.
    virtual bool IsKeyDown(uint8_t vk) = 0;
};

}  // namespace tactra
