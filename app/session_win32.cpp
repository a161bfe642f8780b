#include "app/session_win32.h"

#include <cstring>
#include <string>
#include <vector>

#include "app/app_rules.h"
#include "app/resource.h"
#include "device/mapping/calibration.h"
#include "device/hid/reader_win32.h"
#include "device/trace/replay.h"
#include "gesture/engine.h"
#include "gesture/store_profile_source.h"
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
    GestureState engine;
    EnginePorts ports;

    // Where the reports come from: the panel, a replayed trace, or the panel with
    // a recorder in between.
    HidPanelSource hid;
    std::unique_ptr<ReplayPanelSource> replay;
    TraceRecorder recorder;
    std::unique_ptr<RecordingPanelSource> recording;
    std::unique_ptr<PanelReader> reader;
    DialogTimer timer;
    // The Test group's texts and the monitor's as last shown: an unchanged text is
    // not set again.
    std::string shown[kShownTexts];
    bool shownValid[kShownTexts] = {};

    void ShowText(HWND dialog, int slot, int id, const std::string& text) {
        if (shownValid[slot] && text == shown[slot]) return;
        shownValid[slot] = SetDlgItemTextA(dialog, id, text.c_str()) != 0;
        shown[slot] = text;
    }

    PanelReader& Reader() {
        if (!reader) {
            PanelSource* source = &hid;
            if (replay)
                source = replay.get();
            else if (recording)
                source = recording.get();
            reader.reset(new PanelReader(*source));
        }
        return *reader;
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
        impl_->replay = ReplayPanelSource::Load(impl_->options.replayFile, error);
        return impl_->replay != nullptr;
    }
    if (!impl_->options.recordFile.empty()) {
        if (!impl_->recorder.Open(impl_->options.recordFile, error)) return false;
        impl_->recording.reset(new RecordingPanelSource(impl_->hid, impl_->recorder));
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

void Session::ResetEngine(int32_t mouseMode) {
    const GestureState& old = impl_->engine;
    GestureState fresh;
    fresh.display = old.display;
    fresh.monitor = old.monitor;
    fresh.touchEnabled = old.touchEnabled;
    fresh.mouseMode = mouseMode;
    impl_->engine = fresh;
}

void Session::LoadTouchSettings() {
    const CIni ini = CurrentCalibrationFile();
    impl_->engine.touchEnabled = ReadTouchEnabled(ini);
    impl_->engine.monitor.Choose(ReadMonitorName(ini));
}

bool Session::TouchEnabled() const { return impl_->engine.touchEnabled; }

void Session::SetTouchEnabled(bool enabled) {
    tactra::SetTouchEnabled(impl_->engine, impl_->ports, enabled);
    WriteTouchEnabled(CurrentCalibrationFile(), enabled);
}

void Session::ShowMonitor(HWND dialog) {
    impl_->ShowText(dialog, kShownTexts - 1, IDC_TEXT_MONITOR, MonitorText(true));
}

std::string Session::MonitorText(bool look) {
    MonitorChoice& monitor = impl_->engine.monitor;
    if (monitor.Name().empty()) return "Monitor: primary";
    if (look) {
        MonitorInfo found;
        DesktopRect virtualScreen;
        monitor.Saw(FindAttachedMonitor(impl_->display, monitor.Name(), found, virtualScreen));
    }
    std::string text = "Monitor: " + monitor.Name();
    if (monitor.Missing()) text += " (not attached)";
    return text;
}

void Session::SetMouseMode(int32_t mouseMode) { impl_->engine.mouseMode = mouseMode; }

void Session::ReadDisplay() { InitDisplayState(impl_->display, impl_->engine.display); }

void Session::ScreenSize(int32_t& width, int32_t& height) const {
    width = impl_->engine.display.width;
    height = impl_->engine.display.height;
}

void Session::StartSearching(HWND dialog) {
    impl_->timer.Bind(dialog);
    impl_->timer.Set(kStartTimerPeriodMs);
}

void Session::RestartReading(HWND dialog) {
    impl_->timer.Bind(dialog);
    PanelReader& reader = impl_->Reader();
    reader.Restart(impl_->timer, dialog);
    // Each opening reads the monitor anew; its batches reach the engine only once
    // this thread is back in its message loop.
    if (reader.Running()) impl_->engine.monitor.Choose(reader.Setup().monitor);
}

void Session::OnDeviceChange(HWND dialog) {
    impl_->timer.Bind(dialog);
    PanelReader& reader = impl_->Reader();
    if (!impl_->timer.Armed() && DeviceChangeArmsTimer(reader.ThreadHandle(), reader.PanelHandle()))
        impl_->timer.Set(kRetryTimerPeriodMs);
}

void Session::StopReading() {
    impl_->timer.Kill();
    if (impl_->reader) impl_->reader->Stop();
    impl_->recorder.Close();
}

LRESULT Session::OnTouch(HWND dialog, WPARAM wParam, LPARAM lParam) {
    // Only the batches of our own reading thread: the records are read through a
    // pointer, which from any other sender could point anywhere.
    const auto* records = reinterpret_cast<const TOUCHINPUT*>(lParam);
    if (!impl_->reader || records != impl_->reader->Records() || wParam < 1 ||
        wParam > static_cast<WPARAM>(kTouchRecordCapacity) || !impl_->ports.profiles)
        return 0;
    GestureState& engine = impl_->engine;
    const int result = OnTouchInput(engine, impl_->ports, records);
    const int ids[kShownTexts] = {IDC_TEXT_FILENAME, IDC_TEXT_TITLE, IDC_TEXT_XY1, IDC_TEXT_XY2,
                                  IDC_TEXT_MONITOR};
    const std::string texts[kShownTexts] = {
        engine.fileName, engine.windowTitle, SampleStatusText(1, engine.samples[kFinger1]),
        SampleStatusText(2, engine.samples[kFinger2]), MonitorText(false)};
    for (int i = 0; i < kShownTexts; ++i) impl_->ShowText(dialog, i, ids[i], texts[i]);
    return result;
}

}  // namespace tactra
