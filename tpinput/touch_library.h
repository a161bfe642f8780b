// tpinput's portable core: the library's process-wide state, the processing of one
// panel report into a "WM_TOUCH" batch (with optional mouse emulation of the first
// finger), and the calibration capture. The Win32 side only extracts reports from
// raw input and implements the ports below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device/mapping/calibration.h"
#include "device/hid/hid.h"
#include "device/mapping/monitor.h"
#include "device/mapping/smoothing.h"
#include "device/panel/panel.h"  // the mouse emulation mode and the touch event bits
#include "device/panel/touch_report.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/file_system.h"
#include "platform/input_sink.h"

namespace tactra {

// The raw-input registration the library makes for its message window.
constexpr uint16_t kDigitizerUsagePage = 0x0D;
constexpr uint16_t kTouchScreenUsage = 0x04;
constexpr uint32_t kRawInputSinkFlag = 0x100;  // RIDEV_INPUTSINK

// Contact states as the library keeps them.
constexpr int32_t kContactTouching = 3;
constexpr int32_t kContactNotTouching = 0;

// While capture is on, the limits are these until the next report reloads them.
constexpr int32_t kCalibrationModeLimit = 4096;  // raw units
// Calibration moves closer together than this are ignored (one spacing for all points).
constexpr uint32_t kCalibrationMoveSpacingMs = 100;
constexpr int kCalibrationPointCount = 5;

// Event types of CalibrateEvent: the touch event bits (device/panel/panel.h).
constexpr int32_t kCalibrateMove = static_cast<int32_t>(kTouchEventMove);
constexpr int32_t kCalibrateDown = static_cast<int32_t>(kTouchEventDown);
constexpr int32_t kCalibrateUp = static_cast<int32_t>(kTouchEventUp);

// The invalid-handle value (all bits set) that the records' hSource carries.
inline void* InvalidHandle() { return InvalidPanelHandle(); }

// Port: the system's major version.
class OsVersion {
public:
    virtual ~OsVersion() = default;
    virtual uint32_t MajorVersion() = 0;
};

// Port: "Calibrate.ini" in the current directory.
class CalibrationStore {
public:
    virtual ~CalibrationStore() = default;
    // The file's limits, or 0 .. the logical maxima when any limit key is absent
    // (or the limits are unusable).
    virtual CalibrationLimits LoadLimits(int32_t logicalMaxX, int32_t logicalMaxY) = 0;
    // `Monitor=` of the file as LoadLimits last read it: the monitor the positions
    // go to (empty: the primary display).
    virtual std::string MonitorName() = 0;
    // The device's settings as LoadLimits last read them (the library applies their
    // smoothing; the fixes at registration).
    virtual TouchSettings Settings() { return TouchSettings(); }
    // The five points and the limits derived from them.
    virtual void Write(const CalibrationPoint points[kCalibrationPointCount]) = 0;
    // The section that LoadLimits, MonitorName and Write use from now on (device/mapping/
    // device_sections.h); `configOwner` is the identity [Config] is pinned to when a
    // device's own section is written. [Config] until it is called.
    virtual void UseSection(const std::string& section, const std::string& configOwner) {
        (void)section;
        (void)configOwner;
    }
};

// "Calibrate.ini" in the current directory, its limits kept with the file's identity:
// read again only when the file changed (see FileWatch), for other logical maxima or
// another section, and at once after Write.
class CalibrationFile : public CalibrationStore {
public:
    CalibrationFile(FileSystem& files, Clock& clock) : files_(files), clock_(clock) {}
    CalibrationLimits LoadLimits(int32_t logicalMaxX, int32_t logicalMaxY) override;
    std::string MonitorName() override { return monitor_; }
    TouchSettings Settings() override { return settings_; }
    void Write(const CalibrationPoint points[kCalibrationPointCount]) override;
    void UseSection(const std::string& section, const std::string& configOwner) override;

private:
    std::string section_ = kCalibrationSection;
    std::string configOwner_;
    FileSystem& files_;
    Clock& clock_;
    FileWatch watch_;
    // What the file gave each section, for the maxima it was asked with (with several
    // devices their reports alternate: the file is read only when it changed).
    struct Loaded {
        std::string section;
        int32_t logicalMaxX = 0;
        int32_t logicalMaxY = 0;
        CalibrationLimits limits;
        std::string monitor;
        TouchSettings settings;
    };
    std::vector<Loaded> loaded_;
    CalibrationLimits limits_;
    std::string monitor_;
    TouchSettings settings_;
};

// Port: the synchronous send of the touch message to the registered window.
class TouchMessageSink {
public:
    virtual ~TouchMessageSink() = default;
    virtual void Send(void* window, uint32_t message, uint32_t count,
                      const TOUCHINPUT* records) = 0;
};

// What the report processing and the calibration capture reach the system through.
struct LibraryPorts {
    Clock* clock = nullptr;
    Display* display = nullptr;
    InputSink* input = nullptr;
    OsVersion* os = nullptr;
    CalibrationStore* calibration = nullptr;
    TouchMessageSink* messages = nullptr;
};

struct RawInputRegistration {
    uint16_t usagePage = 0;
    uint16_t usage = 0;
    uint32_t flags = 0;
    void* target = nullptr;
};

// The library's state: one instance per process, zero when the library is loaded.
struct TouchLibraryState {
    // Registration and the panel.
    void* messageWindow = nullptr;
    RawInputRegistration rawInput;
    // The panel that registration opened (closed again at once: raw input delivers
    // its reports), with the maxima its reports are scaled from; reset by
    // ResetPanelDevice (device/hid/hid.h) at every registration and by CloseTouchInputHandle.
    PanelDevice panel;
    // What VersionNumber reports: the attributes of the last panel that counting or
    // registration found (with two panels, the second's while the first is used).
    HidAttributes foundAttributes;
    void* targetWindow = nullptr;
    uint32_t touchMessage = 0;
    // Room for ten records, of which the first two are written: allocated at the
    // first registration and kept for the library's life (a client thread may still
    // read the previous message's records), zeroed at every later registration.
    std::unique_ptr<TOUCHINPUT[]> recordBlock;
    // Records in the latest touch message, 0 before the first one after a
    // registration: what GetTouchInputInfo can hand out.
    uint32_t recordsInBlock = 0;
    int32_t registrationMode = 0;
    bool mouseEmulation = false;
    // The records' hSource: the invalid-handle value, or with several devices the
    // raw-input handle of the device whose report they carry.
    void* source = InvalidHandle();

