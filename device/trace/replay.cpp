#include "device/trace/replay.h"

#include <cerrno>
#include <cstring>

#include "device/screen/report_descriptor.h"

namespace tactra {

bool BuildReplayScript(const std::vector<TraceStep>& steps, ReplayScript& script,
                       TraceError& error) {
    ReplayScript built;
    int32_t maxX = kDefaultTraceLogicalMax;
    int32_t maxY = kDefaultTraceLogicalMax;
    ContactLayout layout;
    bool haveLayout = false;
    bool panelReports = false;
    auto fail = [&error](int line, const std::string& reason) {
        error.line = line;
        error.reason = reason;
        return false;
    };
    int declared = 0;
    for (const TraceStep& step : steps) {
        if (step.op == TraceOp::kDevice && step.args[0] != 0 && ++declared > 1)
            return fail(step.line, "a trace of several devices where one is replayed");
        if (step.op == TraceOp::kDescriptor || step.op == TraceOp::kLayout ||
            step.op == TraceOp::kIds) {
            if (built.screen)
                return fail(step.line, "the touch screen changes after its first 'input' report");
            std::string reason;
            if (step.op == TraceOp::kIds) {
                built.vendorId = static_cast<uint16_t>(step.args[0]);
                built.productId = static_cast<uint16_t>(step.args[1]);
            } else if (step.op == TraceOp::kDescriptor
                           ? ParseReportDescriptor(step.bytes.data(), step.bytes.size(), layout,
                                                   reason)
                           : ParseContactLayout(step.texts[0], layout, reason)) {
                haveLayout = true;
            } else {
                return fail(step.line, reason);
            }
        } else if (step.op == TraceOp::kPanel) {
            maxX = static_cast<int32_t>(step.args[0]);
            maxY = static_cast<int32_t>(step.args[1]);
        } else if (step.op == TraceOp::kInput) {
            if (!haveLayout) return fail(step.line, "'input' needs a 'descriptor' or 'layout'");
            if (panelReports)
                return fail(step.line, "a trace with panel reports and a screen's 'input'");
            if (!built.screen) {
                built.screen = true;
                built.layout = layout;
            }
            ReplayReport report;
            report.tick = step.tick;
            report.line = step.line;
            report.logicalMaxX = maxX;
            report.logicalMaxY = maxY;
            // As the system delivers it: an ID byte first, 0 where the screen uses none.
            if (layout.reportId == 0) report.bytes.push_back(0);
            report.bytes.insert(report.bytes.end(), step.bytes.begin(), step.bytes.end());
            if (report.bytes.size() > UINT16_MAX)
                return fail(step.line, "an input report longer than 65535 bytes");
            const size_t full = layout.inputReportLength + (layout.reportId == 0 ? 1u : 0u);
            const size_t length = report.bytes.size() > full ? report.bytes.size() : full;
            if (length > built.inputReportLength)
                built.inputReportLength = static_cast<uint16_t>(length);
            built.reports.push_back(std::move(report));
        } else if (step.op == TraceOp::kReport) {
            if (built.screen)
                return fail(step.line, "a trace with a screen's 'input' and panel reports");
            panelReports = true;
            if (step.bytes.size() > UINT16_MAX) {
                error.line = step.line;
                error.reason = "a report of " + std::to_string(step.bytes.size()) +
                               " bytes is longer than a panel report can be (65535)";
                return false;
            }
            ReplayReport report;
            report.tick = step.tick;
            report.line = step.line;
            report.logicalMaxX = maxX;
            report.logicalMaxY = maxY;
            report.bytes = step.bytes;
            if (report.bytes.size() > built.inputReportLength) {
                built.inputReportLength = static_cast<uint16_t>(report.bytes.size());
            }
            built.reports.push_back(std::move(report));
        }
    }
    script = std::move(built);
    return true;
}

bool BuildReplayScripts(const std::vector<TraceStep>& steps, std::vector<ReplayScript>& scripts,
                        TraceError& error) {
    // Each device's own lines; the lines before the first `device` are the first's.
    struct Lines {
        std::string name;
        std::string path;
        std::vector<TraceStep> steps;
    };
    std::vector<Lines> devices(1);
    size_t current = 0;
    bool named = false;
    for (const TraceStep& step : steps) {
        if (step.op != TraceOp::kDevice) {
            devices[current].steps.push_back(step);
            continue;
        }
        if (step.args[0] != 0) {
            if (named) devices.emplace_back();
            named = true;
            devices.back().name = step.texts[0];
            devices.back().path = step.texts[1];
            current = devices.size() - 1;
        } else {
            for (size_t i = 0; i < devices.size(); ++i) {
                if (devices[i].name == step.texts[0]) current = i;
            }
        }
    }
    std::vector<ReplayScript> built(devices.size());
    for (size_t i = 0; i < devices.size(); ++i) {
        if (!BuildReplayScript(devices[i].steps, built[i], error)) return false;
        built[i].name = devices[i].name;
        built[i].path = devices[i].path;
    }
    scripts = std::move(built);
    return true;
}

bool LoadReplayScripts(const std::string& path, std::vector<ReplayScript>& scripts,
                       std::string& message) {
    std::vector<TraceStep> steps;
    TraceError error;
    if (!LoadTraceFile(path, TraceOptions(), steps, error) ||
        !BuildReplayScripts(steps, scripts, error)) {
        message = path + ":" + std::to_string(error.line) + ": " + error.reason;
        return false;
    }
    return true;
}

bool LoadReplayScript(const std::string& path, ReplayScript& script, std::string& message) {
    return LoadReplayScript(path, TraceOptions(), script, message);
}

bool LoadReplayScript(const std::string& path, const TraceOptions& options, ReplayScript& script,
                      std::string& message) {
    std::vector<TraceStep> steps;
    TraceError error;
    if (!LoadTraceFile(path, options, steps, error) || !BuildReplayScript(steps, script, error)) {
        message = path + ":" + std::to_string(error.line) + ": " + error.reason;
        return false;
    }
    return true;
}

TraceRecorder::~TraceRecorder() { Close(); }

bool TraceRecorder::Open(const std::string& path, std::string& message) {
    Close();
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
        message = path + ": cannot write the file: " + std::strerror(errno);
        return false;
    }
    started_ = false;
    ok_ = true;
    return true;
}

