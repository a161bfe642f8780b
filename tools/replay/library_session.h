// Runs a parsed trace through tpinput's report processing and calibration capture,
// with a virtual clock and scripted ports, and prints every touch message and mouse
// event the library would produce.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <vector>

#include "device/trace/trace.h"
#include "platform/clock.h"
#include "tools/replay/replay_session.h"
#include "tpinput/touch_library.h"

namespace tactra {

class SessionPicture;

class LibrarySession {
public:
    // Files ("Calibrate.ini", `file`, `remove`) are in the current directory.
    // `picture`, when given, is told of every message and mouse event printed.
    explicit LibrarySession(std::ostream& out, SessionPicture* picture = nullptr);
    ~LibrarySession();
    void Run(const std::vector<TraceStep>& steps);

private:
    class Surroundings;

    void Apply(const TraceStep& step);
    void Register(int32_t mode);
    std::ostream& out_;
    SessionPicture* picture_;
    VirtualClock clock_;
    ScriptedFileSystem files_;
    CalibrationFile calibration_{files_, clock_};
    std::unique_ptr<Surroundings> surroundings_;
    TouchLibraryState state_;
    LibraryPorts ports_;
    bool registered_ = false;
    int32_t panelMaxX_ = 4095;
    int32_t panelMaxY_ = 4095;
    TouchScreenScript screen_;
};

}  // namespace tactra
