// tpinput.dll: the exported touch-window interface, the message-only window that
// receives the panel's reports through raw input, and the Win32 adapters of the
// library core's ports.
#define TPINPUT_DECLARE_FUNCTIONS
#include <atomic>
#include <cctype>
#include <cstring>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device/screen/generic_screen.h"
#include "device/hid/hid.h"
#include "device/hid/hid_win32.h"
#include "device/mapping/device_sections.h"
#include "device/mapping/touch_priority.h"
#include "device/panel/panel.h"
#include "device/screen/quirks.h"
#include "platform/diagnostic_log.h"
#include "platform/file_system.h"
#include "platform/win32/win32_display.h"
#include "platform/win32/win32_ports.h"
#include "tpinput/library_replay.h"
#include "tpinput/touch_library.h"
#include "tpinput/tpinput.h"

// The records the library writes are the ones its public header describes.
static_assert(sizeof(TouchInputRecord) == sizeof(tactra::TOUCHINPUT), "record size");
static_assert(offsetof(TouchInputRecord, hSource) == offsetof(tactra::TOUCHINPUT, hSource) &&
                  offsetof(TouchInputRecord, dwFlags) == offsetof(tactra::TOUCHINPUT, dwFlags) &&
                  offsetof(TouchInputRecord, cyContact) == offsetof(tactra::TOUCHINPUT, cyContact),
              "record layout");
static_assert(kTpinputPanelVendorId == tactra::kPanelVendorId &&
                  kTpinputMouseEmulationMode == tactra::kMouseEmulationMode &&
                  kTpinputCalibrationStarted == tactra::kCalibrationModeLimit &&
                  kTpinputRecordCapacity == tactra::kTouchRecordCapacity,
              "the public constants are the library's");
// The public header's copies of the touch event bits (device/panel/panel.h).
static_assert(kTpinputEventMove == tactra::kTouchEventMove &&
                  kTpinputEventDown == tactra::kTouchEventDown &&
                  kTpinputEventUp == tactra::kTouchEventUp &&
                  kTpinputEventInRange == tactra::kTouchEventInRange &&
                  kTpinputEventPrimary == tactra::kTouchEventPrimary,
              "the public event bits are the panel's");
static_assert(kTpinputCalibrateMove == tactra::kCalibrateMove &&
                  kTpinputCalibrateDown == tactra::kCalibrateDown &&
                  kTpinputCalibrateUp == tactra::kCalibrateUp,
              "the public calibration events are the library's");

