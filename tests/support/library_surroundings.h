// tpinput's surroundings for the benchmark and the fuzz target: a display whose
// mode and monitors the caller sets (or makes fail), the system's major version, and mouse input
// and touch messages counted. What the library must never do is counted as a fault:
// a key event, an absolute mouse coordinate outside 0..65535, a touch message of
// more than two records.
#pragma once

#include <cstdint>
#include <string>

#include "tpinput/touch_library.h"

namespace tactra {
namespace testing {

class LibrarySurroundings : public Display,
                            public OsVersion,
                            public InputSink,
                            public TouchMessageSink {
public:
    bool ReadCurrentMode(DisplayMode& m) override {
        m = mode;
        return !displayFails;
    }
    bool ReadAdapterProvider(std::string&) override { return false; }
    bool ReadDesktop(DesktopLayout& l) override {
        l = layout;
        return hasDesktop;
    }
    uint32_t MajorVersion() override { return major; }
    void KeyEvent(uint8_t, bool) override { ++faults; }
    void MouseEvent(uint32_t flags, int32_t dx, int32_t dy, int32_t) override {
        ++events;
        if ((flags & kMouseEventAbsolute) && (dx < 0 || dx > 65535 || dy < 0 || dy > 65535))
            ++faults;
    }
    bool IsKeyDown(uint8_t) override { return false; }
    void Send(void*, uint32_t, uint32_t count, const TOUCHINPUT* records) override {
        events += count;
        if (count > 2 || records == nullptr) ++faults;
    }

    // The ports with these surroundings, `clock` and `calibration`.
    LibraryPorts Ports(Clock& clock, CalibrationStore& calibration) {
        LibraryPorts ports;
        ports.clock = &clock;
        ports.display = this;
        ports.input = this;
        ports.os = this;
        ports.calibration = &calibration;
        ports.messages = this;
        return ports;
    }

    // A library registered with mouse emulation (mode 99) for a panel of 0..4095.
    static void Register(TouchLibraryState& state) {
        state.panel.logicalMaxX = 4095;
        state.panel.logicalMaxY = 4095;
        CompleteRegistration(state, reinterpret_cast<void*>(0x10), 0xC000, kMouseEmulationMode);
    }

    DisplayMode mode{1024, 768, 0};
    bool displayFails = false;
    bool hasDesktop = false;
    DesktopLayout layout;
    uint32_t major = 5;
    int64_t events = 0;
    int faults = 0;
};

}  // namespace testing
}  // namespace tactra
