#include "tpinput/touch_library.h"

#include <algorithm>
#include <limits>

#include "device/mapping/device_sections.h"
#include "device/mapping/report_pipeline.h"
#include "platform/diagnostic_log.h"
#include "platform/saturate.h"

namespace tactra {

namespace {

// Adds a sample to a running sum unless the sum or the count would overflow.
bool AddSample(CalibrationPoint& p, const CalibrationPoint& sample) {
    const int64_t x = static_cast<int64_t>(p.x) + sample.x;
    const int64_t y = static_cast<int64_t>(p.y) + sample.y;
    if (x != SaturateInt32(x) || y != SaturateInt32(y) ||
        p.count == std::numeric_limits<int32_t>::max()) {
        return false;
    }
    p.x = static_cast<int32_t>(x);
    p.y = static_cast<int32_t>(y);
    p.count += 1;
    return true;
}

// Mouse input for contact 1's transition, when emulation is on.
void EmulateMouse(const LibraryPorts& ports, bool touchingNow, bool touchingBefore, MappedPoint p,
                  const DisplayState& screen) {
    if (!touchingNow) {
        // The release carries no position, so it needs no screen size: a button
        // pressed earlier is always released.
        if (touchingBefore) ports.input->MouseEvent(kMouseEventLeftUp, 0, 0, 0);
        return;
    }
    if (screen.width <= 0 || screen.height <= 0) return;
    const auto width = static_cast<uint32_t>(screen.width);
    const auto height = static_cast<uint32_t>(screen.height);
    // Positions are hundredths of a pixel of the monitor (or the primary display).
    uint32_t absolute = kMouseEventAbsolute;
    int32_t dx, dy;
    if (screen.onMonitor) {
        const DesktopRect& v = screen.virtualScreen;
        absolute |= kMouseEventVirtualDesk;
        dx = VirtualDeskMouseCoordinate(p.x / 100, screen.monitorLeft, width, v.left, v.width);
        dy = VirtualDeskMouseCoordinate(p.y / 100, screen.monitorTop, height, v.top, v.height);
    } else {
        dx = AbsoluteMouseCoordinate(p.x / 100, width);
        dy = AbsoluteMouseCoordinate(p.y / 100, height);
    }
    ports.input->MouseEvent(kMouseEventMove | absolute, dx, dy, 0);
    if (!touchingBefore) ports.input->MouseEvent(kMouseEventLeftDown | absolute, dx, dy, 0);
}

}  // namespace

CalibrationLimits CalibrationFile::LoadLimits(int32_t logicalMaxX, int32_t logicalMaxY) {
    // Asked by name, relative to the current directory; the full path is built only
    // to read the file.
    if (watch_.Check(files_, kCalibrationFileName, clock_.TickCount())) loaded_.clear();
    for (const Loaded& l : loaded_) {
        if (l.section == section_ && l.logicalMaxX == logicalMaxX && l.logicalMaxY == logicalMaxY) {
            limits_ = l.limits;
            monitor_ = l.monitor;
            settings_ = l.settings;
            return limits_;
        }
    }
    const CIni ini = CurrentCalibrationFile();
    Loaded l;
    l.section = section_;
    l.logicalMaxX = logicalMaxX;
    l.logicalMaxY = logicalMaxY;
    l.limits = LoadCalibrationLimits(ini, logicalMaxX, logicalMaxY, section_.c_str());
    l.monitor = ReadMonitorName(ini, section_.c_str());
    std::vector<std::string> notes;
    l.settings = ReadTouchSettings(ini, section_.c_str(), notes);
    for (const std::string& note : notes) ProcessLog().Write("%s", note.c_str());
    // One entry per device at most; other maxima replace the section's entry.
    loaded_.erase(std::remove_if(loaded_.begin(), loaded_.end(),
                                 [this](const Loaded& e) { return e.section == section_; }),
                  loaded_.end());
    loaded_.push_back(l);
    limits_ = l.limits;
    monitor_ = l.monitor;
    settings_ = l.settings;
    return limits_;
}

void CalibrationFile::Write(const CalibrationPoint points[kCalibrationPointCount]) {
    const CIni ini = CurrentCalibrationFile();
    // A device's own section beside [Config]: [Config] keeps the device it has now.
    if (section_ != kCalibrationSection) PinConfigOwner(ini, configOwner_);
    WriteCalibrationFile(ini, points, section_.c_str());
    watch_.Invalidate();
    loaded_.clear();
}

void CalibrationFile::UseSection(const std::string& section, const std::string& configOwner) {
    section_ = section;
    configOwner_ = configOwner;
}

void CompleteRegistration(TouchLibraryState& state, void* targetWindow, uint32_t touchMessage,
                          int32_t mode) {
    state.targetWindow = targetWindow;
    state.touchMessage = touchMessage;
    if (state.recordBlock) {
        std::fill_n(state.recordBlock.get(), kTouchRecordCapacity, TOUCHINPUT());
    } else {
        state.recordBlock.reset(new TOUCHINPUT[kTouchRecordCapacity]());
    }
    state.recordsInBlock = 0;
    state.registrationMode = mode;
    if (mode == kMouseEmulationMode) state.mouseEmulation = true;
}

bool ProcessPanelReport(TouchLibraryState& state, const LibraryPorts& ports, const uint8_t* data,
                        size_t length) {
    if (!state.recordBlock) return false;  // not registered: nobody to send to

    const uint32_t osMajor = ports.os->MajorVersion();
    state.limits = ports.calibration->LoadLimits(state.panel.logicalMaxX, state.panel.logicalMaxY);
    state.monitor.Choose(ports.calibration->MonitorName());
    state.smoother.SetStrength(ports.calibration->Settings().smoothing);
    // Read afresh for every report; a failed read leaves no size (W = H = 0).
    DisplayState screen;
    const DisplayTarget target = ReadDisplayTarget(*ports.display, state.monitor.Name(), screen);
    if (target != DisplayTarget::kFailed) state.monitor.Saw(target == DisplayTarget::kMonitor);

    const bool before1 = state.batches.Touching1();
    TOUCHINPUT* records = state.recordBlock.get();
    ReportBatch batch;
    if (ReportToBatch(state.batches, data, length, state.limits,
                      MakeScreenScale(static_cast<uint32_t>(screen.width),
                                      static_cast<uint32_t>(screen.height)),
                      state.source, ports.clock->TickCount(), records, batch,
                      &state.smoother) != ReportOutcome::kBatch)
        return false;
    if (screen.onMonitor) {
        // The client gets desktop positions: the monitor's place added.
        for (int i = 0; i < 2; ++i) {
            records[i].x = SaturateInt32(int64_t{records[i].x} + int64_t{screen.monitorLeft} * 100);
            records[i].y = SaturateInt32(int64_t{records[i].y} + int64_t{screen.monitorTop} * 100);
        }
    }
    const PanelInputReport& report = batch.report;

    if (state.captureFlag) {
        state.sample.x = report.contact1.x;
        state.sample.y = report.contact1.y;
    }

    const bool now1 = report.contact1.Touching();
    if (now1 || before1) {
        if (state.registrationMode == kMouseEmulationMode) {
            state.mouseEmulation = !report.contact2.Touching();
        }
        if (state.mouseEmulation && osMajor == kMouseEmulationOsMajor) {
            EmulateMouse(ports, now1, before1, batch.p1, screen);
        }
    }

    state.recordsInBlock = static_cast<uint32_t>(batch.count);
    ports.messages->Send(state.targetWindow, state.touchMessage, static_cast<uint32_t>(batch.count),
                         records);
    return true;
}

bool ProcessDeviceReport(TouchLibraryState& state, LibraryDevice& device, int32_t index,
                         bool drivesMouse, const LibraryPorts& ports, const uint8_t* data,
                         size_t length) {
    // The device's reading in the library's state for this one report.
    const auto exchange = [&state, &device] {
        std::swap(state.panel.logicalMaxX, device.panel.logicalMaxX);
        std::swap(state.panel.logicalMaxY, device.panel.logicalMaxY);
        std::swap(state.batches, device.batches);
        std::swap(state.smoother, device.smoother);
        std::swap(state.limits, device.limits);
        std::swap(state.monitor, device.monitor);
        std::swap(state.source, device.source);
    };
    exchange();
    ports.calibration->UseSection(device.section, device.configOwner);
    const bool capture = state.captureFlag;
    const bool emulation = state.mouseEmulation;
    const int32_t mode = state.registrationMode;
    if (index != state.captureDevice) state.captureFlag = false;
    if (!drivesMouse) {
        state.mouseEmulation = false;
        state.registrationMode = 0;  // its touches do not switch the emulation either
    }
    const bool sent = ProcessPanelReport(state, ports, data, length);
    state.captureFlag = capture;
    if (!drivesMouse) {
        state.mouseEmulation = emulation;
        state.registrationMode = mode;
    }
    exchange();
    return sent;
}

bool CopyTouchRecords(const TouchLibraryState& state, const void* handle, uint32_t count,
                      TOUCHINPUT* records, int32_t size) {
    const TOUCHINPUT* block = state.recordBlock.get();
    if (block == nullptr || handle != block || state.recordsInBlock == 0 || records == nullptr ||
        size != static_cast<int32_t>(sizeof(TOUCHINPUT)) || count == 0 ||
        count > static_cast<uint32_t>(kTouchRecordCapacity)) {
        return false;
    }
    std::copy_n(block, std::min(count, state.recordsInBlock), records);
    return true;
}

int32_t ApplySetCalibrate(TouchLibraryState& state, const LibraryPorts& ports, int32_t start) {
    if (start != 0) {
        state.captureFlag = true;
        state.captureDevice = start > 0 ? start - 1 : 0;
        state.limits.minX = 0;
        state.limits.minY = 0;
        state.limits.maxX = state.limits.xRange = kCalibrationModeLimit;
        state.limits.maxY = state.limits.yRange = kCalibrationModeLimit;
        return kCalibrationModeLimit;
    }
    state.captureFlag = false;
    ports.calibration->Write(state.points);
    return 1;
}

int32_t ApplyCalibrateEvent(TouchLibraryState& state, const LibraryPorts& ports, int32_t type,
                            int32_t point) {
    if (point < 1 || point > kCalibrationPointCount) return 0;
    CalibrationPoint& p = state.points[point - 1];
    switch (type) {
        case kCalibrateDown:
            p.x = state.sample.x;
            p.y = state.sample.y;
            p.count = 1;
            return 1;
        case kCalibrateMove: {
            const uint32_t now = ports.clock->TickCount();
            if (now - state.lastMoveTime < kCalibrationMoveSpacingMs) return 0;
            if (!AddSample(p, state.sample)) return 0;
            state.lastMoveTime = now;
            return 1;
        }
        case kCalibrateUp:
            if (p.count == 0) return 0;
            p.x /= p.count;
            p.y /= p.count;
            p.count = 0;
            return 1;
        default:
            return 0;
    }
}

}  // namespace tactra
