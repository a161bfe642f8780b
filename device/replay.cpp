#include "device/replay.h"

#include <cerrno>
#include <cstring>

namespace tactra {

bool BuildReplayScript(const std::vector<TraceStep>& steps, ReplayScript& script,
                       TraceError& error) {
    ReplayScript built;
    int32_t maxX = kDefaultTraceLogicalMax;
    int32_t maxY = kDefaultTraceLogicalMax;
    for (const TraceStep& step : steps) {
        if (step.op == TraceOp::kPanel) {
            maxX = static_cast<int32_t>(step.args[0]);
            maxY = static_cast<int32_t>(step.args[1]);
        } else if (step.op == TraceOp::kInput) {
            // Refused rather than passed over: the session would replay nothing.
            error.line = step.line;
            error.reason = "a touch screen's 'input' reports are replayed only by tactra-replay";
            return false;
        } else if (step.op == TraceOp::kReport) {
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

}  // namespace tactra
