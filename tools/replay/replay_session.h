// Runs a parsed trace through the same code as Tactra from the panel report
// onwards, with a virtual clock and scripted ports, and prints what happens.
#pragma once

#include <bitset>
#include <cstdint>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "device/mapping/calibration.h"
#include "device/screen/generic_screen.h"
#include "device/mapping/monitor.h"
#include "device/mapping/smoothing.h"
#include "device/panel/touch_report.h"
#include "device/trace/trace.h"
#include "gesture/engine.h"
#include "device/mapping/touch_priority.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/file_system.h"
#include "platform/foreground.h"
#include "platform/input_sink.h"

namespace tactra {

class ProfileStore;
class SessionPicture;
class StoreProfileSource;

struct ReplayOptions {
    bool printBatches = false;
    bool printStates = false;  // "T state FROM -> TO" at every change of an engine state
    bool library = false;      // through tpinput's report processing (library_session.h)
    std::string workDir;       // empty: the current directory
    std::string svgPath;       // empty: no picture; relative to the current directory
};

// Prints every key and mouse event with the clock's tick, and keeps the key state
// that the events and the user's own keys imply.
class PrintingInputSink : public InputSink {
public:
    PrintingInputSink(Clock& clock, std::ostream& out, SessionPicture* picture)
        : clock_(clock), out_(out), picture_(picture) {}
    // Printed after the tick of every event: the device whose batch caused it ("[A] "),
    // or nothing.
    void SetLabel(const std::string& label) { label_ = label; }
    void KeyEvent(uint8_t vk, bool up) override;
    void MouseEvent(uint32_t flags, int32_t dx, int32_t dy, int32_t data) override;
    bool IsKeyDown(uint8_t vk) override { return down_[vk]; }
    void SetKeyState(uint8_t vk, bool down) { down_[vk] = down; }

private:
    Clock& clock_;
    std::ostream& out_;
    SessionPicture* picture_;  // also told of every event, when given
    std::bitset<256> down_;
    std::string label_;
};

class ScriptedDisplay : public Display {
public:
    bool ReadCurrentMode(DisplayMode& mode) override {
        if (fails) return false;
        mode = current;
        return true;
    }
    bool ReadAdapterProvider(std::string& text) override {
        if (!hasProvider) return false;
        text = provider;
        return true;
    }
    // The declared monitors; without any, the system lists none and only the primary
    // display's mode is known.
    bool ReadDesktop(DesktopLayout& layout) override;
    // `monitor`: attaches a monitor, or changes one already attached; the primary one
    // also sets the primary display's mode. `unplug-monitor`: detaches it.
    void AttachMonitor(const MonitorInfo& monitor);
    void UnplugMonitor(const std::string& name);
    // `display W H O` with monitors declared: the primary monitor takes the new mode.
    void ResizePrimaryMonitor();

