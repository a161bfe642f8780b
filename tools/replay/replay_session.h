// Runs a parsed trace through the same code as Tactra from the panel report
// onwards, with a virtual clock and scripted ports, and prints what happens.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "device/calibration.h"
#include "device/touch_report.h"
#include "device/trace.h"
#include "platform/clock.h"

namespace tactra {

struct ReplayOptions {
    bool printBatches = false;
    std::string workDir;  // empty: the current directory
};

class ReplaySession {
public:
    ReplaySession(const ReplayOptions& options, std::ostream& out);
    void Run(const std::vector<TraceStep>& steps);

private:
    void Apply(const TraceStep& step);
    void StartUp();
    void OpenPanel();
    void HandleReport(const TraceStep& step);
    void PrintBatch(uint32_t tick, int count);

    ReplayOptions options_;
    std::ostream& out_;
    VirtualClock clock_;

    // Scripted surroundings.
    uint32_t displayWidth_ = 1024;
    uint32_t displayHeight_ = 768;
    int32_t orientation_ = 0;
    bool displayFails_ = false;
    int32_t panelMaxX_ = 4095;
    int32_t panelMaxY_ = 4095;

    // Reader state.
    bool started_ = false;
    bool reading_ = false;
    CalibrationLimits limits_;
    ScreenScale scale_;
    BatchBuilder batches_{ReaderRule::kTactra};
    TOUCHINPUT records_[kTouchRecordCapacity] = {};
};

}  // namespace tactra
