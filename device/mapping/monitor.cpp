#include "device/mapping/monitor.h"

#include <cctype>

#include "platform/diagnostic_log.h"
#include "platform/saturate.h"

namespace tactra {

bool SameMonitorName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

const MonitorInfo* FindMonitor(const DesktopLayout& layout, const std::string& name) {
    if (name.empty()) return nullptr;
    for (const MonitorInfo& monitor : layout.monitors) {
        if (SameMonitorName(monitor.name, name)) return &monitor;
    }
    return nullptr;
}

bool FindAttachedMonitor(Display& display, const std::string& name, MonitorInfo& monitor,
                         DesktopRect& virtualScreen) {
    if (name.empty()) return false;
    DesktopLayout layout;
    if (!display.ReadDesktop(layout)) return false;
    const MonitorInfo* found = FindMonitor(layout, name);
    if (found == nullptr || found->rect.width == 0 || found->rect.height == 0 ||
        layout.virtualScreen.width == 0 || layout.virtualScreen.height == 0)
        return false;
    monitor = *found;
    virtualScreen = layout.virtualScreen;
    return true;
}

ScreenScale ReadScreenScale(Display& display, const std::string& monitorName) {
    MonitorInfo monitor;
    DesktopRect virtualScreen;
    if (FindAttachedMonitor(display, monitorName, monitor, virtualScreen))
        return MakeScreenScale(monitor.rect.width, monitor.rect.height);
    DisplayMode mode;
    return display.ReadCurrentMode(mode) ? MakeScreenScale(mode.width, mode.height) : ScreenScale();
}

PanelMapping LoadPanelMapping(Display& display, int32_t logicalMaxX, int32_t logicalMaxY,
                              const char* section, std::vector<std::string>* notes) {
    PanelMapping mapping;
    if (section == nullptr) {
        mapping.limits = PanelRangeLimits(logicalMaxX, logicalMaxY);
    } else {
        const CIni ini = CurrentCalibrationFile();
        mapping.limits = LoadCalibrationLimits(ini, logicalMaxX, logicalMaxY, section);
        mapping.monitor = ReadMonitorName(ini, section);
        std::vector<std::string> own;
        mapping.settings = ReadTouchSettings(ini, section, notes != nullptr ? *notes : own);
        for (const std::string& note : own) ProcessLog().Write("%s", note.c_str());
    }
    mapping.scale = ReadScreenScale(display, mapping.monitor);
    return mapping;
}

ScreenScale ReportScreenScale(Display& display, const PanelMapping& mapping) {
    return mapping.monitor.empty() ? mapping.scale : ReadScreenScale(display, mapping.monitor);
}

DisplayTarget ReadDisplayTarget(Display& display, const std::string& monitorName,
                                DisplayState& state) {
    MonitorInfo monitor;
    DesktopRect virtualScreen;
    if (FindAttachedMonitor(display, monitorName, monitor, virtualScreen)) {
        state.width = SaturateInt32(monitor.rect.width);
        state.height = SaturateInt32(monitor.rect.height);
        state.orientation = CorrectOrientation(monitor.orientation, state.atiAdapter);
        state.onMonitor = true;
        state.monitorLeft = monitor.rect.left;
        state.monitorTop = monitor.rect.top;
        state.virtualScreen = virtualScreen;
        return DisplayTarget::kMonitor;
    }
    if (!ReadDisplayMode(display, state)) return DisplayTarget::kFailed;
    state.onMonitor = false;
    return DisplayTarget::kPrimary;
}

void MonitorChoice::Choose(const std::string& name) {
    if (name == name_) return;
    name_ = name;
    missing_ = false;
}

void MonitorChoice::Saw(bool attached) {
    if (name_.empty() || attached != missing_) return;
    missing_ = !attached;
    if (missing_) {
        ProcessLog().Write("Monitor %s is not attached: touch goes to the primary monitor",
                           name_.c_str());
    } else {
        ProcessLog().Write("Monitor %s is attached again: touch goes to it", name_.c_str());
    }
}

}  // namespace tactra