    DisplayMode current{1024, 768, 0};
    bool fails = false;
    bool hasProvider = false;
    std::string provider;
    std::vector<MonitorInfo> monitors;
};

class ScriptedForeground : public ForegroundApp {
public:
    bool ReadModuleName(std::string& name) override {
        name = file;
        return true;
    }
    bool ReadWindowTitle(std::string& text) override {
        text = title;
        return true;
    }
    std::string file = kUnknownApplication;
    std::string title;
};

// The working directory as the replayed program sees it: the real files, but with
// last-write times that count the trace's own `file` and `remove` directives, so
// that the output never depends on the file system's clock; and a folder that can
// refuse new files (`folder readonly`).
class ScriptedFileSystem : public FileSystem {
public:
    bool QueryIdentity(const std::string& path, FileIdentity& identity) override;
    bool ReadWhole(const std::string& path, std::string& content) override {
        return LocalFileSystem().ReadWhole(path, content);
    }
    bool CreateNew(const std::string& path, const std::string& content) override {
        return !readOnly && LocalFileSystem().CreateNew(path, content);
    }
    // The trace wrote or removed the file `name` (paths are compared as given: the
    // files' plain names, relative to the working directory).
    void Touched(const std::string& name) { stamps_[name] = ++writes_; }
    bool readOnly = false;

private:
    std::map<std::string, uint64_t> stamps_;
    uint64_t writes_ = 0;
};

// What a trace's `descriptor`, `layout`, `ids` and `panel` say of a touch screen,
// and the screen they make (shared by Tactra's and the library's replay).
class TouchScreenScript {
public:
    // Takes the screen directives; false for any other step.
    bool Apply(const TraceStep& step, int32_t panelMaxX, int32_t panelMaxY);
    GenericTouchScreen* Screen() { return screen_.get(); }
    uint16_t VendorId() const { return vendorId_; }
    uint16_t ProductId() const { return productId_; }
    // The device's settings: their fixes go over the quirk table's row.
    void SetSettings(const TouchSettings& settings);
    // A frame of the screen's as the panel's report bytes.
    static std::vector<uint8_t> PanelBytes(const PanelInputReport& report);

private:
    void Rebuild(int32_t panelMaxX, int32_t panelMaxY);
    std::unique_ptr<GenericTouchScreen> screen_;
    ContactLayout layout_;
    bool haveLayout_ = false;
    uint16_t vendorId_ = 0;
    uint16_t productId_ = 0;
    TouchSettings settings_;
    int32_t panelMaxX_ = 0;
    int32_t panelMaxY_ = 0;
};

// One touch device of a trace: what its lines declared, its reading and its engine.
struct ReplayDevice {
    std::string name;  // empty: the one device of a trace without `device`
    std::string path;
    int32_t panelMaxX = 4095;
    int32_t panelMaxY = 4095;
    TouchScreenScript screen;
    bool opened = false;   // opened at least once (the engine is set up)
    bool reading = false;  // between an opening and the end of its reading
    bool skipped = false;  // beyond the most devices served
    std::string identity;
    bool ambiguous = false;  // another open device has its identity: the defaults
    PanelMapping mapping;
    BatchBuilder batches{ReaderRule::kTactra};
    ContactSmoother smoother;
    TOUCHINPUT records[kTouchRecordCapacity] = {};
    GestureState engine;
};

class ReplaySession {
public:
    // `picture`, when given, is told of every batch and of what the session prints.
    ReplaySession(const ReplayOptions& options, std::ostream& out,
                  SessionPicture* picture = nullptr);
    ~ReplaySession();
    // Runs the steps in the current directory (the caller changes to workDir).
    void Run(const std::vector<TraceStep>& steps);

    // The first device's engine.
    const GestureState& Engine() const { return devices_.front().engine; }

private:
    void Apply(const TraceStep& step);
    void StartUp();
    void SelectDevice(const TraceStep& step);
    void OpenPanel(ReplayDevice& device);
    void Unplug(ReplayDevice& device);
    void HandleReport(const TraceStep& step);
    void HandleInput(const TraceStep& step);
    void Deliver(ReplayDevice& device, const uint8_t* bytes, size_t length);
    void PrintBatch(const ReplayDevice& device, uint32_t tick, int count);
    void PrintGesture(Gesture g);
    void PrintNote(const ReplayDevice& device, const std::string& note);
    void SwitchTouch(bool enabled);
    ReplayDevice& Current() { return devices_[current_]; }
    int IndexOf(const ReplayDevice& device) const;
    static std::string Identity(const ReplayDevice& device);
    std::string Label() const;

    ReplayOptions options_;
    std::ostream& out_;
    SessionPicture* picture_;
    VirtualClock clock_;

    // Scripted surroundings.
    int osMajor_ = 5;
    uint16_t langId_ = 0x0409;
    int32_t mouseMode_ = kMouseModeEmulate;
    ScriptedDisplay display_;
    ScriptedForeground foreground_;
    PrintingInputSink sink_;
    ScriptedFileSystem files_;

    // The devices, in the order the trace declares them (the order they are found);
    // a trace without `device` has one.
    std::vector<ReplayDevice> devices_;
    size_t current_ = 0;
    bool named_ = false;     // the trace declares devices
    bool labelled_ = false;  // it declares more than one: lines name their device
    const ReplayDevice* delivering_ = nullptr;  // whose batch the engine is running
    TouchPriority priority_;

    // The main dialog's side.
    bool started_ = false;
    bool touchEnabled_ = true;
    std::unique_ptr<ProfileStore> store_;
    std::unique_ptr<StoreProfileSource> profiles_;
    EnginePorts ports_;
};

// Parses and runs a trace file; writes the events to `out` and, with
// `options.svgPath`, the session's picture to that file. Returns the exit status: 0,
// or 2 with the error on `err`. A malformed trace, an unusable working directory, a
// picture path that names a trace or cannot be created are refused before anything
// runs, and no picture file is made; a picture that fails while being written is
// removed.
int RunReplay(const std::string& tracePath, const ReplayOptions& options, std::ostream& out,
              std::ostream& err);

}  // namespace tactra
