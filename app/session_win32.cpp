#include "app/session_win32.h"

#include <mmsystem.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/app_rules.h"
#include "app/resource.h"
#include "device/hid/hid_win32.h"
#include "device/hid/reader_win32.h"
#include "device/mapping/calibration.h"
#include "device/mapping/device_sections.h"
#include "device/trace/replay.h"
#include "gesture/engine.h"
#include "gesture/store_profile_source.h"
#include "device/mapping/touch_priority.h"
#include "platform/diagnostic_log.h"
#include "platform/file_system.h"
#include "platform/win32/win32_display.h"
#include "platform/win32/win32_foreground.h"
#include "platform/win32/win32_ports.h"
#include "profiles/profile_store.h"

namespace tactra {

bool ParseSessionOptions(const char* commandLine, SessionOptions& options, std::string& error) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, inWord = false;
    for (const char* p = commandLine ? commandLine : ""; *p; ++p) {
        if (*p == '"') {
            quoted = !quoted;
            inWord = true;
        } else if ((*p == ' ' || *p == '\t') && !quoted) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += *p;
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    for (size_t i = 0; i < words.size(); ++i) {
        std::string* target = nullptr;
        if (words[i] == "--log") {
            options.log = true;
            if (i + 1 < words.size() && words[i + 1] == "verbose") {
                options.logVerbose = true;
                ++i;
            }
            continue;
        }
        if (words[i] == "--replay")
            target = &options.replayFile;
        else if (words[i] == "--record")
            target = &options.recordFile;
        else {
            options.ignoredWords.push_back(words[i]);
            continue;
        }
        if (i + 1 >= words.size() || words[i + 1].empty()) {
            error = "Missing file name after " + words[i];
            return false;
        }
        *target = words[++i];
    }
    if (!options.replayFile.empty() && !options.recordFile.empty()) {
        error = "--replay and --record cannot be used together";
        return false;
    }
    return true;
}

namespace {

// Timer 1 of the main dialog. It remembers whether it is armed, so that a device
// change while the panel is still being searched for leaves the running retry
// timer alone.
class DialogTimer : public RestartTimer {
public:
    void Bind(HWND dialog) { dialog_ = dialog; }
    void Kill() override {
        if (dialog_) KillTimer(dialog_, kStartTimerId);
        armed_ = false;
    }
    void Set(uint32_t periodMs) override {
        if (dialog_) armed_ = SetTimer(dialog_, kStartTimerId, periodMs, nullptr) != 0;
    }
    bool Armed() const { return armed_; }

private:
    HWND dialog_ = nullptr;
    bool armed_ = false;
};

}  // namespace

constexpr int kShownTexts = 5;

// One touch device: where its reports come from, its reading thread and its engine.
// It stays when its device goes, not attached, with its identity and monitor, until
// the device comes back.
struct DeviceSlot {
    FoundTouchDevice found;  // its path, ids, kind and identity
    std::unique_ptr<PanelSource> source;
    std::unique_ptr<RecordingPanelSource> recording;
    std::unique_ptr<PanelReader> reader;
    GestureState engine;
    // Found first at its latest opening (then [Config] is its own without an owner).
    bool first = false;

    bool Attached() const { return reader && reader->Running(); }
};

struct Session::Impl {
    SessionOptions options;
    Win32Clock clock;
    Win32InputSink sink;
    Win32ForegroundApp foreground;
    // The engine looks for its monitor at every batch: the list is kept a while.
    Win32Display display{kDesktopKeepMs};
    int osMajor = 5;
    std::unique_ptr<ProfileStore> profiles;
    std::unique_ptr<StoreProfileSource> profileSource;
    // What every device's engine starts from: the mouse mode, the display, the touch
    // switch and, until a device opens, the monitor of [Config].
    GestureState engine;
    EnginePorts ports;

    // Where the reports come from: the devices, a replayed trace (a source per device
    // of the trace), or the devices with a recorder in between.
    std::vector<ReplayScript> replayScripts;
    bool replaying = false;
    TraceRecorder recorder;
    std::unique_ptr<SharedTraceRecorder> sharedRecorder;
    std::vector<std::unique_ptr<DeviceSlot>> devices;
    TouchPriority priority;
    DialogTimer timer;
    HWND dialog = nullptr;  // the main dialog, which the readings send to
    // The Test group's texts and the monitor's as last shown: an unchanged text is
    // not set again.
    std::string shown[kShownTexts];
    bool shownValid[kShownTexts] = {};
    std::string shownDevices;

