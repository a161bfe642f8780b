// The library's replay source: when the environment variable TPINPUT_REPLAY names a
// trace, registration delivers that trace's reports through the same report
// processing instead of raw input, each at its tick counted from the first
// registration, so that clients can be tried without a panel.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "device/trace/replay.h"

namespace tactra {

constexpr char kReplayVariable[] = "TPINPUT_REPLAY";

class LibraryReplay {
public:
    // Reads and checks a trace in the library's format (its client and system
    // directives are passed over). On failure `message` is "FILE:LINE: reason" and
    // nothing is kept.
    bool Load(const std::string& path, std::string& message);
    bool Loaded() const { return loaded_; }
    // The panel's logical maxima: the `panel` line in force at the first report
    // (4095 without one).
    int32_t LogicalMaxX() const;
    int32_t LogicalMaxY() const;
    // A touch screen's trace: its reports go through this layout (see ReplayScript).
    bool Screen() const { return script_.screen; }
    const ReplayScript& Script() const { return script_; }

    // The first call starts the trace's clock at `now`; later calls keep it.
    void Start(uint32_t now);
    bool Started() const { return started_; }
    // The next report whose tick has come by `now`, handed out once whichever
    // thread asks; null when none is due.
    const ReplayReport* TakeDue(uint32_t now);
    // Milliseconds from `now` until the next report is due (0 when one is due);
    // false when every report has been handed out.
    bool NextDelay(uint32_t now, uint32_t& delay) const;
    // When `report` is due, on the clock of Start's `now`: the time the device would
    // have sent it.
    uint32_t DueTime(const ReplayReport& report) const { return start_ + report.tick; }

private:
    ReplayScript script_;
    bool loaded_ = false;
    bool started_ = false;
    uint32_t start_ = 0;
    std::atomic<size_t> next_{0};
};

}  // namespace tactra
