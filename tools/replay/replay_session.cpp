#include "tools/replay/replay_session.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#if defined(_WIN32)
#include <direct.h>
#else
#include <unistd.h>
#endif

#include "device/screen/report_descriptor.h"
#include "device/mapping/monitor.h"
#include "device/mapping/report_pipeline.h"
#include "gesture/store_profile_source.h"
#include "platform/current_directory.h"
#include "platform/recording_input_sink.h"
#include "profiles/ini.h"
#include "profiles/profile_store.h"
#include "tools/replay/library_session.h"
#include "tools/replay/session_picture.h"

namespace tactra {

namespace {

// Tactra hands the panel's open handle to every record; the replayed panel has none.
void* const kReplayPanelHandle = nullptr;

}  // namespace

bool ScriptedFileSystem::QueryIdentity(const std::string& path, FileIdentity& identity) {
    FileIdentity real;
    if (!LocalFileSystem().QueryIdentity(path, real)) return false;
    identity.size = real.size;
    const auto stamp = stamps_.find(path);
    identity.lastWriteTime = stamp == stamps_.end() ? 0 : stamp->second;
    return true;
}

bool ScriptedDisplay::ReadDesktop(DesktopLayout& layout) {
    layout = DesktopLayout();
    if (monitors.empty()) return false;
    // The virtual screen is the smallest rectangle around every monitor.
    int64_t left = INT64_MAX, top = INT64_MAX, right = INT64_MIN, bottom = INT64_MIN;
    for (const MonitorInfo& m : monitors) {
        left = std::min<int64_t>(left, m.rect.left);
        top = std::min<int64_t>(top, m.rect.top);
        right = std::max<int64_t>(right, int64_t{m.rect.left} + m.rect.width);
        bottom = std::max<int64_t>(bottom, int64_t{m.rect.top} + m.rect.height);
    }
    layout.monitors = monitors;
    layout.virtualScreen.left = static_cast<int32_t>(left);
    layout.virtualScreen.top = static_cast<int32_t>(top);
    layout.virtualScreen.width = static_cast<uint32_t>(right - left);
    layout.virtualScreen.height = static_cast<uint32_t>(bottom - top);
    return true;
}

void ScriptedDisplay::AttachMonitor(const MonitorInfo& monitor) {
    const auto known = std::find_if(monitors.begin(), monitors.end(), [&](const MonitorInfo& m) {
        return SameMonitorName(m.name, monitor.name);
    });
    if (known != monitors.end()) {
        *known = monitor;
    } else {
        monitors.push_back(monitor);
    }
    if (monitor.primary) {
        current = DisplayMode{monitor.rect.width, monitor.rect.height, monitor.orientation};
        fails = false;
    }
}

void ScriptedDisplay::ResizePrimaryMonitor() {
    for (MonitorInfo& m : monitors) {
        if (!m.primary) continue;
        m.rect.width = current.width;
        m.rect.height = current.height;
        m.orientation = current.orientation;
    }
}

void ScriptedDisplay::UnplugMonitor(const std::string& name) {
    monitors.erase(
        std::remove_if(monitors.begin(), monitors.end(),
                       [&](const MonitorInfo& m) { return SameMonitorName(m.name, name); }),
        monitors.end());
}

void PrintingInputSink::KeyEvent(uint8_t vk, bool up) {
    out_ << clock_.TickCount() << ' ' << (up ? KeyUp(vk) : KeyDown(vk)).ToString() << '\n';
    if (picture_) picture_->AddKey(clock_.TickCount(), vk, up);
    down_[vk] = !up;
}

void PrintingInputSink::MouseEvent(uint32_t flags, int32_t dx, int32_t dy, int32_t data) {
    out_ << clock_.TickCount() << ' ' << Mouse(flags, dx, dy, data).ToString() << '\n';
    if (picture_) picture_->AddMouse(clock_.TickCount(), flags, dx, dy, data);
}

bool TouchScreenScript::Apply(const TraceStep& step, int32_t panelMaxX, int32_t panelMaxY) {
    std::string reason;
    switch (step.op) {
        case TraceOp::kDescriptor:
            // The parser has checked it already; a failure here leaves the screen as it was.
            haveLayout_ =
                ParseReportDescriptor(step.bytes.data(), step.bytes.size(), layout_, reason) ||
                haveLayout_;
            break;
        case TraceOp::kLayout:
            haveLayout_ = ParseContactLayout(step.texts[0], layout_, reason) || haveLayout_;
            break;
        case TraceOp::kIds:
            vendorId_ = static_cast<uint16_t>(step.args[0]);
            productId_ = static_cast<uint16_t>(step.args[1]);
            if (!screen_) return true;
            break;
        case TraceOp::kPanel:
            if (screen_) screen_->SetPanelRange(panelMaxX, panelMaxY);
            return false;  // the panel's maxima matter to the caller too
        default:
            return false;
    }
    Rebuild(panelMaxX, panelMaxY);
    return true;
}

void TouchScreenScript::Rebuild(int32_t panelMaxX, int32_t panelMaxY) {
    if (!haveLayout_) return;
    screen_ = std::make_unique<GenericTouchScreen>(layout_, FindQuirks(vendorId_, productId_));
    screen_->SetPanelRange(panelMaxX, panelMaxY);
}

std::vector<uint8_t> TouchScreenScript::PanelBytes(const PanelInputReport& report) {
    uint8_t bytes[kPanelReportMinLength];
    EncodePanelReport(report, bytes);
    return std::vector<uint8_t>(bytes, bytes + kPanelReportMinLength);
}

ReplaySession::ReplaySession(const ReplayOptions& options, std::ostream& out,
                             SessionPicture* picture)
    : options_(options), out_(out), picture_(picture), sink_(clock_, out, picture) {
    ports_.clock = &clock_;
    ports_.sink = &sink_;
    ports_.foreground = &foreground_;
    ports_.display = &display_;
    ports_.onGesture = [this](Gesture g) { PrintGesture(g); };
    if (options_.printStates) {
        ports_.onStateChange = [this](const char* from, const char* to) {
            out_ << clock_.TickCount() << " state " << from << " -> " << to << '\n';
        };
    }
}

ReplaySession::~ReplaySession() = default;

void ReplaySession::Run(const std::vector<TraceStep>& steps) {
    for (const TraceStep& step : steps) {
        // A directive happens at its tick, or later when the clock has moved past it.
        if (step.tick > clock_.TickCount()) clock_.Set(step.tick);
        // A screen's contact that has been silent too long is lifted as time passes.
        PanelInputReport lifted;
        GenericTouchScreen* screen = screen_.Screen();
        if (screen != nullptr && started_ && reading_ &&
            screen->Expire(clock_.TickCount(), lifted)) {
            const std::vector<uint8_t> bytes = TouchScreenScript::PanelBytes(lifted);
            Deliver(bytes.data(), bytes.size());
        }
        Apply(step);
    }
}

void ReplaySession::Apply(const TraceStep& step) {
    if (screen_.Apply(step, panelMaxX_, panelMaxY_)) return;
    switch (step.op) {
        case TraceOp::kOs:
            osMajor_ = static_cast<int>(step.args[0]);
            break;
        case TraceOp::kLang:
            langId_ = static_cast<uint16_t>(step.args[0]);
            break;
        case TraceOp::kMode:
            mouseMode_ = static_cast<int32_t>(step.args[0]);
            break;
        case TraceOp::kDisplay:
            display_.current.width = static_cast<uint32_t>(step.args[0]);
            display_.current.height = static_cast<uint32_t>(step.args[1]);
            display_.current.orientation = static_cast<int32_t>(step.args[2]);
            display_.fails = false;
            display_.ResizePrimaryMonitor();
            break;
        case TraceOp::kDisplayFail:
            display_.fails = true;
            break;
        case TraceOp::kAdapter:
            display_.hasProvider = true;
            display_.provider = step.texts[0];
            break;
        case TraceOp::kPanel:
            panelMaxX_ = static_cast<int32_t>(step.args[0]);
            panelMaxY_ = static_cast<int32_t>(step.args[1]);
            screen_.Apply(step, panelMaxX_, panelMaxY_);
            break;
        case TraceOp::kForeground:
            foreground_.file = step.texts[0];
            foreground_.title = step.texts[1];
            break;
        case TraceOp::kKeyboard:
            sink_.SetKeyState(static_cast<uint8_t>(step.args[0]), step.args[1] != 0);
            break;
        case TraceOp::kFile: {
            std::ofstream file(step.texts[0], std::ios::binary | std::ios::trunc);
            file << step.texts[1];
            file.close();
            files_.Touched(step.texts[0]);
            break;
        }
        case TraceOp::kRemove: {
            std::remove(step.texts[0].c_str());
            files_.Touched(step.texts[0]);
            break;
        }
        case TraceOp::kFolder:
            files_.readOnly = step.args[0] != 0;
            break;
        case TraceOp::kReopen:
            if (started_) OpenPanel();
            break;
        case TraceOp::kReport:
            HandleReport(step);
            break;
        case TraceOp::kInput:
            HandleInput(step);
            break;
        case TraceOp::kMonitor: {
            const MonitorInfo monitor = TraceMonitor(step);
            display_.AttachMonitor(monitor);
            break;
        }
        case TraceOp::kUnplugMonitor:
            display_.UnplugMonitor(step.texts[0]);
            break;
        case TraceOp::kTouchEnabled:
            SwitchTouch(step.args[0] != 0);
            break;
        default:
            // The library's directives; the parser refuses them without --library.
            break;
    }
}

// Tactra's start-up, just before the first report. It takes no time on the
// replay's clock, not even the wait after writing a missing default file.
void ReplaySession::StartUp() {
    started_ = true;
    const uint32_t now = clock_.TickCount();
    engine_.mouseMode = mouseMode_;
    store_ = std::make_unique<ProfileStore>(clock_, files_, osMajor_, [this] { return langId_; });
    profiles_ = std::make_unique<StoreProfileSource>(*store_);
    ports_.profiles = profiles_.get();
    store_->RefreshProfileSections();
    InitDisplayState(display_, engine_.display);
    engine_.touchEnabled = ReadTouchEnabled(CurrentCalibrationFile());
    clock_.Set(now);
    OpenPanel();
}

// Opening the panel loads the limits, the monitor and the screen scale, and starts
// reading.
void ReplaySession::OpenPanel() {
    mapping_ = LoadPanelMapping(display_, panelMaxX_, panelMaxY_);
    engine_.monitor.Choose(mapping_.monitor);
    reading_ = true;
}

// The tray item or the hot key: the engine lets go of what it holds, and the choice
// is remembered in "Calibrate.ini" (where the folder lets it be written).
void ReplaySession::SwitchTouch(bool enabled) {
    if (started_) SetTouchEnabled(engine_, ports_, enabled);
    if (!files_.readOnly) WriteTouchEnabled(CurrentCalibrationFile(), enabled);
}

void ReplaySession::HandleReport(const TraceStep& step) {
    if (!started_) StartUp();
    if (!reading_) return;
    Deliver(step.bytes.data(), step.bytes.size());
}

// A screen's report: a whole frame goes on as the panel's report would.
void ReplaySession::HandleInput(const TraceStep& step) {
    if (!started_) StartUp();
    if (!reading_) return;
    GenericTouchScreen* screen = screen_.Screen();
    if (screen == nullptr) return;
    PanelInputReport frame;
    if (screen->Feed(step.bytes.data(), step.bytes.size(), clock_.TickCount(), frame) !=
        ScreenOutcome::kFrame) {
        return;  // dropped (and counted) or waiting for the rest of a hybrid frame
    }
    const std::vector<uint8_t> bytes = TouchScreenScript::PanelBytes(frame);
    Deliver(bytes.data(), bytes.size());
}

void ReplaySession::Deliver(const uint8_t* bytes, size_t length) {
    const uint32_t tick = clock_.TickCount();
    ReportBatch batch;
    const ReportOutcome outcome = ReportToBatch(batches_, bytes, length, mapping_.limits,
                                                ReportScreenScale(display_, mapping_),
                                                kReplayPanelHandle, tick, records_, batch);
    if (outcome == ReportOutcome::kForeignReport) {
        // The reading thread ends as it does for an unplugged panel.
        reading_ = false;
        return;
    }
    const int count = batch.count;
    if (outcome != ReportOutcome::kBatch || count == 0) return;
    if (options_.printBatches) PrintBatch(tick, count);
    if (picture_) {
        // The display mode and the transform the engine applies to this batch.
        DisplayState shown = engine_.display;
        ReadDisplayTarget(display_, engine_.monitor.Name(), shown);
        picture_->SetScreen(tick, shown.width, shown.height, shown.orientation);
        picture_->SetPlacement(shown.onMonitor, shown.monitorLeft, shown.monitorTop,
                               shown.virtualScreen);
        picture_->AddBatch(tick, records_, count, &shown);
    }
    OnTouchInput(engine_, ports_, records_);
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

void ReplaySession::PrintGesture(Gesture g) {
    out_ << clock_.TickCount() << " gesture " << kGestureNames[g] << '\n';
    if (picture_) picture_->AddGesture(clock_.TickCount(), kGestureNames[g]);
}

namespace {

bool IsSeparator(char c) { return c == '/' || c == kPathSeparator; }

// A picture written over a trace would lose the recorded session.
bool NamesATrace(const std::string& path) {
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot == 0 || IsSeparator(path[dot - 1])) return false;
    std::string ext = path.substr(dot);
    if (ext.find_first_of("/\\") != std::string::npos) return false;
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".trace";
}

// The path as seen from the current directory, so that it survives a change of
// directory (no std::filesystem: it would bring the wide file functions into the
// Windows build).
std::string FromCurrentDirectory(const std::string& path) {
    const bool absolute =
        !path.empty() && (IsSeparator(path[0]) || (path.size() > 1 && path[1] == ':'));
    return absolute ? path : PathInCurrentDirectory(path.c_str());
}

std::string FileNameOf(const std::string& path) {
    size_t start = path.size();
    while (start > 0 && !IsSeparator(path[start - 1]) && path[start - 1] != ':') --start;
    return path.substr(start);
}

}  // namespace

int RunReplay(const std::string& tracePath, const ReplayOptions& options, std::ostream& out,
              std::ostream& err) {
    std::vector<TraceStep> steps;
    TraceError error;
    TraceOptions traceOptions;
    traceOptions.library = options.library;
    if (!LoadTraceFile(tracePath, traceOptions, steps, error)) {
        err << "tactra-replay: " << tracePath << ":" << error.line << ": " << error.reason << "\n";
        return 2;
    }
    std::string svgPath;
    if (!options.svgPath.empty()) {
        if (NamesATrace(options.svgPath)) {
            err << "tactra-replay: the picture would overwrite the trace '" << options.svgPath
                << "'\n";
            return 2;
        }
        // The picture's path is the caller's, not the working directory's.
        svgPath = FromCurrentDirectory(options.svgPath);
    }
    if (!options.workDir.empty()) {
#if defined(_WIN32)
        const int changed = _chdir(options.workDir.c_str());
#else
        const int changed = chdir(options.workDir.c_str());
#endif
        if (changed != 0) {
            err << "tactra-replay: cannot change to directory '" << options.workDir
                << "': " << std::strerror(errno) << "\n";
            return 2;
        }
    }
    std::ofstream svg;
    std::unique_ptr<SessionPicture> picture;
    const auto pictureFailed = [&err, &options] {
        err << "tactra-replay: cannot write the picture '" << options.svgPath << "'\n";
        return 2;
    };
    if (!svgPath.empty()) {
        svg.open(svgPath, std::ios::binary | std::ios::trunc);
        if (!svg) return pictureFailed();
        picture = std::make_unique<SessionPicture>(FileNameOf(tracePath), options.library);
    }
    if (options.library) {
        LibrarySession session(out, picture.get());
        session.Run(steps);
    } else {
        ReplaySession session(options, out, picture.get());
        session.Run(steps);
    }
    if (picture) {
        if (!steps.empty()) picture->ExtendTo(steps.back().tick);
        picture->WriteSvg(svg);
        svg.close();
        if (svg.fail()) {
            std::remove(svgPath.c_str());
            return pictureFailed();
        }
    }
    return 0;
}

}  // namespace tactra
