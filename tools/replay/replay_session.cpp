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
#include "device/mapping/device_sections.h"
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
    out_ << clock_.TickCount() << ' ' << label_ << (up ? KeyUp(vk) : KeyDown(vk)).ToString()
         << '\n';
    if (picture_) picture_->AddKey(clock_.TickCount(), vk, up);
    down_[vk] = !up;
}

void PrintingInputSink::MouseEvent(uint32_t flags, int32_t dx, int32_t dy, int32_t data) {
    out_ << clock_.TickCount() << ' ' << label_ << Mouse(flags, dx, dy, data).ToString() << '\n';
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
    screen_ = std::make_unique<GenericTouchScreen>(
        layout_, ApplyFixes(FindQuirks(vendorId_, productId_), settings_));
    screen_->SetPanelRange(panelMaxX, panelMaxY);
    panelMaxX_ = panelMaxX;
    panelMaxY_ = panelMaxY;
}

void TouchScreenScript::SetSettings(const TouchSettings& settings) {
    const DeviceQuirks before = ApplyFixes(FindQuirks(vendorId_, productId_), settings_);
    settings_ = settings;
    // A screen is made anew only when its fixes change.
    if (screen_ && !(ApplyFixes(FindQuirks(vendorId_, productId_), settings_) == before))
        Rebuild(panelMaxX_, panelMaxY_);
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
            out_ << clock_.TickCount() << ' ' << Label() << "state " << from << " -> " << to
                 << '\n';
        };
    }
    devices_.reserve(kMaxTraceDevices);
    devices_.emplace_back();
}

ReplaySession::~ReplaySession() = default;

void ReplaySession::Run(const std::vector<TraceStep>& steps) {
    int declared = 0;
    for (const TraceStep& step : steps) {
        if (step.op != TraceOp::kDevice || step.args[0] == 0) continue;
        // The lines before the first declaration are the first device's: its name.
        if (declared++ == 0) devices_.front().name = step.texts[0];
    }
    labelled_ = declared > 1;
    for (const TraceStep& step : steps) {
        // A directive happens at its tick, or later when the clock has moved past it.
        if (step.tick > clock_.TickCount()) clock_.Set(step.tick);
        // A screen's contact that has been silent too long is lifted as time passes.
        for (ReplayDevice& device : devices_) {
            PanelInputReport lifted;
            GenericTouchScreen* screen = device.screen.Screen();
            if (screen != nullptr && started_ && device.reading &&
                screen->Expire(clock_.TickCount(), lifted)) {
                const std::vector<uint8_t> bytes = TouchScreenScript::PanelBytes(lifted);
                Deliver(device, bytes.data(), bytes.size());
            }
        }
        Apply(step);
    }
}

void ReplaySession::Apply(const TraceStep& step) {
    ReplayDevice& device = Current();
    if (device.screen.Apply(step, device.panelMaxX, device.panelMaxY)) return;
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
            device.panelMaxX = static_cast<int32_t>(step.args[0]);
            device.panelMaxY = static_cast<int32_t>(step.args[1]);
            device.screen.Apply(step, device.panelMaxX, device.panelMaxY);
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
            if (started_ && !device.skipped) OpenPanel(device);
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
        case TraceOp::kDevice:
            SelectDevice(step);
            break;
        case TraceOp::kUnplug:
            Unplug(device);
            break;
        default:
            // The library's directives; the parser refuses them without --library.
            break;
    }
}

// `device NAME "PATH"` declares a device and makes it current; the first declaration
// names the device a trace without `device` would have had.
void ReplaySession::SelectDevice(const TraceStep& step) {
    const std::string& name = step.texts[0];
    if (step.args[0] != 0) {
        if (named_) devices_.emplace_back();
        named_ = true;
        ReplayDevice& added = devices_.back();
        added.name = name;
        added.path = step.texts[1];
        // Already open when a recording's first device is named after its lines.
        if (added.opened) added.identity = Identity(added);
        current_ = devices_.size() - 1;
        if (current_ >= static_cast<size_t>(kMaxTouchDevices)) {
            added.skipped = true;
            PrintNote(added,
                      "skipped: more than " + std::to_string(kMaxTouchDevices) + " touch devices");
        }
        return;
    }
    for (size_t i = 0; i < devices_.size(); ++i) {
        if (devices_[i].name == name) current_ = i;
    }
}