namespace tactra {
namespace {

constexpr char kMessageWindowClass[] = "Message-Only Window";
constexpr char kTouchMessageName[] = TPINPUT_TOUCH_MESSAGE;
// The timer on the message window that paces a replayed trace.
constexpr UINT_PTR kReplayTimerId = 1;
// The timer that lifts a touch screen's silent contacts.
constexpr UINT_PTR kScreenTimerId = 2;

// The version cannot change while the process runs: it is asked once.
class Win32OsVersion : public OsVersion {
public:
    uint32_t MajorVersion() override {
        if (!known_) {
            OSVERSIONINFOA info = {};
            info.dwOSVersionInfoSize = sizeof info;
            if (!GetVersionExA(&info)) return 0;
            major_ = info.dwMajorVersion;
            known_ = true;
        }
        return major_;
    }

private:
    bool known_ = false;
    uint32_t major_ = 0;
};

class Win32TouchMessageSink : public TouchMessageSink {
public:
    void Send(void* window, uint32_t message, uint32_t count, const TOUCHINPUT* records) override {
        SendMessageA(static_cast<HWND>(window), message, count, reinterpret_cast<LPARAM>(records));
    }
};

// The library's process-wide state and the adapters it works through.
TouchLibraryState g_state;
// This library's own module: its window class is registered under it, so every load
// has a class of its own with that load's window procedure.
HINSTANCE g_module = nullptr;
// Every message window the library has created, for the unload to make harmless.
std::vector<HWND> g_messageWindows;
// Whether raw input is registered to one of those windows.
bool g_rawInputRegistered = false;
Win32Clock g_clock;
Win32Display g_display;
Win32InputSink g_input;
Win32OsVersion g_os;
// "Calibrate.ini" in the current directory, read again only when it changed.
CalibrationFile g_calibration{LocalFileSystem(), g_clock};
Win32TouchMessageSink g_messages;
// The trace that TPINPUT_REPLAY names, loaded at its first use.
LibraryReplay g_replay;
// Set while a replayed report is being sent: a client that runs a message loop in
// its handler gets the next report only after it has returned.
std::atomic<bool> g_replayDelivering{false};

// The touch screen that registration opened when no panel was attached: its reports
// arrive as raw input from that device only, and go through its layout.
struct RegisteredScreen {
    GenericTouchScreen screen;
    std::string path;            // its device path, to know its raw input by
    HANDLE rawDevice = nullptr;  // its raw-input handle, once known
    RegisteredScreen(const ContactLayout& layout, const DeviceQuirks& quirks)
        : screen(layout, quirks) {}
};
std::unique_ptr<RegisteredScreen> g_screen;
// Raw-input handles already found to be other devices.
std::vector<HANDLE> g_otherRawDevices;

// With several touch devices attached at registration, each is read on its own: its
// path, its raw-input handle once known, its decoder (a touch screen's) and its
// reading (maxima, contacts, section of "Calibrate.ini"). One device drives the
// mouse emulation at a time. With one device these stay empty and the library
// reads as it always has.
struct SeveralDevice {
    FoundTouchDevice found;
    bool usable = true;
    HANDLE rawDevice = nullptr;
    std::unique_ptr<GenericTouchScreen> screen;
    LibraryDevice reading;
};
std::vector<std::unique_ptr<SeveralDevice>> g_devices;
TouchPriority g_priority;

LibraryPorts Ports() {
    LibraryPorts ports;
    ports.clock = &g_clock;
    ports.display = &g_display;
    ports.input = &g_input;
    ports.os = &g_os;
    ports.calibration = &g_calibration;
    ports.messages = &g_messages;
    return ports;
}

PanelOpenOptions LibraryOpenOptions(uint16_t vendorId) {
    PanelOpenOptions options;
    options.vendorId = vendorId;
    options.overlapped = true;
    // Devices of another vendor are counted as they are; only the panel must carry
    // the panel's descriptor. Vendor 0 counts every usable touch screen: the panels
    // and the touch screens of any maker.
    options.requirePanelDescriptor = vendorId == kPanelVendorId || vendorId == 0;
    if (vendorId == 0) {
        options.vendorId = kPanelVendorId;
        options.acceptTouchScreens = true;
    }
    return options;
}

// The value of TPINPUT_REPLAY; empty when it is not set.
std::string ReplayPath() {
    const DWORD need = GetEnvironmentVariableA(kReplayVariable, nullptr, 0);
    if (need == 0) return std::string();
    std::string path(need, '\0');
    const DWORD got = GetEnvironmentVariableA(kReplayVariable, &path[0], need);
    if (got == 0 || got >= need) return std::string();
    path.resize(got);
    return path;
}

// A trace replaces the panel once the variable is set; it stays once loaded.
bool ReplayRequested() { return g_replay.Loaded() || !ReplayPath().empty(); }

bool ReplayReady() {
    if (g_replay.Loaded()) return true;
    std::string message;
    if (g_replay.Load(ReplayPath(), message)) return true;
    ProcessLog().Write("%s", message.c_str());
    return false;
}

int CountLibraryPanels(uint16_t vendorId) {
    if (ReplayRequested()) {
        // The replayed device is the one attached: a panel's trace is the panel; a
        // touch screen's trace a touch screen of the maker its `ids` name, counted as
        // such a screen would be (by vendor 0, or by its own vendor unless that is the
        // panel's, whose count takes only panels).
        if (!ReplayReady()) return 0;
        if (g_replay.Screen()) {
            const ReplayScript& script = g_replay.Script();
            if (vendorId != 0 && (vendorId != script.vendorId || vendorId == kPanelVendorId))
                return 0;
            g_state.foundAttributes = HidAttributes{script.vendorId, script.productId, 0};
            return 1;
        }
        if (vendorId != kPanelVendorId && vendorId != 0) return 0;
        g_state.foundAttributes = HidAttributes{kPanelVendorId, 0, 0};
        return 1;
    }
    HidAttributes lastMatch;
    const int count = CountPanels(LibraryOpenOptions(vendorId), &lastMatch);
    if (count > 0) g_state.foundAttributes = lastMatch;
    return count;
}

// Whether a raw-input report comes from the registered touch screen.
bool FromRegisteredScreen(HANDLE device) {
    if (g_screen->rawDevice != nullptr) return device == g_screen->rawDevice;
    for (HANDLE other : g_otherRawDevices) {
        if (other == device) return false;
    }
    const std::string name = RawInputDeviceName(device);
    if (name.empty()) return false;
    if (SameDevicePath(name, g_screen->path)) {
        g_screen->rawDevice = device;
        return true;
    }
    if (g_otherRawDevices.size() < 64) g_otherRawDevices.push_back(device);
    return false;
}

void RegisterRawInput() {
    RAWINPUTDEVICE device = {};
    device.usUsagePage = kDigitizerUsagePage;
    device.usUsage = kTouchScreenUsage;
    device.dwFlags = kRawInputSinkFlag;
    device.hwndTarget = static_cast<HWND>(g_state.messageWindow);
    g_state.rawInput.usagePage = device.usUsagePage;
    g_state.rawInput.usage = device.usUsage;
    g_state.rawInput.flags = device.dwFlags;
    g_state.rawInput.target = device.hwndTarget;
    if (device.hwndTarget == nullptr || !RegisterRawInputDevices(&device, 1, sizeof device)) {
        OutputDebugStringA("Error registering input");
    } else {
        g_rawInputRegistered = true;
    }
}

// Lifts the registered screen's contacts that have been silent too long at `tick`
// (GetTickCount's clock).
void DeliverSeveral(size_t index, const uint8_t* data, size_t length);

void ExpireScreenContacts(uint32_t tick) {
    PanelInputReport frame;
    for (size_t i = 0; i < g_devices.size(); ++i) {
        SeveralDevice& d = *g_devices[i];
        if (d.screen == nullptr || !d.screen->Expire(tick, frame)) continue;
        uint8_t bytes[kPanelReportMinLength];
        EncodePanelReport(frame, bytes);
        DeliverSeveral(i, bytes, sizeof bytes);
    }
    if (g_screen == nullptr || !g_screen->screen.Expire(tick, frame)) return;
    uint8_t bytes[kPanelReportMinLength];
    EncodePanelReport(frame, bytes);
    LibraryPorts ports = Ports();
    ProcessPanelReport(g_state, ports, bytes, sizeof bytes);
}

// One report of the registered touch screen, as the system delivers it, sent by the
// device at `tick`; a frame it completes goes on as the panel's report would. The
// silences are counted at the times the reports were sent: a client whose thread was
// busy takes the reports that waited meanwhile late, and a finger that kept touching
// must not be lifted and touch down again for that.
void FeedScreen(const uint8_t* data, size_t length, uint32_t tick) {
    // Contacts silent too long are lifted first, also while others keep reporting.
    ExpireScreenContacts(tick);
    const ContactLayout& layout = g_screen->screen.Layout();
    // The system puts a 0 ID byte before the report of a device that uses no IDs.
    const size_t skip = layout.reportId == 0 ? 1 : 0;
    if (length <= skip) return;
    PanelInputReport frame;
    if (g_screen->screen.Feed(data + skip, length - skip, tick, frame) != ScreenOutcome::kFrame) {
        return;  // dropped and counted, or the rest of a hybrid frame is to come
    }
    uint8_t bytes[kPanelReportMinLength];
    EncodePanelReport(frame, bytes);
    LibraryPorts ports = Ports();
    ProcessPanelReport(g_state, ports, bytes, sizeof bytes);
}

// A report of device `index` of several (a screen's frame as the panel's report), under
// touch priority: every device's records reach the client, the mouse follows one.
void DeliverSeveral(size_t index, const uint8_t* data, size_t length) {
    PanelInputReport report;
    if (DecodePanelReport(data, length, report) != DecodeResult::kOk) return;
    TOUCHINPUT touch = {};
    touch.dwFlags =
        report.contact1.Touching() || report.contact2.Touching() ? kTouchEventMove : kTouchEventUp;
    const bool drives =
        g_priority.Admit(static_cast<int>(index), &touch, 1) == PriorityVerdict::kDrive;
    LibraryPorts ports = Ports();
    ProcessDeviceReport(g_state, g_devices[index]->reading, static_cast<int32_t>(index), drives,
                        ports, data, length);
}

// A raw-input report while several devices are registered: its device's, through that
// device's layout; a device registration did not find is passed over.
void FeedSeveral(HANDLE rawDevice, const uint8_t* data, size_t length, uint32_t tick) {
    size_t index = g_devices.size();
    for (size_t i = 0; i < g_devices.size() && index == g_devices.size(); ++i) {
        if (g_devices[i]->rawDevice == rawDevice) index = i;
    }
    if (index == g_devices.size()) {
        for (HANDLE other : g_otherRawDevices) {
            if (other == rawDevice) return;
        }
        const std::string name = RawInputDeviceName(rawDevice);
        for (size_t i = 0; i < g_devices.size() && index == g_devices.size(); ++i) {
            if (g_devices[i]->rawDevice == nullptr &&
                SameDevicePath(name, g_devices[i]->found.path)) {
                g_devices[i]->rawDevice = rawDevice;
                g_devices[i]->reading.source = rawDevice;
                index = i;
            }
        }
        if (index == g_devices.size()) {
            if (g_otherRawDevices.size() < 64) g_otherRawDevices.push_back(rawDevice);
            return;
        }
    }
    SeveralDevice& d = *g_devices[index];
    if (!d.usable) return;
    if (d.screen == nullptr) {
        DeliverSeveral(index, data, length);
        return;
    }
    ExpireScreenContacts(tick);
    const size_t skip = d.screen->Layout().reportId == 0 ? 1 : 0;
    if (length <= skip) return;
    PanelInputReport frame;
    if (d.screen->Feed(data + skip, length - skip, tick, frame) != ScreenOutcome::kFrame) return;
    uint8_t bytes[kPanelReportMinLength];
    EncodePanelReport(frame, bytes);
    DeliverSeveral(index, bytes, sizeof bytes);
}

// The first report of a WM_INPUT's HID block, posted at `tick`, handed to the core.
// Anything that is not HID input, or an empty block, is dropped.
void HandleRawInput(HRAWINPUT input, uint32_t tick) {
    UINT size = 0;
    if (GetRawInputData(input, RID_INPUT, nullptr, &size, sizeof(RAWINPUTHEADER)) != 0) return;
    if (size < sizeof(RAWINPUTHEADER)) return;
    // RAWINPUT needs pointer alignment.
    std::vector<uint64_t> buffer((size + sizeof(uint64_t) - 1) / sizeof(uint64_t));
    UINT got = size;
    if (GetRawInputData(input, RID_INPUT, buffer.data(), &got, sizeof(RAWINPUTHEADER)) != size) {
        return;
    }
    const RAWINPUT* raw = reinterpret_cast<const RAWINPUT*>(buffer.data());
    if (raw->header.dwType != RIM_TYPEHID) return;
    const size_t dataOffset = offsetof(RAWINPUT, data.hid.bRawData);
    if (size < dataOffset) return;
    const DWORD reportSize = raw->data.hid.dwSizeHid;
    if (raw->data.hid.dwCount == 0 || reportSize == 0 || reportSize > size - dataOffset) return;
    if (!g_devices.empty()) {
        FeedSeveral(raw->header.hDevice, raw->data.hid.bRawData, reportSize, tick);
        return;
    }
    if (g_screen != nullptr) {
        if (FromRegisteredScreen(raw->header.hDevice))
            FeedScreen(raw->data.hid.bRawData, reportSize, tick);
        return;
    }
    LibraryPorts ports = Ports();
    ProcessPanelReport(g_state, ports, raw->data.hid.bRawData, reportSize);
}

// Sets the replay timer of `window` to the next report's time, or ends it.
void ArmReplayTimer(HWND window) {
    if (window == nullptr) return;
    uint32_t delay = 0;
    if (g_replay.NextDelay(GetTickCount(), delay)) {
        SetTimer(window, kReplayTimerId, delay, nullptr);
    } else {
        KillTimer(window, kReplayTimerId);
    }
}

// The reports that are due, on the thread of the newest message window, as raw
// input would arrive there; an older window's timer ends.
void DeliverReplay(HWND window) {
    if (window != g_state.messageWindow) {
        KillTimer(window, kReplayTimerId);
        return;
    }
    if (g_replayDelivering.exchange(true)) return;  // the timer comes again
    LibraryPorts ports = Ports();
    while (window == g_state.messageWindow) {
        const ReplayReport* report = g_replay.TakeDue(GetTickCount());
        if (report == nullptr) break;
        if (g_screen != nullptr) {
            FeedScreen(report->bytes.data(), report->bytes.size(), g_replay.DueTime(*report));
            continue;
        }
        ProcessPanelReport(g_state, ports, report->bytes.data(), report->bytes.size());
    }
    g_replayDelivering = false;
    if (window == g_state.messageWindow) {
        ArmReplayTimer(window);
    } else {
        KillTimer(window, kReplayTimerId);
    }
}

LRESULT CALLBACK MessageWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INPUT) {
        // No debugger line per report: at 200 reports a second it would cost more
        // than the report's processing whenever a debugger listens.
        if (g_screen != nullptr || !g_devices.empty() ||
            g_state.foundAttributes.vendorId == kPanelVendorId) {
            HandleRawInput(reinterpret_cast<HRAWINPUT>(lParam),
                           static_cast<uint32_t>(GetMessageTime()));
        }
    } else if (message == WM_TIMER && wParam == kScreenTimerId) {
        // A contact is silent only when no report that holds it waits: raw input comes
        // before any timer; a replay's due reports go first, and nothing is judged
        // while a delivery is under way (a client's handler running a message loop).
        if (g_replay.Started()) {
            DeliverReplay(hwnd);
            if (g_replayDelivering) return 0;
        }
        ExpireScreenContacts(GetTickCount());
        return 0;
    } else if (message == WM_DEVICECHANGE) {
        if (!g_replay.Started()) RegisterRawInput();
    } else if (message == WM_TIMER && wParam == kReplayTimerId) {
        DeliverReplay(hwnd);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

HINSTANCE LibraryModule() {
    if (g_module == nullptr) {
        GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCSTR>(&g_module), &g_module);
    }
    return g_module;
}

void CreateMessageWindow() {
    HINSTANCE instance = LibraryModule();
    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MessageWindowProc;
    wc.hInstance = instance;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = kMessageWindowClass;
    RegisterClassA(&wc);  // already registered by an earlier call: that class serves
    HWND window = CreateWindowExA(0, kMessageWindowClass, kMessageWindowClass, 0, 0, 0, 0, 0,
                                  HWND_MESSAGE, nullptr, instance, nullptr);
    if (window == nullptr) {
        OutputDebugStringA("Create Windows fail!!");
    } else {
        // A class left behind by an earlier load of this library at the same address
        // (its windows were still open when it was unloaded) carries a neutral
        // procedure: give it, and this window, the current one.
        const LONG_PTR procedure = reinterpret_cast<LONG_PTR>(&MessageWindowProc);
        if (GetWindowLongPtrA(window, GWLP_WNDPROC) != procedure) {
            SetClassLongPtrA(window, GCLP_WNDPROC, procedure);
            SetWindowLongPtrA(window, GWLP_WNDPROC, procedure);
        }
        g_messageWindows.push_back(window);
    }
    g_state.messageWindow = window;
}

// The library is being unloaded while the process goes on: its windows may outlive
// it (they belong to the client's threads), so no message may reach its procedure
// any more. Raw input stops, every window falls back to the default procedure and is
// asked to close on its own thread, and the class goes when no window holds it.
// Runs under the loader lock: nothing here waits for another thread.
void ReleaseMessageWindows() {
    if (g_rawInputRegistered) {
        RAWINPUTDEVICE device = {};
        device.usUsagePage = kDigitizerUsagePage;
        device.usUsage = kTouchScreenUsage;
        device.dwFlags = RIDEV_REMOVE;
        device.hwndTarget = nullptr;
        RegisterRawInputDevices(&device, 1, sizeof device);
        g_rawInputRegistered = false;
    }
    const LONG_PTR defaultProcedure = reinterpret_cast<LONG_PTR>(&DefWindowProcA);
    for (HWND window : g_messageWindows) {
        // A window that is gone, or a handle now naming another window, is left alone.
        if (!IsWindow(window) ||
            GetWindowLongPtrA(window, GWLP_HINSTANCE) != reinterpret_cast<LONG_PTR>(g_module)) {
            continue;
        }
        SetClassLongPtrA(window, GCLP_WNDPROC, defaultProcedure);
        SetWindowLongPtrA(window, GWLP_WNDPROC, defaultProcedure);
        PostMessageA(window, WM_CLOSE, 0, 0);
    }
    g_messageWindows.clear();
    UnregisterClassA(kMessageWindowClass, g_module);  // fails while a window remains
}

// A device's settings from its section of "Calibrate.ini" (for its fixes).
TouchSettings SettingsOf(const char* section) {
    std::vector<std::string> notes;
    const TouchSettings settings = ReadTouchSettings(CurrentCalibrationFile(), section, notes);
    for (const std::string& note : notes) ProcessLog().Write("%s", note.c_str());
    return settings;
}

// Registration with a replayed trace as the panel: its reports arrive paced by the
// message window's timer instead of raw input.
int RegisterReplay(HWND hwnd, ULONG mode) {
    if (CountLibraryPanels(kPanelVendorId) == 0 && CountLibraryPanels(0) == 0) return 0;
    g_state.panel.openFlag = true;
    g_state.panel.logicalMaxX = g_replay.LogicalMaxX();
    g_state.panel.logicalMaxY = g_replay.LogicalMaxY();
    if (g_replay.Screen() && g_screen == nullptr) {
        // A touch screen's trace: its reports go through its layout, its positions
        // scaled to the trace's panel maxima; the contacts stay across registrations.
        const ReplayScript& script = g_replay.Script();
        g_screen = std::make_unique<RegisteredScreen>(
            script.layout, ApplyFixes(FindQuirks(script.vendorId, script.productId),
                                      SettingsOf(kCalibrationSection)));
        g_screen->screen.SetPanelRange(g_state.panel.logicalMaxX, g_state.panel.logicalMaxY);
    }
    CompleteRegistration(g_state, hwnd, RegisterWindowMessageA(kTouchMessageName),
                         static_cast<int32_t>(mode));
    g_replay.Start(GetTickCount());
    ArmReplayTimer(static_cast<HWND>(g_state.messageWindow));
    if (g_screen != nullptr && g_state.messageWindow != nullptr) {
        SetTimer(static_cast<HWND>(g_state.messageWindow), kScreenTimerId, kContactTimeoutMs,
                 nullptr);
    }
    return 1;
}

// With more than one usable touch device, each is opened in turn to read its ranges
// (and a screen's Device Mode set), then closed: raw input delivers the reports. Each
// maps through its own section of "Calibrate.ini". False with fewer than two.
bool RegisterSeveral(const PanelOpenOptions& options) {
    std::vector<FoundTouchDevice> found;
    ListTouchDevices(options, std::vector<std::string>(), found);
    if (found.size() < 2) return false;
    const CIni ini = CurrentCalibrationFile();
    for (size_t i = 0; i < found.size(); ++i) {
        // A device that cannot be read now keeps its place, so that the devices are
        // numbered as discovery lists them (SetCalibrate's number), but reads nothing.
        std::unique_ptr<SeveralDevice> d(new SeveralDevice);
        d->found = found[i];
        PanelDevice device;
        Result opened = OpenPanelAt(device, found[i].path, options);
        if (opened) {
            opened = ReadValueRanges(device);
            if (device.touchScreen) SetDeviceModeOrLog(device);
            ClosePanelHandle(device.handle);
        }
        if (!opened) {
            ProcessLog().Write("HID %s: %s", found[i].path.c_str(), opened.ReasonText());
            d->usable = false;
            g_devices.push_back(std::move(d));
            continue;
        }
        d->reading.panel.logicalMaxX = device.logicalMaxX;
        d->reading.panel.logicalMaxY = device.logicalMaxY;
        d->reading.section = found[i].ambiguous
                                 ? DeviceSectionName(found[i].identity) + " (not stored)"
                                 : CalibrationSectionFor(ini, found[i].identity, i == 0);
        d->reading.configOwner = found[0].identity;
        if (device.touchScreen) {
            d->screen.reset(new GenericTouchScreen(
                device.layout,
                ApplyFixes(FindQuirks(device.attributes.vendorId, device.attributes.productId),
                           SettingsOf(d->reading.section.c_str()))));
            d->screen->SetPanelRange(kGenericPanelMax, kGenericPanelMax);
        }
        g_devices.push_back(std::move(d));
    }
    size_t usable = 0;
    for (const auto& d : g_devices) usable += d->usable ? 1 : 0;
    if (usable == 0) {
        g_devices.clear();
        return false;
    }
    // As with one device: the last panel found gives the attributes, else the first
    // screen.
    g_state.foundAttributes = g_devices.front()->found.attributes;
    for (const auto& d : g_devices) {
        if (!d->found.touchScreen) g_state.foundAttributes = d->found.attributes;
    }
    ProcessLog().Write("%u touch devices registered", static_cast<unsigned>(g_devices.size()));
    return true;
}

int Register(HWND hwnd, ULONG mode) {
    CreateMessageWindow();
    ResetPanelDevice(g_state.panel);
    if (ReplayRequested()) return RegisterReplay(hwnd, mode);
    // A panel, or without one any usable touch screen.
    if (CountLibraryPanels(kPanelVendorId) == 0 && CountLibraryPanels(0) == 0) return 0;

    // The panel is opened into the library's own record: handle, open flag, report
    // lengths and attributes; the maxima stay the earlier registration's unless the
    // ranges are read.
    PanelDevice& device = g_state.panel;
    // Every panel the open step finds stores its attributes, as counting does: with
    // two panels the stored ones are the second's while the first is used.
    HidAttributes lastMatch;
    PanelOpenOptions options = LibraryOpenOptions(kPanelVendorId);
    options.acceptTouchScreens = true;
    g_devices.clear();
    g_priority = TouchPriority();
    if (RegisterSeveral(options)) {
        ClosePanelHandle(device.handle);
        device.handle = InvalidPanelHandle();
        g_screen.reset();
        g_otherRawDevices.clear();
        CompleteRegistration(g_state, hwnd, RegisterWindowMessageA(kTouchMessageName),
                             static_cast<int32_t>(mode));
        RegisterRawInput();
        if (g_state.messageWindow != nullptr)
            SetTimer(static_cast<HWND>(g_state.messageWindow), kScreenTimerId, kContactTimeoutMs,
                     nullptr);
        return 1;
    }
    if (!OpenFirstPanel(device, options, &lastMatch)) return 0;
    g_state.foundAttributes = lastMatch;
    // Without the ranges (a failed read), the maxima stay the earlier registration's.
    static_cast<void>(ReadValueRanges(device));
    g_screen.reset();
    g_otherRawDevices.clear();
    if (device.touchScreen) {
        // The screen starts in mouse mode; its raw input follows its layout.
        SetDeviceModeOrLog(device);
        g_screen = std::make_unique<RegisteredScreen>(
            device.layout,
            ApplyFixes(FindQuirks(device.attributes.vendorId, device.attributes.productId),
                       SettingsOf(kCalibrationSection)));
        g_screen->screen.SetPanelRange(kGenericPanelMax, kGenericPanelMax);
        g_screen->path = device.path;
    }
    ClosePanelHandle(device.handle);
    device.handle = InvalidPanelHandle();

    CompleteRegistration(g_state, hwnd, RegisterWindowMessageA(kTouchMessageName),
                         static_cast<int32_t>(mode));
    RegisterRawInput();
    if (g_screen != nullptr && g_state.messageWindow != nullptr)
        SetTimer(static_cast<HWND>(g_state.messageWindow), kScreenTimerId, kContactTimeoutMs,
                 nullptr);
    return 1;
}

}  // namespace
}  // namespace tactra