    // Report processing: the contact states of the previous report live in the
    // batch builder; the limits are asked of the calibration store for every report.
    BatchBuilder batches{ReaderRule::kLibrary};
    ContactSmoother smoother;  // the device's smoothing, as its settings say
    CalibrationLimits limits{0, 0, 0, 0, 0, 0};
    // The monitor of "Calibrate.ini", asked for every report like the limits.
    MonitorChoice monitor;

    // Calibration capture, of the device numbered captureDevice (0: the first).
    bool captureFlag = false;
    int32_t captureDevice = 0;
    CalibrationPoint sample;  // contact 1's raw position in the latest report while capturing
    CalibrationPoint points[kCalibrationPointCount];  // targets 1 .. 5
    uint32_t lastMoveTime = 0;

    int32_t Contact1State() const {
        return batches.Touching1() ? kContactTouching : kContactNotTouching;
    }
};

// One device's reading while several are registered: what ProcessDeviceReport puts in
// the library's state for that device's report, and takes back after it.
struct LibraryDevice {
    PanelDevice panel;  // its logical maxima
    BatchBuilder batches{ReaderRule::kLibrary};
    ContactSmoother smoother;
    CalibrationLimits limits{0, 0, 0, 0, 0, 0};
    MonitorChoice monitor;
    std::string section = kCalibrationSection;  // its section of "Calibrate.ini"
    std::string configOwner;                    // the identity [Config] belongs to
    void* source = nullptr;                     // its raw-input handle
};

// The last steps of a successful registration: the target window and message, the
// zero-filled record block (the same one at every registration), the mode and (for
// kMouseEmulationMode) emulation on.
void CompleteRegistration(TouchLibraryState& state, void* targetWindow, uint32_t touchMessage,
                          int32_t mode);

// One report as raw input delivers it (the first report of the HID block). Sends
// the touch message when the library is registered and the report is at least 13
// bytes long; returns whether it was sent. The records' positions are hundredths of
// a pixel of the virtual desktop: with no monitor chosen (or the chosen one not
// attached), the panel's axes scaled to the primary display's mode, as ever; on a
// chosen monitor, scaled to that monitor's size and moved to its place. Mouse
// emulation then goes over the virtual desktop onto that monitor.
bool ProcessPanelReport(TouchLibraryState& state, const LibraryPorts& ports, const uint8_t* data,
                        size_t length);

// A report of one of several devices, as ProcessPanelReport handles the only one's:
// mapped through the device's own section, its records carrying its handle. Its first
// contact moves the mouse only when `drivesMouse` (touch priority), and feeds the
// calibration capture only when it is the device being calibrated (`index`).
bool ProcessDeviceReport(TouchLibraryState& state, LibraryDevice& device, int32_t index,
                         bool drivesMouse, const LibraryPorts& ports, const uint8_t* data,
                         size_t length);

// GetTouchInputInfo: when `handle` is the record block of the latest touch message,
// `size` is sizeof(TOUCHINPUT), `count` is 1 to kTouchRecordCapacity and `records`
// is not null, copies min(count, records in that message) records and returns true;
// otherwise copies nothing and returns false.
bool CopyTouchRecords(const TouchLibraryState& state, const void* handle, uint32_t count,
                      TOUCHINPUT* records, int32_t size);

// SetCalibrate: a non-zero `start` switches capture on for the device numbered
// start - 1 (1, as ever: the first device; 2: the second ...) and returns 4096; 0 ends
// the capture, writes "Calibrate.ini" (that device's section) and returns 1.
int32_t ApplySetCalibrate(TouchLibraryState& state, const LibraryPorts& ports, int32_t start);

// CalibrateEvent: down, move or up of target `point` (1 .. 5) with the current
// sample. Returns 1 when it changed the point, 0 when it did nothing.
int32_t ApplyCalibrateEvent(TouchLibraryState& state, const LibraryPorts& ports, int32_t type,
                            int32_t point);

}  // namespace tactra