    void ShowText(HWND dialog, int slot, int id, const std::string& text) {
        if (shownValid[slot] && text == shown[slot]) return;
        shownValid[slot] = SetDlgItemTextA(dialog, id, text.c_str()) != 0;
        shown[slot] = text;
    }

    DeviceSlot* FindByRecords(LPARAM lParam) {
        const auto* records = reinterpret_cast<const TOUCHINPUT*>(lParam);
        for (auto& d : devices) {
            if (d->reader && records == d->reader->Records()) return d.get();
        }
        return nullptr;
    }

    int IndexOf(const DeviceSlot* slot) const {
        for (size_t i = 0; i < devices.size(); ++i) {
            if (devices[i].get() == slot) return static_cast<int>(i);
        }
        return -1;
    }

    // A new device's slot: its source (with a recorder when recording) and its reader,
    // which maps through the device's own section of "Calibrate.ini".
    DeviceSlot& AddDevice(const FoundTouchDevice& found, std::unique_ptr<PanelSource> source) {
        devices.emplace_back(new DeviceSlot);
        DeviceSlot& slot = *devices.back();
        slot.found = found;
        slot.source = std::move(source);
        PanelSource* read = slot.source.get();
        if (sharedRecorder) {
            slot.recording.reset(new RecordingPanelSource(*slot.source, *sharedRecorder));
            read = slot.recording.get();
        }
        slot.reader.reset(new PanelReader(*read));
        slot.reader->SetLabel(found.identity.empty() ? std::string() : found.identity);
        DeviceSlot* self = &slot;
        slot.reader->SetSetupHook([self](const PanelDevice& device) {
            Win32Display display;
            if (self->found.ambiguous)
                return LoadPanelMapping(display, device.logicalMaxX, device.logicalMaxY, nullptr);
            const std::string section =
                CalibrationSectionFor(CurrentCalibrationFile(), self->found.identity, self->first);
            PanelMapping mapping =
                LoadPanelMapping(display, device.logicalMaxX, device.logicalMaxY, section.c_str());
            const CalibrationLimits full = PanelRangeLimits(device.logicalMaxX, device.logicalMaxY);
            if (mapping.limits.minX == full.minX && mapping.limits.maxX == full.maxX &&
                mapping.limits.minY == full.minY && mapping.limits.maxY == full.maxY) {
                ProcessLog().Write("touch device %s: no usable calibration in [%s], its full range",
                                   self->found.identity.c_str(), section.c_str());
            }
            return mapping;
        });
        slot.engine = engine;
        return slot;
    }