using tactra::g_state;

extern "C" {

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        tactra::g_module = module;
        // The library's log, on the debugger output, each line marked as the library's.
        tactra::ProcessLog().SetDebugOutput([](const char* line) {
            OutputDebugStringA((std::string("tpinput: ") + line).c_str());
        });
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        // FreeLibrary. At process exit (reserved set) the windows go with the process.
        tactra::ReleaseMessageWindows();
    }
    return TRUE;
}

BOOL WINAPI RegisterTouchWindow(HWND window, ULONG mode) { return tactra::Register(window, mode); }

BOOL WINAPI UnregisterTouchWindow(HWND) { return 1; }

BOOL WINAPI IsTouchWindow(HWND window, PULONG) { return window == g_state.targetWindow ? 1 : 0; }

BOOL WINAPI GetTouchInputInfo(HANDLE handle, UINT count, TouchInputRecord* records, int size) {
    // The records of the latest touch message, for a client written for the
    // platform's touch functions; the same records stay readable through lParam.
    if (!tactra::CopyTouchRecords(g_state, handle, count,
                                  reinterpret_cast<tactra::TOUCHINPUT*>(records), size)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return 1;
}

BOOL WINAPI CloseTouchInputHandle(HANDLE) {
    if (g_state.panel.openFlag) {
        tactra::ClosePanelHandle(g_state.panel.handle);
        tactra::ResetPanelDevice(g_state.panel);
    }
    return 1;
}

int WINAPI GetConnectedDeviceNum(int vendorId) {
    return tactra::CountLibraryPanels(static_cast<uint16_t>(vendorId & 0xFFFF));
}

int WINAPI VersionNumber(WORD ids[3]) {
    if (ids == nullptr) return 0;
    ids[0] = g_state.foundAttributes.vendorId;
    ids[1] = g_state.foundAttributes.productId;
    ids[2] = g_state.foundAttributes.versionNumber;
    return 1;
}

int WINAPI SUSPENDTHREAD(void) { return 1; }

int WINAPI RESUMETHREAD(void) { return 1; }

int WINAPI SetCalibrate(int start) {
    tactra::LibraryPorts ports = tactra::Ports();
    // With several devices the capture ends in the section of the device captured.
    const size_t captured = static_cast<size_t>(g_state.captureDevice);
    if (start == 0 && captured < tactra::g_devices.size()) {
        const tactra::LibraryDevice& reading = tactra::g_devices[captured]->reading;
        ports.calibration->UseSection(reading.section, reading.configOwner);
    }
    return tactra::ApplySetCalibrate(g_state, ports, start);
}

int WINAPI CalibrateEvent(int type, int point) {
    return tactra::ApplyCalibrateEvent(g_state, tactra::Ports(), type, point);
}

}  // extern "C"