// Tactra's start-up, just before the first report. It takes no time on the
// replay's clock, not even the wait after writing a missing default file.
void ReplaySession::StartUp() {
    started_ = true;
    const uint32_t now = clock_.TickCount();
    store_ = std::make_unique<ProfileStore>(clock_, files_, osMajor_, [this] { return langId_; });
    profiles_ = std::make_unique<StoreProfileSource>(*store_);
    ports_.profiles = profiles_.get();
    store_->RefreshProfileSections();
    touchEnabled_ = ReadTouchEnabled(CurrentCalibrationFile());
    clock_.Set(now);
    // Every device declared so far is found at start-up.
    for (ReplayDevice& device : devices_) {
        if (!device.skipped) OpenPanel(device);
    }
}

// The ids its `ids` line gives (without one, the panel's vendor) and its path.
std::string ReplaySession::Identity(const ReplayDevice& device) {
    const bool ids = device.screen.VendorId() != 0 || device.screen.ProductId() != 0;
    return DeviceIdentity(ids ? device.screen.VendorId() : kPanelVendorId,
                          ids ? device.screen.ProductId() : 0, device.path);
}

int ReplaySession::IndexOf(const ReplayDevice& device) const {
    return static_cast<int>(&device - devices_.data());
}

// Opening a device loads the limits, the monitor and the screen scale from its section
// of "Calibrate.ini", and starts reading.
void ReplaySession::OpenPanel(ReplayDevice& device) {
    if (!device.opened) {
        device.opened = true;
        device.engine.mouseMode = mouseMode_;
        InitDisplayState(display_, device.engine.display);
        device.engine.touchEnabled = touchEnabled_;
    }
    device.identity = Identity(device);
    // Found first: no device declared before it reads.
    bool first = true;
    device.ambiguous = false;
    for (const ReplayDevice& other : devices_) {
        if (&other == &device || !other.reading) continue;
        if (IndexOf(other) < IndexOf(device)) first = false;
        if (other.identity == device.identity && !other.ambiguous) device.ambiguous = true;
    }
    if (device.ambiguous) {
        PrintNote(device, "has the identity of another device (" + device.identity +
                              "): read with the defaults");
        device.mapping = LoadPanelMapping(display_, device.panelMaxX, device.panelMaxY, nullptr);
    } else {
        const std::string section =
            CalibrationSectionFor(CurrentCalibrationFile(), device.identity, first);
        std::vector<std::string> notes;
        device.mapping =
            LoadPanelMapping(display_, device.panelMaxX, device.panelMaxY, section.c_str(), &notes);
        for (const std::string& note : notes)
            out_ << clock_.TickCount() << " settings " << note << '\n';
    }
    device.engine.monitor.Choose(device.mapping.monitor);
    // The device's settings from this opening on: the engine's, the smoothing, the
    // fixes over a screen's quirks.
    device.engine.settings = device.mapping.settings;
    device.smoother.SetStrength(device.mapping.settings.smoothing);
    device.screen.SetSettings(device.mapping.settings);
    device.reading = true;
}

// The device is gone: its engine lets go of what it holds (a touch that vanished
// plays no click nor flick), its contacts start afresh at the next opening, and it
// gives up the pointer.
void ReplaySession::Unplug(ReplayDevice& device) {
    if (!device.reading) return;
    device.reading = false;
    if (started_) {
        delivering_ = &device;
        sink_.SetLabel(Label());
        LetGo(device.engine, ports_);
        delivering_ = nullptr;
        sink_.SetLabel(std::string());
    }
    device.batches = BatchBuilder(ReaderRule::kTactra);
    priority_.Release(IndexOf(device));
    PrintNote(device, "unplugged");
}

// The tray item or the hot key: every engine lets go of what it holds, and the choice
// is remembered in "Calibrate.ini" (where the folder lets it be written).
void ReplaySession::SwitchTouch(bool enabled) {
    if (started_) {
        for (ReplayDevice& device : devices_) {
            if (device.opened) SetTouchEnabled(device.engine, ports_, enabled);
        }
        priority_.Reset();
    }
    touchEnabled_ = enabled;
    if (!files_.readOnly) WriteTouchEnabled(CurrentCalibrationFile(), enabled);
}