    // The devices to read now, in the order they are served. A replayed trace's
    // devices are its scripts; the others are found anew, without the ones being read.
    std::vector<FoundTouchDevice> Discover() {
        std::vector<FoundTouchDevice> found;
        if (replaying) {
            for (const ReplayScript& script : replayScripts) {
                FoundTouchDevice d;
                d.path = script.path;
                d.touchScreen = script.screen;
                d.attributes.vendorId = script.screen ? script.vendorId : kPanelVendorId;
                d.attributes.productId = script.screen ? script.productId : 0;
                found.push_back(d);
            }
            std::vector<std::string> notes;
            ArrangeTouchDevices(found, notes);
            for (const std::string& note : notes) ProcessLog().Write("%s", note.c_str());
            return found;
        }
        std::vector<std::string> reading;
        for (auto& d : devices) {
            if (d->Attached()) reading.push_back(d->found.path);
        }
        PanelOpenOptions options;
        options.overlapped = true;
        options.acceptTouchScreens = true;
        ListTouchDevices(options, reading, found);
        return found;
    }
};

Session::Session(const SessionOptions& options) : impl_(new Impl) {
    impl_->options = options;
    EnginePorts& ports = impl_->ports;
    ports.clock = &impl_->clock;
    ports.sink = &impl_->sink;
    ports.foreground = &impl_->foreground;
    ports.display = &impl_->display;
    if (options.logVerbose) {
        // Each change of an engine state, as tactra-replay --states prints it.
        Impl* impl = impl_.get();
        ports.onStateChange = [impl](const char* from, const char* to) {
            DiagnosticLog& log = ProcessLog();
            if (log.Verbose()) log.Write("%u state %s -> %s", impl->clock.TickCount(), from, to);
        };
    }
}

Session::~Session() = default;

bool Session::Prepare(std::string& error) {
    if (!impl_->options.replayFile.empty()) {
        impl_->replaying = true;
        return LoadReplayScripts(impl_->options.replayFile, impl_->replayScripts, error);
    }
    if (!impl_->options.recordFile.empty()) {
        if (!impl_->recorder.Open(impl_->options.recordFile, error)) return false;
        impl_->sharedRecorder.reset(new SharedTraceRecorder(impl_->recorder));
    }
    return true;
}

void Session::SetOsMajor(int major) { impl_->osMajor = major; }

int Session::RefreshProfileSections() {
    if (!impl_->profiles) {
        impl_->profiles.reset(new ProfileStore(impl_->clock, LocalFileSystem(), impl_->osMajor, [] {
            return static_cast<uint16_t>(GetSystemDefaultLangID());
        }));
        impl_->profileSource.reset(new StoreProfileSource(*impl_->profiles));
        impl_->ports.profiles = impl_->profileSource.get();
    }
    // "WM_APPLY" and start-up read the file whatever its identity; the touch
    // batches only when it changed.
    impl_->profiles->Invalidate();
    return impl_->profiles->RefreshProfileSections();
}

namespace {

GestureState FreshEngine(const GestureState& old, int32_t mouseMode) {
    GestureState fresh;
    fresh.display = old.display;
    fresh.monitor = old.monitor;
    fresh.touchEnabled = old.touchEnabled;
    fresh.settings = old.settings;
    fresh.mouseMode = mouseMode;
    return fresh;
}

}  // namespace

void Session::ResetEngine(int32_t mouseMode) {
    impl_->engine = FreshEngine(impl_->engine, mouseMode);
    for (auto& d : impl_->devices) d->engine = FreshEngine(d->engine, mouseMode);
}

void Session::LoadTouchSettings() {
    const CIni ini = CurrentCalibrationFile();
    const bool enabled = ReadTouchEnabled(ini);
    impl_->engine.touchEnabled = enabled;
    for (auto& d : impl_->devices) d->engine.touchEnabled = enabled;
    impl_->engine.monitor.Choose(ReadMonitorName(ini));
}

bool Session::TouchEnabled() const { return impl_->engine.touchEnabled; }

void Session::SetTouchEnabled(bool enabled) {
    tactra::SetTouchEnabled(impl_->engine, impl_->ports, enabled);
    for (auto& d : impl_->devices) tactra::SetTouchEnabled(d->engine, impl_->ports, enabled);
    impl_->priority.Reset();
    WriteTouchEnabled(CurrentCalibrationFile(), enabled);
}

void Session::ShowMonitor(HWND dialog) {
    impl_->ShowText(dialog, kShownTexts - 1, IDC_TEXT_MONITOR, MonitorText(true));
    ShowDevices(dialog);
}

namespace {

std::string MonitorTextOf(MonitorChoice& monitor, Display& display, bool look) {
    if (monitor.Name().empty()) return "Monitor: primary";
    if (look) {
        MonitorInfo found;
        DesktopRect virtualScreen;
        monitor.Saw(FindAttachedMonitor(display, monitor.Name(), found, virtualScreen));
    }
    std::string text = "Monitor: " + monitor.Name();
    if (monitor.Missing()) text += " (not attached)";
    return text;
}

}  // namespace

std::string Session::MonitorText(bool look) {
    // The first device's monitor (before any device, [Config]'s): as with one device.
    MonitorChoice& monitor =
        impl_->devices.empty() ? impl_->engine.monitor : impl_->devices.front()->engine.monitor;
    return MonitorTextOf(monitor, impl_->display, look);
}

std::vector<std::string> Session::DeviceLines() {
    std::vector<std::string> lines;
    for (auto& d : impl_->devices) {
        std::string line = TouchDeviceName(d->found) + ", " +
                           MonitorTextOf(d->engine.monitor, impl_->display, false) + ", " +
                           (d->Attached() ? "attached" : "not attached");
        lines.push_back(line);
    }
    return lines;
}

void Session::ShowDevices(HWND dialog) {
    const std::vector<std::string> lines = DeviceLines();
    std::string all;
    for (const std::string& line : lines) all += line + "\n";
    if (all == impl_->shownDevices) return;
    impl_->shownDevices = all;
    HWND list = GetDlgItem(dialog, IDC_DEVICE_LIST);
    if (list == nullptr) return;
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    if (lines.empty()) {
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("No touch device found"));
        return;
    }
    for (const std::string& line : lines)
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
}

