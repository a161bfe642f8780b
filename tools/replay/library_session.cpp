#include "tools/replay/library_session.h"

#include <cstdio>
#include <fstream>

#include "device/mapping/calibration.h"
#include "device/hid/hid.h"
#include "device/mapping/monitor.h"
#include "platform/current_directory.h"
#include "platform/display.h"
#include "platform/input_sink.h"
#include "profiles/ini.h"
#include "tools/replay/session_picture.h"

namespace tactra {

namespace {

// The replayed client's window and the number the system gives "WM_TOUCH"; neither
// appears in the output.
void* const kReplayClientWindow = reinterpret_cast<void*>(0x10);
constexpr uint32_t kReplayTouchMessage = 0xC000;

}  // namespace

// The scripted system around the library: display and version, and the printing
// input sink and message receiver.
class LibrarySession::Surroundings : public Display,
                                     public OsVersion,
                                     public InputSink,
                                     public TouchMessageSink {
public:
    Surroundings(std::ostream& out, Clock& clock, SessionPicture* picture)
        : out_(out), clock_(clock), picture_(picture) {}

    bool ReadCurrentMode(DisplayMode& mode) override {
        if (displayFails) return false;
        mode = display;
        return true;
    }
    bool ReadAdapterProvider(std::string&) override { return false; }
    bool ReadDesktop(DesktopLayout& layout) override { return monitors.ReadDesktop(layout); }

    uint32_t MajorVersion() override { return osMajor; }

    void KeyEvent(uint8_t, bool) override {}
    void MouseEvent(uint32_t flags, int32_t dx, int32_t dy, int32_t data) override {
        char text[96];
        std::snprintf(text, sizeof text, "%u mouse 0x%04X %d %d %d\n",
                      static_cast<unsigned>(clock_.TickCount()), static_cast<unsigned>(flags),
                      static_cast<int>(dx), static_cast<int>(dy), static_cast<int>(data));
        out_ << text;
        if (picture_) picture_->AddMouse(clock_.TickCount(), flags, dx, dy, data);
    }
    bool IsKeyDown(uint8_t) override { return false; }

    void Send(void*, uint32_t, uint32_t count, const TOUCHINPUT* records) override {
        char text[64];
        std::snprintf(text, sizeof text, "%u batch %u", static_cast<unsigned>(clock_.TickCount()),
                      static_cast<unsigned>(count));
        out_ << text;
        for (uint32_t i = 0; i < count; ++i) {
            const TOUCHINPUT& r = records[i];
            std::snprintf(text, sizeof text, " 0x%02X %d %d %u", static_cast<unsigned>(r.dwFlags),
                          static_cast<int>(r.x), static_cast<int>(r.y),
                          static_cast<unsigned>(r.dwID));
            out_ << text;
        }
        out_ << '\n';
        if (picture_) {
            picture_->AddBatch(clock_.TickCount(), records, static_cast<int>(count), nullptr);
        }
    }

    DisplayMode display{1024, 768, 0};
    bool displayFails = false;
    // The declared monitors (their primary one's mode goes to `display`).
    ScriptedDisplay monitors;
    uint32_t osMajor = 5;

private:
    std::ostream& out_;
    Clock& clock_;
    SessionPicture* picture_;
};

LibrarySession::LibrarySession(std::ostream& out, SessionPicture* picture)
    : out_(out), picture_(picture) {
    surroundings_ = std::make_unique<Surroundings>(out_, clock_, picture);
    ports_.clock = &clock_;
    ports_.display = surroundings_.get();
    ports_.input = surroundings_.get();
    ports_.os = surroundings_.get();
    ports_.calibration = &calibration_;
    ports_.messages = surroundings_.get();
}

LibrarySession::~LibrarySession() = default;

void LibrarySession::Run(const std::vector<TraceStep>& steps) {
    for (const TraceStep& step : steps) {
        if (step.tick > clock_.TickCount()) clock_.Set(step.tick);
        PanelInputReport lifted;
        GenericTouchScreen* screen = screen_.Screen();
        if (screen != nullptr && registered_ && screen->Expire(clock_.TickCount(), lifted)) {
            const std::vector<uint8_t> bytes = TouchScreenScript::PanelBytes(lifted);
            ProcessPanelReport(state_, ports_, bytes.data(), bytes.size());
        }
        Apply(step);
    }
}

// A successful RegisterTouchWindow: the panel is found with the current maxima.
void LibrarySession::Register(int32_t mode) {
    ResetPanelDevice(state_.panel);
    state_.panel.openFlag = true;
    state_.foundAttributes.vendorId = kPanelVendorId;
    state_.panel.logicalMaxX = panelMaxX_;
    state_.panel.logicalMaxY = panelMaxY_;
    CompleteRegistration(state_, kReplayClientWindow, kReplayTouchMessage, mode);
    registered_ = true;
}

void LibrarySession::Apply(const TraceStep& step) {
    Surroundings& s = *surroundings_;
    if (screen_.Apply(step, panelMaxX_, panelMaxY_)) return;
    switch (step.op) {
        case TraceOp::kOs:
            s.osMajor = static_cast<uint32_t>(step.args[0]);
            break;
        case TraceOp::kDisplay:
            s.display.width = static_cast<uint32_t>(step.args[0]);
            s.display.height = static_cast<uint32_t>(step.args[1]);
            s.display.orientation = static_cast<int32_t>(step.args[2]);
            s.displayFails = false;
            s.monitors.current = s.display;
            s.monitors.ResizePrimaryMonitor();
            break;
        case TraceOp::kDisplayFail:
            s.displayFails = true;
            break;
        case TraceOp::kPanel:
            panelMaxX_ = static_cast<int32_t>(step.args[0]);
            panelMaxY_ = static_cast<int32_t>(step.args[1]);
            screen_.Apply(step, panelMaxX_, panelMaxY_);
            break;
        case TraceOp::kFile: {
            const std::string path = PathInCurrentDirectory(step.texts[0].c_str());
            std::ofstream file(path, std::ios::binary | std::ios::trunc);
            file << step.texts[1];
            file.close();
            files_.Touched(step.texts[0]);
            break;
        }
        case TraceOp::kRemove: {
            std::remove(PathInCurrentDirectory(step.texts[0].c_str()).c_str());
            files_.Touched(step.texts[0]);
            break;
        }
        case TraceOp::kMonitor: {
            const MonitorInfo monitor = TraceMonitor(step);
            s.monitors.AttachMonitor(monitor);
            if (monitor.primary) {
                s.display = s.monitors.current;
                s.displayFails = false;
            }
            break;
        }
        case TraceOp::kUnplugMonitor:
            s.monitors.UnplugMonitor(step.texts[0]);
            break;
        case TraceOp::kRegister:
            Register(static_cast<int32_t>(step.args[0]));
            break;
        case TraceOp::kReport:
        case TraceOp::kInput: {
            if (!registered_) Register(0);
            std::vector<uint8_t> bytes = step.bytes;
            if (step.op == TraceOp::kInput) {
                GenericTouchScreen* screen = screen_.Screen();
                PanelInputReport frame;
                if (screen == nullptr ||
                    screen->Feed(bytes.data(), bytes.size(), clock_.TickCount(), frame) !=
                        ScreenOutcome::kFrame) {
                    break;
                }
                bytes = TouchScreenScript::PanelBytes(frame);
            }
            if (picture_) {
                // The mode the library reads for this report, before its mouse events.
                DisplayState shown;
                shown.orientation = s.display.orientation;
                const std::string monitor = ReadMonitorName(CurrentCalibrationFile());
                ReadDisplayTarget(s, monitor, shown);
                picture_->SetScreen(clock_.TickCount(), shown.width, shown.height,
                                    shown.orientation);
                picture_->SetPlacement(shown.onMonitor, shown.monitorLeft, shown.monitorTop,
                                       shown.virtualScreen);
            }
            ProcessPanelReport(state_, ports_, bytes.data(), bytes.size());
            break;
        }
        case TraceOp::kCalibrateStart:
            ApplySetCalibrate(state_, ports_, 1);
            break;
        case TraceOp::kCalibrateEvent:
            ApplyCalibrateEvent(state_, ports_, static_cast<int32_t>(step.args[0]),
                                static_cast<int32_t>(step.args[1]));
            break;
        case TraceOp::kCalibrateFinish:
            ApplySetCalibrate(state_, ports_, 0);
            break;
        default:
            // mode, lang, adapter, foreground, keyboard, folder, reopen and the touch
            // switch belong to Tactra.
            break;
    }
}

}  // namespace tactra