void TraceRecorder::Close() {
    if (file_ != nullptr) {
        if (std::fclose(file_) != 0) ok_ = false;
        file_ = nullptr;
    }
}

uint32_t TraceRecorder::Relative(uint32_t tick) {
    if (!started_) {
        started_ = true;
        base_ = tick;
        last_ = 0;
    }
    // Ticks in a trace never decrease; a tick count that wrapped past the recording's
    // start (after 49 days) is held at the last value.
    const uint32_t relative = tick - base_;
    if (relative >= last_) last_ = relative;
    return last_;
}

void TraceRecorder::WriteLine(const std::string& line) {
    if (file_ == nullptr) return;
    if (std::fputs(line.c_str(), file_) < 0 || std::fputc('\n', file_) == EOF ||
        std::fflush(file_) != 0) {
        ok_ = false;
    }
}

void TraceRecorder::Panel(uint32_t tick, int32_t logicalMaxX, int32_t logicalMaxY) {
    WriteLine("at " + std::to_string(Relative(tick)) + " " +
              FormatPanelLine(logicalMaxX, logicalMaxY));
}

void TraceRecorder::Report(uint32_t tick, const uint8_t* data, size_t length) {
    WriteLine(FormatReportLine(Relative(tick), data, length));
}

}  // namespace tactra

namespace tactra {

void TraceRecorder::Ids(uint32_t tick, uint16_t vendorId, uint16_t productId) {
    WriteLine(FormatIdsLine(Relative(tick), vendorId, productId));
}

void TraceRecorder::Layout(uint32_t tick, const ContactLayout& layout) {
    WriteLine(FormatLayoutLine(Relative(tick), FormatContactLayout(layout)));
}

void TraceRecorder::Input(uint32_t tick, const uint8_t* data, size_t length) {
    WriteLine(FormatInputLine(Relative(tick), data, length));
}

void TraceRecorder::Device(uint32_t tick, const std::string& name, const std::string& path,
                           bool declare) {
    WriteLine(FormatDeviceLine(Relative(tick), name, path, declare));
}

}  // namespace tactra