std::vector<SettingsTarget> Session::SettingsTargets() {
    std::vector<SettingsTarget> targets;
    const CIni ini = CurrentCalibrationFile();
    const std::vector<std::string> lines = DeviceLines();
    for (size_t i = 0; i < impl_->devices.size(); ++i) {
        const DeviceSlot& d = *impl_->devices[i];
        if (d.found.ambiguous) continue;  // its settings could be another device's
        SettingsTarget target;
        target.line = lines[i];
        target.section = CalibrationSectionFor(ini, d.found.identity, d.first);
        target.device = static_cast<int>(i);
        targets.push_back(target);
    }
    if (targets.empty()) {
        SettingsTarget target;
        target.line = "The first touch device found";
        target.section = kCalibrationSection;
        targets.push_back(target);
    }
    return targets;
}

TouchSettings Session::TargetSettings(const SettingsTarget& target) {
    std::vector<std::string> notes;
    return ReadTouchSettings(CurrentCalibrationFile(), target.section.c_str(), notes);
}

void Session::ApplyTouchSettings(const SettingsTarget& target, const TouchSettings& settings) {
    const CIni ini = CurrentCalibrationFile();
    // A device's own section beside [Config]: [Config] keeps the device it has now.
    if (target.section != kCalibrationSection) {
        for (auto& d : impl_->devices) {
            if (d->first && !d->found.ambiguous) PinConfigOwner(ini, d->found.identity);
        }
    }
    WriteTouchSettings(ini, target.section.c_str(), settings);
    if (target.device < 0 || static_cast<size_t>(target.device) >= impl_->devices.size()) return;
    DeviceSlot& slot = *impl_->devices[static_cast<size_t>(target.device)];
    slot.engine.settings = settings;
    if (slot.Attached() && impl_->dialog != nullptr) {
        // The reading starts again: its thread takes the smoothing and the fixes.
        if (Result started = slot.reader->StartReading(impl_->dialog); !started)
            ProcessLog().Write("touch settings: %s", started.ReasonText());
        if (slot.Attached()) slot.engine.settings = slot.reader->Setup().settings;
    }
}

void Session::SetMouseMode(int32_t mouseMode) {
    impl_->engine.mouseMode = mouseMode;
    for (auto& d : impl_->devices) d->engine.mouseMode = mouseMode;
}

void Session::ReadDisplay() {
    InitDisplayState(impl_->display, impl_->engine.display);
    for (auto& d : impl_->devices) d->engine.display = impl_->engine.display;
}

void Session::ScreenSize(int32_t& width, int32_t& height) const {
    width = impl_->engine.display.width;
    height = impl_->engine.display.height;
}

void Session::StartSearching(HWND dialog) {
    impl_->timer.Bind(dialog);
    impl_->timer.Set(kStartTimerPeriodMs);
}

// Timer 1: every device found that has no reading gets one, in the order they are
// served; the readings that run go on. Without any device reading, the search goes
// on every kRestartRetryPeriodMs.
void Session::RestartReading(HWND dialog) {
    Impl& impl = *impl_;
    impl.timer.Bind(dialog);
    impl.dialog = dialog;
    impl.timer.Kill();
    const std::vector<FoundTouchDevice> found = impl.Discover();
    std::string failure = found.empty() && !impl.replaying
                              ? NoPanelFound(kPanelVendorId).ReasonText()
                              : std::string("the replayed trace is over");
    for (size_t i = 0; i < found.size(); ++i) {
        const FoundTouchDevice& f = found[i];
        DeviceSlot* slot = nullptr;
        for (auto& d : impl.devices) {
            // An ambiguous identity is known again by its path only.
            if (f.ambiguous ? d->found.path == f.path && d->found.ambiguous
                            : d->found.identity == f.identity && !d->found.ambiguous)
                slot = d.get();
        }
        if (slot != nullptr && slot->Attached()) continue;
        if (slot == nullptr) {
            if (impl.devices.size() >= static_cast<size_t>(kMaxTouchDevices)) {
                ProcessLog().Write("HID %s: skipped, more than %d touch devices", f.path.c_str(),
                                   kMaxTouchDevices);
                continue;
            }
            std::unique_ptr<PanelSource> source;
            if (impl.replaying) {
                source.reset(new ReplayPanelSource(impl.replayScripts[f.order]));
            } else {
                source.reset(new HidPanelSource(f.path));
            }
            slot = &impl.AddDevice(f, std::move(source));
        } else if (!impl.replaying) {
            slot->found.path = f.path;
        }
        slot->first = i == 0;
        PanelReader& reader = *slot->reader;
        // A replayed device whose trace is over stays unplugged.
        const Result started = reader.StartReading(dialog);
        if (started && reader.Running()) {
            ProcessLog().Write("reading the panel");
            slot->engine.monitor.Choose(reader.Setup().monitor);
            // The device's settings hold from its first batch after this opening.
            slot->engine.settings = reader.Setup().settings;
        } else {
            failure = started ? "the reading ended at once" : started.ReasonText();
        }
    }
    bool reading = false;
    for (auto& d : impl.devices) reading = reading || d->Attached();
    if (!reading) {
        ProcessLog().Write("no panel to read (%s): searching again in %u ms", failure.c_str(),
                           static_cast<unsigned>(kRestartRetryPeriodMs));
        impl.timer.Set(kRestartRetryPeriodMs);
    }
}

