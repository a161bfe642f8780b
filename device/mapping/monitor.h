// The monitor the panel drives. "Calibrate.ini" may name one (`Monitor=`, see
// device/mapping/calibration.h); while it is attached, positions are mapped onto its
// rectangle and absolute mouse events go over the whole virtual desktop. Without a
// name, or while the named monitor is not attached, the primary display is used
// exactly as it is without monitors: its current mode and plain absolute events.
#pragma once

#include <string>
#include <vector>

#include "device/mapping/calibration.h"
#include "device/mapping/rotation.h"
#include "device/mapping/touch_settings.h"
#include "platform/display.h"

namespace tactra {

// Device names are compared without regard to case, as the system compares them.
bool SameMonitorName(const std::string& a, const std::string& b);

// The monitor of `layout` named `name`; null for an empty name or when none is.
const MonitorInfo* FindMonitor(const DesktopLayout& layout, const std::string& name);

// The monitor named `name` and the virtual screen, when it is attached and both
// have a size; false otherwise (always for an empty name, without asking the port).
bool FindAttachedMonitor(Display& display, const std::string& name, MonitorInfo& monitor,
                         DesktopRect& virtualScreen);

// The scale a panel opening maps positions with: the named monitor's size while it is
// attached, otherwise the primary display's current mode (0 when that read fails).
ScreenScale ReadScreenScale(Display& display, const std::string& monitorName);

// What an opening of the panel loads from "Calibrate.ini" in the current directory
// and the display: the limits, the chosen monitor and the scale the positions are
// mapped with, from the device's section of the file (null: none, the panel's full
// range on the primary display).
struct PanelMapping {
    CalibrationLimits limits;
    std::string monitor;  // empty: the primary display
    ScreenScale scale;
    TouchSettings settings;  // how a touch feels on the device
};
// Keys of the settings that take their defaults are noted in `notes`, or without it
// in the diagnostic log.
PanelMapping LoadPanelMapping(Display& display, int32_t logicalMaxX, int32_t logicalMaxY,
                              const char* section = kCalibrationSection,
                              std::vector<std::string>* notes = nullptr);

// The scale for one report. Without a monitor it is the opening's, as it has always
// been (a new display mode takes effect at the next opening). With one, it follows
// the screen the positions go to at this report: the chosen monitor, or the primary
// display while that monitor is away, so that a fallback maps onto the whole primary
// display rather than onto a rectangle of the absent monitor's size.
ScreenScale ReportScreenScale(Display& display, const PanelMapping& mapping);

enum class DisplayTarget {
    kFailed,   // nothing could be read: the state is as it was
    kPrimary,  // the primary display's current mode
    kMonitor,  // the named monitor
};

// The display for one batch: the named monitor's size, orientation (with the
// adapter's correction) and placement while it is attached; otherwise the primary
// display's mode as ReadDisplayMode reads it, with onMonitor cleared. A failed read
// keeps the whole state of the previous batch.
DisplayTarget ReadDisplayTarget(Display& display, const std::string& monitorName,
                                DisplayState& state);

// A reader's chosen monitor and whether it was found when last looked for: each
// time it goes missing (also the first time, when it is not attached at all), the
// diagnostic log says so once, and again once when it is back.
class MonitorChoice {
public:
    // A new name (empty: none) starts afresh; the same name again keeps what was seen.
    void Choose(const std::string& name);
    const std::string& Name() const { return name_; }
    // Whether the monitor was found in this look.
    void Saw(bool attached);
    bool Missing() const { return missing_; }

private:
    std::string name_;
    bool missing_ = false;
};

}  // namespace tactra
