// Panel traces: a text file of directives that replays a touch session without the
// panel (tactra-replay, and Tactra's replay panel source), and the lines the
// recorder writes for a real panel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/display.h"

namespace tactra {

enum class TraceOp {
    kOs,               // args: major
    kLang,             // args: language identifier
    kMode,             // args: mouse mode 96, 97 or 98
    kDisplay,          // args: width, height, orientation
    kDisplayFail,      //
    kAdapter,          // texts: provider name
    kPanel,            // args: logical maximum X, Y
    kForeground,       // texts: module file name, window title
    kKeyboard,         // args: virtual key, 1 down / 0 up
    kFile,             // texts: name, content (each line ending in CR LF)
    kRemove,           // texts: name
    kFolder,           // args: 1 the program cannot create files in it, 0 it can
    kReopen,           //
    kReport,           // bytes: the input report
    kRegister,         // args: mode (library only)
    kCalibrateStart,   // (library only)
    kCalibrateEvent,   // args: event type, point number (library only)
    kCalibrateFinish,  // (library only)
    kDescriptor,       // bytes: a touch screen's report descriptor (checked when parsed)
    kLayout,           // texts: a touch screen's contact layout in its text form
    kIds,              // args: vendor ID, product ID (for the quirk table)
    kInput,            // bytes: one input report of that screen
    kMonitor,          // texts: device name; args: x, y, width, height, orientation, 1 primary
    kUnplugMonitor,    // texts: device name
    kTouchEnabled,     // args: 1 on, 0 off
    kDevice,           // texts: name, interface path; args: 1 declares it, 0 makes it current
    kUnplug,           // the current device is unplugged (its reading ends)
};

// The most devices one trace may declare (Tactra serves fewer; the rest are skipped).
constexpr int kMaxTraceDevices = 16;

struct TraceStep {
    TraceOp op = TraceOp::kReopen;
    int line = 0;       // line number in the file, from 1
    uint32_t tick = 0;  // the clock's tick when the directive happens
    std::vector<int64_t> args;
    std::vector<std::string> texts;
    std::vector<uint8_t> bytes;
};

// The monitor a `monitor` step declares.
MonitorInfo TraceMonitor(const TraceStep& step);

struct TraceError {
    int line = 0;
    std::string reason;
};

struct TraceOptions {
    bool library = false;  // accept `register` and `calibrate`
};

// Parses a whole trace. On failure returns false with the first error's line and
// reason; `steps` is then incomplete and must not be run.
bool ParseTrace(std::string_view text, const TraceOptions& options, std::vector<TraceStep>& steps,
                TraceError& error);

// Reads and parses a file. A file that cannot be read is an error at line 0.
bool LoadTraceFile(const std::string& path, const TraceOptions& options,
                   std::vector<TraceStep>& steps, TraceError& error);

// The lines a recorder writes (each without a line end).
std::string FormatPanelLine(int32_t maxX, int32_t maxY);
std::string FormatReportLine(uint32_t tick, const uint8_t* data, size_t length);

// The lines a recorder writes for a touch screen described by its layout.
std::string FormatLayoutLine(uint32_t tick, const std::string& layoutText);
std::string FormatIdsLine(uint32_t tick, uint16_t vendorId, uint16_t productId);
std::string FormatInputLine(uint32_t tick, const uint8_t* data, size_t length);
// `device NAME "PATH"` (declaring) or `device NAME` (switching).
std::string FormatDeviceLine(uint32_t tick, const std::string& name, const std::string& path,
                             bool declare);

// `touch` shorthand: the report bytes for two contacts (identifiers 0 and 1).
std::vector<uint8_t> MakeTouchReport(bool touching1, uint16_t x1, uint16_t y1, bool touching2,
                                     uint16_t x2, uint16_t y2);

}  // namespace tactra
