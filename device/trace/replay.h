// The replay panel source's script, taken from a panel trace, and the recorder that
// writes the reports of a real panel as a trace in the same format.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "device/screen/contact_layout.h"
#include "device/trace/trace.h"

namespace tactra {

// Logical maxima the panel has when the trace names none.
constexpr int32_t kDefaultTraceLogicalMax = 4095;

struct ReplayReport {
    uint32_t tick = 0;  // milliseconds after the replay started
    int line = 0;
    int32_t logicalMaxX = kDefaultTraceLogicalMax;  // the `panel` line in force
    int32_t logicalMaxY = kDefaultTraceLogicalMax;
    std::vector<uint8_t> bytes;
};

struct ReplayScript {
    std::vector<ReplayReport> reports;
    // The longest report; every read delivers this many bytes, shorter reports
    // padded with zeros, as a HID device delivers reports of one length.
    uint16_t inputReportLength = 0;
    // A touch screen's trace (`descriptor` or `layout`, then `input` reports): its
    // layout and ids. Its reports are as the system delivers them, a 0 ID byte put
    // before those of a screen that uses no report IDs.
    bool screen = false;
    ContactLayout layout;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    // The device's `device` name and interface path (empty in a trace of one device).
    std::string name;
    std::string path;
};

// Takes the reports, with the panel's maxima in force for each, from parsed steps.
// Directives that describe the rest of the system (display, foreground, files ...)
// have no meaning for a panel and are passed over. A touch screen's trace is taken
// with the layout in force at its first `input`; a trace that mixes `input` with
// panel reports, or changes the screen after its first `input`, is refused.
bool BuildReplayScript(const std::vector<TraceStep>& steps, ReplayScript& script,
                       TraceError& error);

// The same for each device of a trace (its `device` lines): one script per device, in
// the order the devices are declared; a trace without `device` gives one.
bool BuildReplayScripts(const std::vector<TraceStep>& steps, std::vector<ReplayScript>& scripts,
                        TraceError& error);

// Reads, parses and checks a trace file of any number of devices.
bool LoadReplayScripts(const std::string& path, std::vector<ReplayScript>& scripts,
                       std::string& message);

// Reads, parses and checks a trace file of one device. On failure `message` is
// "FILE:LINE: reason" (line 0 when the file cannot be read) and nothing is kept.
bool LoadReplayScript(const std::string& path, ReplayScript& script, std::string& message);
// The same for a trace of the given kind (`options.library`: the library's directives
// are accepted and passed over like the rest of the system's).
bool LoadReplayScript(const std::string& path, const TraceOptions& options, ReplayScript& script,
                      std::string& message);

// Writes "panel MAXX MAXY" and "at T report ..." lines, each flushed at once so a
// session that ends abruptly loses nothing already read.
class TraceRecorder {
public:
    TraceRecorder() = default;
    ~TraceRecorder();
    TraceRecorder(const TraceRecorder&) = delete;
    TraceRecorder& operator=(const TraceRecorder&) = delete;

    // Creates (or empties) the file. On failure `message` names the file and reason.
    bool Open(const std::string& path, std::string& message);
    bool IsOpen() const { return file_ != nullptr; }
    void Close();

    // `tick` is the system tick count; the trace holds ticks counted from the first
    // line written.
    void Panel(uint32_t tick, int32_t logicalMaxX, int32_t logicalMaxY);
    void Report(uint32_t tick, const uint8_t* data, size_t length);
    // A touch screen: its ids and its discovered layout at every opening (the system
    // gives a program no way to read the descriptor), and each raw input report.
    void Ids(uint32_t tick, uint16_t vendorId, uint16_t productId);
    void Layout(uint32_t tick, const ContactLayout& layout);
    void Input(uint32_t tick, const uint8_t* data, size_t length);
    // `device NAME "PATH"` (declaring) or `device NAME`.
    void Device(uint32_t tick, const std::string& name, const std::string& path, bool declare);
    // False once a write has failed.
    bool Ok() const { return ok_; }

private:
    uint32_t Relative(uint32_t tick);
    void WriteLine(const std::string& line);

    std::FILE* file_ = nullptr;
    bool started_ = false;
    bool ok_ = true;
    uint32_t base_ = 0;
    uint32_t last_ = 0;
};

}  // namespace tactra
