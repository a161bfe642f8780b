#include "tools/replay/replay_session.h"

#include <algorithm>
#include <cstdio>

namespace tactra {

namespace {

// Tactra hands the panel's open handle to every record; the replayed panel has none.
void* const kReplayPanelHandle = nullptr;

}  // namespace

ReplaySession::ReplaySession(const ReplayOptions& options, std::ostream& out)
    : options_(options), out_(out) {}

void ReplaySession::Run(const std::vector<TraceStep>& steps) {
    for (const TraceStep& step : steps) {
        // A directive happens at its tick, or later when the clock has moved past it.
        if (step.tick > clock_.TickCount()) clock_.Set(step.tick);
        Apply(step);
    }
}

void ReplaySession::Apply(const TraceStep& step) {
    switch (step.op) {
        case TraceOp::kDisplay:
            displayWidth_ = static_cast<uint32_t>(step.args[0]);
            displayHeight_ = static_cast<uint32_t>(step.args[1]);
            orientation_ = static_cast<int32_t>(step.args[2]);
            displayFails_ = false;
            break;
        case TraceOp::kDisplayFail:
            displayFails_ = true;
            break;
        case TraceOp::kPanel:
            panelMaxX_ = static_cast<int32_t>(step.args[0]);
            panelMaxY_ = static_cast<int32_t>(step.args[1]);
            break;
        case TraceOp::kReopen:
            if (started_) OpenPanel();
            break;
        case TraceOp::kReport:
            HandleReport(step);
            break;
        default:
            // Directives that only the gesture engine reads.
            break;
    }
}

void ReplaySession::StartUp() {
    started_ = true;
    OpenPanel();
}

// Opening the panel loads the limits and the screen scale, and starts reading.
void ReplaySession::OpenPanel() {
    limits_ = CalibrationLimits();
    limits_.minX = 0;
    limits_.minY = 0;
    limits_.maxX = limits_.xRange = panelMaxX_;
    limits_.maxY = limits_.yRange = panelMaxY_;
    scale_ = displayFails_ ? ScreenScale() : MakeScreenScale(displayWidth_, displayHeight_);
    reading_ = true;
}

void ReplaySession::HandleReport(const TraceStep& step) {
    if (!started_) StartUp();
    if (!reading_) return;
    PanelInputReport report;
    if (DecodePanelReport(step.bytes.data(), step.bytes.size(), report) != DecodeResult::kOk) return;
    if (report.reportId != 1) {
        // The reading thread ends as it does for an unplugged panel.
        reading_ = false;
        return;
    }
    const MappedPoint p1 = MapPosition(limits_, scale_, report.contact1.x, report.contact1.y);
    const MappedPoint p2 = MapPosition(limits_, scale_, report.contact2.x, report.contact2.y);
    const uint32_t tick = clock_.TickCount();
    const int count = batches_.Build(report, p1, p2, kReplayPanelHandle, tick, records_);
    if (count > 0 && options_.printBatches) PrintBatch(tick, count);
}

void ReplaySession::PrintBatch(uint32_t tick, int count) {
    char text[64];
    std::snprintf(text, sizeof text, "%u batch %d", static_cast<unsigned>(tick), count);
    out_ << text;
    for (int i = 0; i < count; ++i) {
        const TOUCHINPUT& r = records_[i];
        std::snprintf(text, sizeof text, " 0x%02X %d %d %u", static_cast<unsigned>(r.dwFlags),
                      static_cast<int>(r.x), static_cast<int>(r.y), static_cast<unsigned>(r.dwID));
        out_ << text;
    }
    out_ << '\n';
}

}  // namespace tactra