void ReplaySession::HandleReport(const TraceStep& step) {
    if (!started_) StartUp();
    ReplayDevice& device = Current();
    if (!device.opened && !device.skipped) OpenPanel(device);
    if (!device.reading) return;
    Deliver(device, step.bytes.data(), step.bytes.size());
}

// A screen's report: a whole frame goes on as the panel's report would.
void ReplaySession::HandleInput(const TraceStep& step) {
    if (!started_) StartUp();
    ReplayDevice& device = Current();
    if (!device.opened && !device.skipped) OpenPanel(device);
    if (!device.reading) return;
    GenericTouchScreen* screen = device.screen.Screen();
    if (screen == nullptr) return;
    PanelInputReport frame;
    if (screen->Feed(step.bytes.data(), step.bytes.size(), clock_.TickCount(), frame) !=
        ScreenOutcome::kFrame) {
        return;  // dropped (and counted) or waiting for the rest of a hybrid frame
    }
    const std::vector<uint8_t> bytes = TouchScreenScript::PanelBytes(frame);
    Deliver(device, bytes.data(), bytes.size());
}

void ReplaySession::Deliver(ReplayDevice& device, const uint8_t* bytes, size_t length) {
    const uint32_t tick = clock_.TickCount();
    ReportBatch batch;
    const ReportOutcome outcome =
        ReportToBatch(device.batches, bytes, length, device.mapping.limits,
                      ReportScreenScale(display_, device.mapping), kReplayPanelHandle, tick,
                      device.records, batch, &device.smoother);
    if (outcome == ReportOutcome::kForeignReport) {
        // The reading thread ends as it does for an unplugged panel.
        device.reading = false;
        return;
    }
    const int count = batch.count;
    if (outcome != ReportOutcome::kBatch || count == 0) return;
    switch (priority_.Admit(IndexOf(device), device.records, count)) {
        case PriorityVerdict::kDrive:
            break;
        case PriorityVerdict::kIgnoreFirst:
            PrintNote(device, "ignored until it lifts: " +
                                  devices_[static_cast<size_t>(priority_.Owner())].name +
                                  " drives");
            return;
        case PriorityVerdict::kIgnore:
            return;
    }
    delivering_ = &device;
    sink_.SetLabel(Label());
    if (options_.printBatches) PrintBatch(device, tick, count);
    GestureState& engine = device.engine;
    if (picture_) {
        // The display mode and the transform the engine applies to this batch.
        DisplayState shown = engine.display;
        ReadDisplayTarget(display_, engine.monitor.Name(), shown);
        picture_->SetScreen(tick, shown.width, shown.height, shown.orientation);
        picture_->SetPlacement(shown.onMonitor, shown.monitorLeft, shown.monitorTop,
                               shown.virtualScreen);
        picture_->AddBatch(tick, device.records, count, &shown);
    }
    OnTouchInput(engine, ports_, device.records);
    delivering_ = nullptr;
    sink_.SetLabel(std::string());
}

std::string ReplaySession::Label() const {
    if (!labelled_ || delivering_ == nullptr) return std::string();
    return "[" + delivering_->name + "] ";
}

void ReplaySession::PrintBatch(const ReplayDevice& device, uint32_t tick, int count) {
    char text[64];
    out_ << tick << ' ' << (labelled_ ? "[" + device.name + "] " : std::string()) << "batch "
         << count;
    for (int i = 0; i < count; ++i) {
        const TOUCHINPUT& r = device.records[i];
        std::snprintf(text, sizeof text, " 0x%02X %d %d %u", static_cast<unsigned>(r.dwFlags),
                      static_cast<int>(r.x), static_cast<int>(r.y), static_cast<unsigned>(r.dwID));
        out_ << text;
    }
    out_ << '\n';
}

void ReplaySession::PrintGesture(Gesture g) {
    out_ << clock_.TickCount() << ' ' << Label() << "gesture " << kGestureNames[g] << '\n';
    if (picture_) picture_->AddGesture(clock_.TickCount(), kGestureNames[g]);
}

// What the verbose log says of the devices, in a trace of several.
void ReplaySession::PrintNote(const ReplayDevice& device, const std::string& note) {
    if (!labelled_) return;
    out_ << clock_.TickCount() << " device " << device.name << ' ' << note << '\n';
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