// WM_DEVICECHANGE: a device may have come or gone; unless the search runs already, it
// runs once (the readings that run go on).
void Session::OnDeviceChange(HWND dialog) {
    impl_->timer.Bind(dialog);
    if (!impl_->timer.Armed()) impl_->timer.Set(kRetryTimerPeriodMs);
}

void Session::StopReading() {
    impl_->timer.Kill();
    for (auto& d : impl_->devices) d->reader->Stop();
    impl_->recorder.Close();
}

LRESULT Session::OnTouch(HWND dialog, WPARAM wParam, LPARAM lParam) {
    // Only the batches of our own reading threads: the records are read through a
    // pointer, which from any other sender could point anywhere.
    DeviceSlot* slot = impl_->FindByRecords(lParam);
    if (slot == nullptr || wParam < 1 || wParam > static_cast<WPARAM>(kTouchRecordCapacity) ||
        !impl_->ports.profiles)
        return 0;
    const TOUCHINPUT* records = slot->reader->Records();
    const int index = impl_->IndexOf(slot);
    switch (impl_->priority.Admit(index, records, static_cast<int>(wParam))) {
        case PriorityVerdict::kDrive:
            break;
        case PriorityVerdict::kIgnoreFirst: {
            DiagnosticLog& log = ProcessLog();
            const int owner = impl_->priority.Owner();
            if (log.Verbose() && owner >= 0) {
                log.Write("touch on %s ignored until it lifts: %s drives",
                          slot->found.identity.c_str(),
                          impl_->devices[static_cast<size_t>(owner)]->found.identity.c_str());
            }
            return 1;
        }
        case PriorityVerdict::kIgnore:
            return 1;
    }
    GestureState& engine = slot->engine;
    // "Sound on touch": a click at each touch-down of finger 1, played while the
    // batch goes on (no sound device: nothing).
    if (engine.settings.touchSound && engine.touchEnabled &&
        (records[0].dwFlags & kTouchEventDown) != 0) {
        PlaySoundA(MAKEINTRESOURCEA(IDR_CLICK_SOUND), GetModuleHandleA(nullptr),
                   SND_RESOURCE | SND_ASYNC | SND_NODEFAULT);
    }
    const int result = OnTouchInput(engine, impl_->ports, records);
    const int ids[kShownTexts] = {IDC_TEXT_FILENAME, IDC_TEXT_TITLE, IDC_TEXT_XY1, IDC_TEXT_XY2,
                                  IDC_TEXT_MONITOR};
    const std::string texts[kShownTexts] = {
        engine.fileName, engine.windowTitle, SampleStatusText(1, engine.samples[kFinger1]),
        SampleStatusText(2, engine.samples[kFinger2]), MonitorText(false)};
    for (int i = 0; i < kShownTexts; ++i) impl_->ShowText(dialog, i, ids[i], texts[i]);
    return result;
}

LRESULT Session::OnReadingEnded(HWND dialog, LPARAM lParam) {
    DeviceSlot* slot = impl_->FindByRecords(lParam);
    if (slot == nullptr) return 0;
    // The touch it left vanished: a held button or keys are released, no click.
    LetGo(slot->engine, impl_->ports);
    impl_->priority.Release(impl_->IndexOf(slot));
    ShowDevices(dialog);
    return 1;
}

}  // namespace tactra
