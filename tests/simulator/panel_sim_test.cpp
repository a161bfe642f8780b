// The real HID path against simulated panels (simulated_hid.h, panel_feeder.h):
// discovery, the start report, the reading thread, unplugging and plugging back, the
// end of the program while a read waits, and the library's open step. The Tactra
// cases start a byte-identical copy of the Tactra.exe under test in a folder of its
// own, beside the simulator's DLLs; the reader and library cases run in this program,
// which is built beside those DLLs and loads them instead of the system's.
#include <windows.h>
// The headers below need windows.h first.
#include <gtest/gtest.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "device/screen/contact_layout.h"
#include "device/hid/hid_win32.h"
#include "device/hid/reader_win32.h"
#include "device/screen/report_descriptor.h"
#include "device/trace/trace.h"
#include "platform/diagnostic_log.h"
#include "panel_feeder.h"
#include "tests/support/monitors_win32.h"
#include "tests/support/probe_window_win32.h"
#include "tests/support/tactra_process_win32.h"
#include "tpinput/tpinput.h"

namespace tactra {
namespace {

using sim::PanelFeeder;
using sim::SimulatedDevice;
using testing::ProbeProfile;
using testing::ProbeWindow;
using testing::ProgramName;
using testing::Pump;
using testing::TactraProcess;

constexpr UINT kTrayIconId = 128;

std::string OwnFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of("\\/"));
}

SimulatedDevice Device(const std::string& path, uint16_t vendor, uint16_t product, uint16_t input,
                       uint16_t output, std::vector<int32_t> maxima) {
    SimulatedDevice d;
    d.path = path;
    d.vendorId = vendor;
    d.productId = product;
    d.versionNumber = static_cast<uint16_t>(0x0100 + product);
    d.inputReportLength = input;
    d.outputReportLength = output;
    d.valueCapsLogicalMax = std::move(maxima);
    return d;
}

std::vector<uint8_t> Touch(int x, int y) {
    return MakeTouchReport(true, static_cast<uint16_t>(x), static_cast<uint16_t>(y), false,
                           static_cast<uint16_t>(x), static_cast<uint16_t>(y));
}
std::vector<uint8_t> Touch2(int x1, int y1, int x2, int y2) {
    return MakeTouchReport(true, static_cast<uint16_t>(x1), static_cast<uint16_t>(y1), true,
                           static_cast<uint16_t>(x2), static_cast<uint16_t>(y2));
}
std::vector<uint8_t> Lift(int x, int y) {
    return MakeTouchReport(false, static_cast<uint16_t>(x), static_cast<uint16_t>(y), false,
                           static_cast<uint16_t>(x), static_cast<uint16_t>(y));
}

// Whether the notification area holds Tactra's icon: modifying nothing succeeds only
// for an icon that exists.
bool TrayIconExists(HWND owner) {
    NOTIFYICONDATAA nid = {};
    nid.cbSize = sizeof nid;
    nid.hWnd = owner;
    nid.uID = kTrayIconId;
    return Shell_NotifyIconA(NIM_MODIFY, &nid) != FALSE;
}

// An icon of this program in the notification area for the life of the object. Under
// Wine without a window manager, removing the area's last icon waits two seconds for
// a window manager that never answers; with this icon there, Tactra's icon is never
// the last, and its removal takes the time it takes on a desktop.
class KeptTrayIcon {
public:
    KeptTrayIcon() {
        window_ =
            CreateWindowA("STATIC", "kept icon", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        nid_.cbSize = sizeof nid_;
        nid_.hWnd = window_;
        nid_.uID = 1;
        nid_.uFlags = NIF_ICON | NIF_TIP;
        nid_.hIcon = LoadIconA(nullptr, MAKEINTRESOURCEA(32512));
        std::snprintf(nid_.szTip, sizeof nid_.szTip, "panel_sim_test");
        Shell_NotifyIconA(NIM_ADD, &nid_);
    }
    ~KeptTrayIcon() {
        Shell_NotifyIconA(NIM_DELETE, &nid_);
        DestroyWindow(window_);
    }

private:
    HWND window_ = nullptr;
    NOTIFYICONDATAA nid_ = {};
};

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A folder of the test's own with a list of simulated devices and their feeders.
class SimulatedDevices : public ::testing::Test {
protected:
    void Describe(const char* tag, const std::vector<SimulatedDevice>& devices) {
        folder_ = TactraProcess::MakeEmptyFolder(tag);
        deviceList_ = folder_ + "\\simulated-hid.txt";
        ASSERT_TRUE(sim::WriteDeviceList(deviceList_, devices));
        // This program's own HID calls see the same devices.
        SetEnvironmentVariableA(sim::kDeviceListVariable, deviceList_.c_str());
        for (const SimulatedDevice& d : devices) {
            feeders_.push_back(std::make_unique<PanelFeeder>(d.path));
        }
    }
    void TearDown() override {
        feeders_.clear();
        SetEnvironmentVariableA(sim::kDeviceListVariable, nullptr);
    }
    // A pipe name no other run uses.
    static std::string PipePath(const char* name) {
        char path[160];
        std::snprintf(path, sizeof path, "\\\\.\\pipe\\tactra-sim-%lu-%lu-%s",
                      GetCurrentProcessId(), GetTickCount(), name);
        return path;
    }
    PanelFeeder& Feeder(size_t i) { return *feeders_.at(i); }

    std::string folder_;
    std::string deviceList_;
    std::vector<std::unique_ptr<PanelFeeder>> feeders_;
};

// ---------------------------------------------------------------- Tactra.exe

class SimulatedTactra : public SimulatedDevices {
protected:
    // Starts a copy of the Tactra.exe under test beside the simulator's DLLs, which a
    // DLL override in its environment makes it load instead of the system's.
    void StartTactra() {
        const std::string program = folder_ + "\\Tactra.exe";
        ASSERT_TRUE(CopyFileA(TactraProcess::BuiltProgram().c_str(), program.c_str(), FALSE));
        for (const char* dll : {"hid.dll", "setupapi.dll"}) {
            ASSERT_TRUE(CopyFileA((OwnFolder() + "\\" + dll).c_str(),
                                  (folder_ + "\\" + dll).c_str(), FALSE));
        }
        TactraProcess::SetWineVersion("winxp64");  // major version 5: the mouse is emulated
        app_.SetProgram(program);
        app_.SetEnvironment(sim::SimulatorEnvironment(deviceList_));
        ASSERT_TRUE(app_.Start(folder_)) << "Tactra.exe did not open its main dialog";
    }
    // Waits for the start report of a panel that has just been opened for reading.
    void ExpectReading(PanelFeeder& panel, const std::vector<uint8_t>& startReport,
                       DWORD timeoutMs = 10000) {
        std::vector<uint8_t> written;
        ASSERT_TRUE(panel.NextWrite(written, timeoutMs)) << "no start report";
        EXPECT_EQ(written, startReport);
        EXPECT_TRUE(panel.WaitHeld(1, 5000));
    }
    // Sends the system's notification of a device change, as it reaches every
    // top-level window.
    void DeviceChange() { PostMessageA(app_.MainDialog(), WM_DEVICECHANGE, 0x0007, 0); }

    static POINT Cursor() {
        POINT p = {};
        GetCursorPos(&p);
        return p;
    }
    // Feeds a touch at raw (x, y) and waits until the pointer is at `expected`.
    static bool TouchMovesPointer(PanelFeeder& panel, int x, int y, POINT expected) {
        const DWORD start = GetTickCount();
        do {
            panel.Send(Touch(x, y));
            Pump(40);
            const POINT p = Cursor();
            if (std::abs(p.x - expected.x) <= 1 && std::abs(p.y - expected.y) <= 1) {
                panel.Send(Lift(x, y));
                return true;
            }
        } while (GetTickCount() - start < 5000);
        panel.Send(Lift(x, y));
        return false;
    }

    TactraProcess app_;
};

// Every panel is read, each with its own start report and ranges; every other device
// is examined once and closed again.
TEST_F(SimulatedTactra, DiscoveryReadsEveryPanelAndSkipsEverythingElse) {
    Describe("discovery",
             {
                 Device(PipePath("unplugged"), 0x0EEF, 0x0001, 13, 2, {1, 4095, 4095}),
                 Device(PipePath("config"), 0x0EEF, 0x0002, 0, 0, {}),  // the vendor's, no panel
                 Device(PipePath("mouse"), 0x046D, 0xC077, 13, 2, {1, 4095, 4095}),
                 Device(PipePath("short"), 0x0EEF, 0x0004, 8, 2, {1, 4095, 4095}),
                 Device(PipePath("twocaps"), 0x0EEF, 0x0005, 13, 2, {4095, 4095}),
                 Device(PipePath("first"), 0x0EEF, 0x0006, 13, 4, {1, 2048, 1536}),
                 Device(PipePath("second"), 0x0EEF, 0x0007, 13, 2, {1, 4095, 4095}),
             });
    for (size_t i = 1; i < feeders_.size(); ++i) ASSERT_TRUE(Feeder(i).Plug());
    PanelFeeder& first = Feeder(5);
    PanelFeeder& second = Feeder(6);
    StartTactra();
    // The start report fills the panel's whole output report: ID 0, then 1.
    ExpectReading(first, {0x00, 0x01, 0x00, 0x00});
    ExpectReading(second, {0x00, 0x01});
    Pump(300);

    std::vector<size_t> opens;
    for (size_t i = 1; i < feeders_.size(); ++i) {
        PanelFeeder& f = Feeder(i);
        SCOPED_TRACE(f.Path());
        EXPECT_GE(f.OpenTicks().size(), 1u) << "every interface examined";
        opens.push_back(f.OpenTicks().size());
        if (&f == &first || &f == &second) continue;
        EXPECT_EQ(f.Held(), 0) << "closed again";
        std::vector<uint8_t> written;
        EXPECT_FALSE(f.NextWrite(written, 0)) << "only the panels get the start report";
    }

    // Reading: no search runs any more.
    Pump(1200);
    for (size_t i = 1; i < feeders_.size(); ++i) {
        EXPECT_EQ(Feeder(i).OpenTicks().size(), opens[i - 1]) << Feeder(i).Path();
    }

    // Each panel's ranges are its own (2048 x 1536 and 4095 x 4095 on the 1024 x 768
    // screen); with no section of its own, the second maps its full range.
    EXPECT_TRUE(TouchMovesPointer(first, 1600, 400, {800, 200}))
        << "pointer at " << Cursor().x << "," << Cursor().y;
    Pump(200);
    EXPECT_TRUE(TouchMovesPointer(second, 2048, 1024, {512, 192}))
        << "pointer at " << Cursor().x << "," << Cursor().y;
}

// Sends a report and handles this thread's messages for `gapMs`.
void Feed(PanelFeeder& panel, const std::vector<uint8_t>& report, DWORD gapMs) {
    panel.Send(report);
    Pump(gapMs);
}

bool WaitForCount(const std::vector<std::string>& received, size_t count, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (received.size() < count && GetTickCount() - start < timeoutMs) Pump(20);
    return received.size() >= count;
}

TEST_F(SimulatedTactra, TapPinchAndFlickReachTheApplicationInFront) {
    // Raw units are twice the screen's pixels.
    Describe("touch", {Device(PipePath("panel"), 0x0EEF, 0x0001, 13, 2, {1, 2048, 1536})});
    PanelFeeder& panel = Feeder(0);
    ASSERT_TRUE(panel.Plug());

    ProbeWindow probe("TactraSimulatedProbe", "Touch probe");
    ASSERT_NE(probe.Handle(), nullptr);
    std::ofstream(folder_ + "\\Tactra.ini", std::ios::binary) << ProbeProfile(ProgramName());

    StartTactra();
    ExpectReading(panel, {0x00, 0x01});
    SetCursorPos(512, 384);
    Pump(200);
    ASSERT_TRUE(probe.BringToFront());

    // A tap at (600, 384): the click lands there.
    probe.RecordButtons(true);
    Feed(panel, Touch(1200, 768), 40);
    Feed(panel, Touch(1200, 768), 40);
    Feed(panel, Lift(1200, 768), 0);
    EXPECT_TRUE(WaitForCount(probe.Received(), 2, 10000));
    EXPECT_EQ(probe.Received(), (std::vector<std::string>{"left down 600 384", "left up 600 384"}));
    probe.RecordButtons(false);
    Pump(600);  // well past a double tap
    probe.Clear();

    // A pinch outwards: the fingers rest past the down phase, then spread.
    for (int i = 0; i < 30; ++i) Feed(panel, Touch2(904, 648, 1144, 888), 20);
    for (int step = 1; step <= 16; ++step) {
        Feed(panel,
             Touch2(2 * (452 - 5 * step), 2 * (324 - 5 * step), 2 * (572 + 5 * step),
                    2 * (444 + 5 * step)),
             20);
    }
    Feed(panel, Lift(2 * 532, 2 * 404), 500);  // Ctrl is released at the lift
    // A quick one-finger flick to the right, 120 px in 45 ms.
    for (int step = 0; step < 4; ++step) Feed(panel, Touch(2 * (500 + 40 * step), 800), 15);
    Feed(panel, Lift(2 * 620, 800), 0);

    const std::vector<std::string> expected = {"key down 17",    "wheel 120 ctrl", "key down 17",
                                               "wheel 120 ctrl", "key down 17",    "wheel 120 ctrl",
                                               "key down 17",    "wheel 120 ctrl", "key up 17",
                                               "key down 39",    "key up 39"};
    WaitForCount(probe.Received(), expected.size(), 20000);
    Pump(300);  // nothing more may follow
    EXPECT_EQ(probe.Received(), expected);
}

// Two identical panels on two ports: each is read, each is known by its port, each
// maps through its own section onto its own monitor (with one monitor, both onto it),
// a tap on either clicks; while one is touched the other's touch is ignored; and when
// one is unplugged the other goes on.
TEST_F(SimulatedTactra, TwoDevicesEachOnItsMonitorOneUnplugged) {
    // The ports' part of each path, as the system's interface paths have it.
    const std::string first = PipePath("a") + "#vid_0eef&pid_0001#7&1a2b&0&0001#x";
    const std::string second = PipePath("b") + "#vid_0eef&pid_0001#7&1a2b&0&0002#x";
    Describe("devices", {Device(first, 0x0EEF, 0x0001, 13, 2, {1, 2048, 1536}),
                         Device(second, 0x0EEF, 0x0001, 13, 2, {1, 2048, 1536})});
    PanelFeeder& a = Feeder(0);
    PanelFeeder& b = Feeder(1);
    ASSERT_TRUE(a.Plug());
    ASSERT_TRUE(b.Plug());
    const std::vector<MONITORINFOEXA> monitors = testing::AttachedMonitors();
    ASSERT_FALSE(monitors.empty());
    // The second device's section names the second monitor, when there is one.
    const MONITORINFOEXA& its = monitors.size() > 1 ? monitors[1] : monitors[0];
    std::string ini = "[Device 0EEF:0001 7&1A2B&0&0002]\r\n";
    if (monitors.size() > 1) ini += std::string("Monitor=") + its.szDevice + "\r\n";
    std::ofstream(folder_ + "\\Calibrate.ini", std::ios::binary) << ini;
    ProbeWindow probe("TactraSimulatedProbe", "Touch probe");
    ASSERT_NE(probe.Handle(), nullptr);

    StartTactra();
    ExpectReading(a, {0x00, 0x01});
    ExpectReading(b, {0x00, 0x01});
    Pump(300);
    const RECT& m = its.rcMonitor;
    const POINT onSecond = {m.left + (m.right - m.left) / 2, m.top + (m.bottom - m.top) / 2};
    // The first on the primary display: raw units are twice its pixels.
    EXPECT_TRUE(TouchMovesPointer(a, 400, 400, {200, 200}))
        << "pointer at " << Cursor().x << "," << Cursor().y;
    Pump(300);
    EXPECT_TRUE(TouchMovesPointer(b, 1024, 768, onSecond))
        << "pointer at " << Cursor().x << "," << Cursor().y;
    Pump(600);

    // A tap of the first clicks the probe where it lands.
    ASSERT_TRUE(probe.BringToFront());
    probe.RecordButtons(true);
    Feed(a, Touch(1200, 768), 40);
    Feed(a, Lift(1200, 768), 0);
    EXPECT_TRUE(WaitForCount(probe.Received(), 2, 10000));
    EXPECT_EQ(probe.Received(), (std::vector<std::string>{"left down 600 384", "left up 600 384"}));
    probe.RecordButtons(false);
    Pump(600);

    // While the first is held, the second's touch moves nothing.
    Feed(a, Touch(200, 200), 100);
    const POINT held = Cursor();
    Feed(b, Touch(1024, 768), 200);
    EXPECT_EQ(Cursor().x, held.x);
    EXPECT_EQ(Cursor().y, held.y);
    Feed(b, Lift(1024, 768), 50);
    Feed(a, Lift(200, 200), 600);

    // "Touch settings" lists both devices; "Apply" writes the second one's click mode
    // into its own section, and its reading starts again with it.
    PostMessageA(app_.MainDialog(), WM_COMMAND, MAKEWPARAM(1028, 0), 0);
    HWND settings = app_.WaitForWindow("Touch settings");
    ASSERT_NE(settings, nullptr);
    HWND list = GetDlgItem(settings, 1100);
    EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 2);
    SendMessageA(list, LB_SETCURSEL, 1, 0);
    SendMessageA(settings, WM_COMMAND, MAKEWPARAM(1100, LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
    SendDlgItemMessageA(settings, 1101, CB_SETCURSEL, 1, 0);  // "on touch"
    SendMessageA(settings, WM_COMMAND, MAKEWPARAM(1116, BN_CLICKED), 0);
    char mode[32] = {};
    GetPrivateProfileStringA("Device 0EEF:0001 7&1A2B&0&0002", "ClickMode", "", mode, sizeof mode,
                             (folder_ + "\\Calibrate.ini").c_str());
    EXPECT_STREQ(mode, "on touch");
    PostMessageA(settings, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    ExpectReading(b, {0x00, 0x01});
    Pump(500);

    // The first unplugged: the second goes on.
    a.Unplug();
    Pump(800);
    EXPECT_TRUE(TouchMovesPointer(b, 1024, 768, onSecond))
        << "pointer at " << Cursor().x << "," << Cursor().y;
}

TEST_F(SimulatedTactra, UnplugEndsTheReadingAndAReplugResumesIt) {
    Describe("replug", {Device(PipePath("panel"), 0x0EEF, 0x0001, 13, 2, {1, 2048, 1536}),
                        Device(PipePath("mouse"), 0x046D, 0xC077, 13, 2, {1, 4095, 4095})});
    PanelFeeder& panel = Feeder(0);
    PanelFeeder& mouse = Feeder(1);  // its opens show every search
    ASSERT_TRUE(panel.Plug());
    ASSERT_TRUE(mouse.Plug());
    StartTactra();
    ExpectReading(panel, {0x00, 0x01});
    EXPECT_TRUE(TouchMovesPointer(panel, 400, 400, {200, 200}));

    // Unplugged: the reading ends; the device change that the removal brings makes
    // the timer search every 500 ms.
    panel.Unplug();
    Pump(300);
    const size_t before = mouse.OpenTicks().size();
    DeviceChange();
    Pump(2300);
    std::vector<DWORD> ticks = mouse.OpenTicks();
    ticks.erase(ticks.begin(), ticks.begin() + before);
    ASSERT_GE(ticks.size(), 3u) << "the timer searches again after the device change";
    std::vector<double> periods;
    for (size_t i = 1; i < ticks.size(); ++i) periods.push_back(ticks[i] - ticks[i - 1]);
    std::printf("search periods after the device change (ms):");
    for (double p : periods) std::printf(" %.0f", p);
    std::printf("\n");
    for (double p : periods) {
        EXPECT_GE(p, 400) << "searches come every 500 ms";
        EXPECT_LE(p, 1500) << "searches come every 500 ms";
    }

    // Plugged back: the next search finds it, without a restart of the program.
    const DWORD pluggedAt = GetTickCount();
    ASSERT_TRUE(panel.Plug());
    ExpectReading(panel, {0x00, 0x01}, 5000);
    std::printf("reading again %lu ms after the replug\n", GetTickCount() - pluggedAt);
    EXPECT_TRUE(TouchMovesPointer(panel, 1000, 600, {500, 300}));
    const size_t settled = mouse.OpenTicks().size();
    Pump(1200);
    EXPECT_EQ(mouse.OpenTicks().size(), settled) << "no search while reading";

    // Unplugged and plugged back before any device change: nothing searches until the
    // arrival's device change.
    panel.Unplug();
    Pump(300);
    ASSERT_TRUE(panel.Plug());
    const size_t panelOpens = panel.OpenTicks().size();
    Pump(1200);
    EXPECT_EQ(panel.OpenTicks().size(), panelOpens) << "the lost panel waits for a device change";
    EXPECT_EQ(mouse.OpenTicks().size(), settled);
    DeviceChange();
    ExpectReading(panel, {0x00, 0x01}, 5000);
    EXPECT_TRUE(TouchMovesPointer(panel, 1400, 1000, {700, 500}));
    EXPECT_FALSE(app_.WaitForExit(0)) << "the same program reads again";
}

TEST_F(SimulatedTactra, ReplugCyclesLeaveTheHandleCountUnchanged) {
    Describe("cycles", {Device(PipePath("panel"), 0x0EEF, 0x0001, 13, 2, {1, 2048, 1536})});
    PanelFeeder& panel = Feeder(0);
    ASSERT_TRUE(panel.Plug());
    StartTactra();
    ExpectReading(panel, {0x00, 0x01});

    // One cycle: unplugged, plugged back, and the device change that brings.
    auto cycle = [&] {
        panel.Unplug();
        Pump(100);
        ASSERT_TRUE(panel.Plug());
        DeviceChange();
        std::vector<uint8_t> written;
        // The reading thread may not have noticed the removal before the first device
        // change; the system sends more than one.
        for (int attempt = 0; attempt < 5 && !panel.NextWrite(written, 1500); ++attempt) {
            DeviceChange();
        }
        ASSERT_EQ(written, (std::vector<uint8_t>{0x00, 0x01}));
        ASSERT_TRUE(panel.WaitHeld(1, 5000));
        Pump(100);
    };
    cycle();
    const int before = testing::ProcessHandleCount(app_.ProcessId());
    ASSERT_GT(before, 0);
    for (int i = 0; i < 50; ++i) {
        SCOPED_TRACE(i);
        cycle();
        if (HasFatalFailure()) return;
    }
    EXPECT_EQ(testing::ProcessHandleCount(app_.ProcessId()), before);
    EXPECT_TRUE(TouchMovesPointer(panel, 600, 600, {300, 300}));
}

TEST_F(SimulatedTactra, ExitWhileAReadWaitsEndsTheProgramWithinASecond) {
    KeptTrayIcon keptIcon;
    Describe("exit", {Device(PipePath("panel"), 0x0EEF, 0x0001, 13, 2, {1, 2048, 1536})});
    PanelFeeder& panel = Feeder(0);
    ASSERT_TRUE(panel.Plug());
    StartTactra();
    ExpectReading(panel, {0x00, 0x01});
    Pump(300);  // the reading thread waits in its read
    const HWND main = app_.MainDialog();
    EXPECT_TRUE(TrayIconExists(main));

    LARGE_INTEGER frequency, begin, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&begin);
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);  // "EXIT"
    const bool ended = app_.WaitForExit(5000);
    QueryPerformanceCounter(&end);
    const double ms = 1000.0 * (end.QuadPart - begin.QuadPart) / frequency.QuadPart;
    std::printf("EXIT to process end, read waiting: %.1f ms\n", ms);
    RecordProperty("exit_ms", static_cast<int>(ms));
    ASSERT_TRUE(ended);
    EXPECT_LT(ms, 1000.0);
    EXPECT_FALSE(TrayIconExists(main));
    // The ended process closed its handle; the feeder sees it at its next service.
    EXPECT_TRUE(panel.WaitHeld(0, 1000));
}

TEST_F(SimulatedTactra, ExitWhileReportsStreamEndsTheProgramWithinASecond) {
    KeptTrayIcon keptIcon;
    Describe("exitbusy", {Device(PipePath("panel"), 0x0EEF, 0x0001, 13, 2, {1, 2048, 1536})});
    PanelFeeder& panel = Feeder(0);
    ASSERT_TRUE(panel.Plug());
    StartTactra();
    ExpectReading(panel, {0x00, 0x01});
    for (int i = 0; i < 20; ++i) Feed(panel, Touch(1000 + i, 700), 10);

    LARGE_INTEGER frequency, begin, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&begin);
    PostMessageA(app_.MainDialog(), WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
    bool ended = false;
    for (int i = 0; i < 500 && !ended; ++i) {
        panel.Send(Touch(1020 + i % 50, 700));
        ended = app_.WaitForExit(10);
    }
    QueryPerformanceCounter(&end);
    const double ms = 1000.0 * (end.QuadPart - begin.QuadPart) / frequency.QuadPart;
    std::printf("EXIT to process end, reports streaming: %.1f ms\n", ms);
    ASSERT_TRUE(ended);
    EXPECT_LT(ms, 1000.0);
}

// ---------------------------------------------------------------- touch screens

// A real screen as one of the generic-* traces describes it: its ids, its report
// descriptor and its input reports with their ticks.
struct TracedScreen {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::vector<uint8_t> descriptor;
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> inputs;
};

TracedScreen LoadScreen(const std::string& name) {
    TracedScreen screen;
    std::vector<TraceStep> steps;
    TraceError error;
    TraceOptions options;
    options.library = true;
    const std::string path = std::string(TACTRA_SOURCE_DIR) + "/tests/traces/" + name + ".trace";
    EXPECT_TRUE(LoadTraceFile(path, options, steps, error))
        << path << ":" << error.line << ": " << error.reason;
    for (const TraceStep& step : steps) {
        if (step.op == TraceOp::kIds) {
            screen.vendorId = static_cast<uint16_t>(step.args[0]);
            screen.productId = static_cast<uint16_t>(step.args[1]);
        } else if (step.op == TraceOp::kDescriptor && screen.descriptor.empty()) {
            screen.descriptor = step.bytes;
        } else if (step.op == TraceOp::kInput) {
            screen.inputs.emplace_back(step.tick, step.bytes);
        }
    }
    return screen;
}

SimulatedDevice ScreenDevice(const std::string& path, const TracedScreen& screen,
                             const char* collection = "all") {
    SimulatedDevice d;
    d.collection = collection;
    d.path = path;
    d.vendorId = screen.vendorId;
    d.productId = screen.productId;
    d.versionNumber = 0x0200;
    d.outputReportLength = 0;
    d.valueCapsLogicalMax.clear();
    d.descriptor = screen.descriptor;
    return d;
}

ContactLayout NativeLayout(const std::vector<uint8_t>& descriptor) {
    ContactLayout layout;
    std::string reason;
    EXPECT_TRUE(ParseReportDescriptor(descriptor.data(), descriptor.size(), layout, reason))
        << reason;
    return layout;
}

// The feature report that sets the screen's Device Mode to multi-input, as the system
// takes it (an ID byte first).
std::vector<uint8_t> DeviceModeWrite(const std::vector<uint8_t>& descriptor) {
    const ContactLayout layout = NativeLayout(descriptor);
    std::vector<uint8_t> report = MakeDeviceModeReport(layout, kDeviceModeMultiInput);
    if (!report.empty() && layout.deviceMode.reportId == 0) report.insert(report.begin(), 0);
    return report;
}

// A screen that lacks Tip Switch: the descriptor with every Tip Switch usage made a
// Barrel Switch.
std::vector<uint8_t> WithoutTipSwitch(std::vector<uint8_t> descriptor) {
    for (size_t i = 0; i + 1 < descriptor.size(); ++i) {
        if (descriptor[i] == 0x09 && descriptor[i + 1] == 0x42) descriptor[i + 1] = 0x44;
    }
    return descriptor;
}

// The log lines this program writes while the object lives.
class CapturedLog {
public:
    CapturedLog() {
        ProcessLog().SetDebugOutput([this](const char* line) { lines_.emplace_back(line); });
    }
    ~CapturedLog() {
        ProcessLog().SetDebugOutput([](const char* line) { OutputDebugStringA(line); });
    }
    CapturedLog(const CapturedLog&) = delete;
    CapturedLog& operator=(const CapturedLog&) = delete;
    bool Has(const std::string& a, const std::string& b) const {
        for (const std::string& line : lines_) {
            if (line.find(a) != std::string::npos && line.find(b) != std::string::npos) return true;
        }
        return false;
    }
    std::string All() const {
        std::string text;
        for (const std::string& line : lines_) text += line;
        return text;
    }

private:
    std::vector<std::string> lines_;
};

class SimulatedScreen : public SimulatedTactra {
protected:
    // Feeds the screen's reports from `fromTick` on, paced by their ticks.
    static void FeedInputs(PanelFeeder& screen, const TracedScreen& traced, uint32_t fromTick) {
        uint32_t last = fromTick;
        for (const auto& input : traced.inputs) {
            if (input.first < fromTick) continue;
            Pump(input.first - last);
            last = input.first;
            screen.Send(input.second);
        }
    }
};

// The fields the HID parsing functions give, probed bit by bit, make the layout our
// own parser reads from the same descriptor, for every real screen of the traces.
TEST_F(SimulatedScreen, DiscoveryReadsEachScreensLayoutAsTheDescriptorParserDoes) {
    const char* names[] = {
        "generic-focaltech",      "generic-hanvon",      "generic-huitoo",
        "generic-hybrid",         "generic-irmtouch",    "generic-irtouch",
        "generic-one-per-report", "generic-pixart",      "generic-pqlabs",
        "generic-quanta-3001",    "generic-rafi",        "generic-vanish",
        "generic-wacom-dth2452",  "generic-goodix-0113", "generic-huion-kamvas16",
        "generic-flatfrog",       "generic-nexio",       "generic-sitronix",
        "generic-stantum",        "generic-virtualbox",  "generic-goodix-0e00",
        "generic-elan-2a49",      "generic-ntrig",       "generic-elan-cli"};
    // Each screen twice: its slots as flat Finger collections, and nested as screens
    // also describe them (found by their fields all the same).
    std::vector<SimulatedDevice> devices;
    std::vector<TracedScreen> screens;
    for (const char* links : {"flat", "nested"}) {
        for (const char* name : names) {
            screens.push_back(LoadScreen(name));
            const std::string pipe = std::string(name) + "-" + links;
            devices.push_back(ScreenDevice(PipePath(pipe.c_str()), screens.back()));
            devices.back().links = links;
        }
    }
    Describe("layouts", devices);
    for (size_t i = 0; i < devices.size(); ++i) {
        SCOPED_TRACE(devices[i].path);
        ASSERT_TRUE(Feeder(i).Plug());
        PanelOpenOptions options;
        options.acceptTouchScreens = true;
        ContactLayout layout;
        HidAttributes attributes;
        void* handle = OpenPanel(devices[i].path.c_str(), options, &attributes, &layout);
        ASSERT_NE(handle, InvalidPanelHandle());
        ClosePanelHandle(handle);
        EXPECT_EQ(attributes.vendorId, screens[i].vendorId);
        const ContactLayout expected = NativeLayout(screens[i].descriptor);
        EXPECT_TRUE(layout == expected) << "probed:  " << FormatContactLayout(layout)
                                        << "\nparsed: " << FormatContactLayout(expected);
        Feeder(i).Unplug();
    }
}

// The panel wins over touch screens; without it the first usable screen is kept and
// a screen lacking a required usage is skipped with what it lacked.
TEST_F(SimulatedScreen, TheKnownPanelWinsAndAScreenLackingUsagesIsSkipped) {
    const TracedScreen irm = LoadScreen("generic-irmtouch");
    const TracedScreen pq = LoadScreen("generic-pqlabs");
    TracedScreen lacking = LoadScreen("generic-focaltech");
    lacking.descriptor = WithoutTipSwitch(lacking.descriptor);
    Describe("choice", {
                           Device(PipePath("mouse"), 0x046D, 0xC077, 8, 0, {}),
                           ScreenDevice(PipePath("lacking"), lacking),
                           ScreenDevice(PipePath("irm"), irm),
                           ScreenDevice(PipePath("pq"), pq),
                           Device(PipePath("panel"), 0x0EEF, 0x0001, 13, 2, {1, 4095, 4095}),
                       });
    for (auto& f : feeders_) ASSERT_TRUE(f->Plug());
    PanelOpenOptions options;
    options.overlapped = true;
    options.acceptTouchScreens = true;
    {
        CapturedLog log;
        EXPECT_EQ(CountPanels(options), 3) << "the panel and the two usable screens";
        PanelDevice device;
        ResetPanelDevice(device);
        ASSERT_TRUE(OpenFirstPanel(device, options).Ok());
        EXPECT_FALSE(device.touchScreen);
        EXPECT_EQ(device.attributes.vendorId, 0x0EEF);
        ClosePanelHandle(device.handle);
        EXPECT_TRUE(log.Has("lacking", "lacking Tip Switch")) << log.All();
        EXPECT_TRUE(log.Has("mouse", "lacking a contact slot")) << log.All();
    }
    for (auto& f : feeders_) EXPECT_TRUE(f->WaitHeld(0, 5000)) << f->Path();

    // Without the panel: the first usable screen, with its layout.
    Feeder(4).Unplug();
    PanelDevice device;
    ResetPanelDevice(device);
    ASSERT_TRUE(OpenFirstPanel(device, options).Ok());
    EXPECT_TRUE(device.touchScreen);
    EXPECT_EQ(device.attributes.vendorId, irm.vendorId);
    EXPECT_EQ(device.path, Feeder(2).Path());
    EXPECT_TRUE(device.layout == NativeLayout(irm.descriptor));
    EXPECT_TRUE(Feeder(2).WaitHeld(1, 5000));
    EXPECT_TRUE(Feeder(3).WaitHeld(0, 5000)) << "the second screen is closed again";
    // Its Device Mode: multi-input, written as the feature report.
    ASSERT_TRUE(SetDeviceMode(device).Ok());
    std::vector<uint8_t> written;
    ASSERT_TRUE(Feeder(2).NextWrite(written, 5000));
    EXPECT_EQ(written, DeviceModeWrite(irm.descriptor));
    ClosePanelHandle(device.handle);

    // Only the screen lacking Tip Switch: nothing to open.
    Feeder(2).Unplug();
    Feeder(3).Unplug();
    ResetPanelDevice(device);
    EXPECT_FALSE(OpenFirstPanel(device, options).Ok());
}

// Two real screens end to end through Tactra.exe: the Device Mode is set after the
// opening, and a pinch reaches the application in front as Ctrl + wheel; after a
// replug the Device Mode is set again and touch goes on. The second screen shows as
// the system shows such a device: its Touch Screen and its Device Configuration
// collections as two interfaces, the Device Mode in the second.
TEST_F(SimulatedScreen, PinchOnRealScreensReachesTheApplicationAsCtrlWheel) {
    const TracedScreen screens[] = {LoadScreen("generic-irmtouch"), LoadScreen("generic-pqlabs")};
    Describe("screens", {ScreenDevice(PipePath("irm"), screens[0]),
                         ScreenDevice(PipePath("pq"), screens[1], "touch"),
                         ScreenDevice(PipePath("pqconfig"), screens[1], "config")});
    // Waits for the Device Mode on `mode` and the screen held open for reading.
    auto expectModeSet = [](PanelFeeder& mode, PanelFeeder& screen,
                            const std::vector<uint8_t>& report) {
        std::vector<uint8_t> written;
        ASSERT_TRUE(mode.NextWrite(written, 10000)) << "no Device Mode";
        EXPECT_EQ(written, report);
        EXPECT_TRUE(screen.WaitHeld(1, 5000));
    };
    ProbeWindow probe("TactraSimulatedScreenProbe", "Touch probe");
    ASSERT_NE(probe.Handle(), nullptr);
    std::ofstream(folder_ + "\\Tactra.ini", std::ios::binary) << ProbeProfile(ProgramName());
    ASSERT_TRUE(Feeder(0).Plug());
    StartTactra();
    for (int s = 0; s < 2; ++s) {
        SCOPED_TRACE(s);
        PanelFeeder& screen = Feeder(static_cast<size_t>(s));
        if (s == 1) {
            // The first screen goes; the second comes.
            Feeder(0).Unplug();
            Pump(300);
            ASSERT_TRUE(screen.Plug());
            ASSERT_TRUE(Feeder(2).Plug());
            DeviceChange();
        }
        expectModeSet(s == 0 ? screen : Feeder(2), screen, DeviceModeWrite(screens[s].descriptor));
        std::vector<uint8_t> written;
        EXPECT_FALSE(s == 1 && screen.NextWrite(written, 0)) << "nothing goes to the touch part";
        SetCursorPos(512, 384);
        Pump(200);
        ASSERT_TRUE(probe.BringToFront());
        probe.Clear();
        FeedInputs(screen, screens[s], 3000);  // the traces' pinch: rest, then spread
        Pump(300);
        screen.Send(std::vector<uint8_t>(screens[s].inputs.back().second.size(), 0));
        WaitForCount(probe.Received(), 3, 10000);
        Pump(800);  // the lift, or the silence, releases Ctrl
        const std::vector<std::string>& got = probe.Received();
        ASSERT_GE(got.size(), 3u);
        size_t wheels = 0;
        for (const std::string& line : got) {
            if (line == "wheel 120 ctrl") ++wheels;
            EXPECT_TRUE(line == "wheel 120 ctrl" || line == "key down 17" || line == "key up 17")
                << line;
        }
        EXPECT_GE(wheels, 2u);
        EXPECT_EQ(got.back(), "key up 17");
    }
    // Plugged back: the screen starts in mouse mode again and is set once more.
    Feeder(1).Unplug();
    Feeder(2).Unplug();
    Pump(300);
    ASSERT_TRUE(Feeder(2).Plug());
    ASSERT_TRUE(Feeder(1).Plug());
    DeviceChange();
    expectModeSet(Feeder(2), Feeder(1), DeviceModeWrite(screens[1].descriptor));
    probe.Clear();
    FeedInputs(Feeder(1), screens[1], 3000);
    WaitForCount(probe.Received(), 2, 10000);
    EXPECT_GE(probe.Received().size(), 2u) << "touch goes on after the replug";
}

// A panel and a touch screen of another maker, each on its own port: both are read
// at once (the panel's start report, the screen's Device Mode), and a tap on either
// clicks the application in front; the screen's tap goes through its layout.
TEST_F(SimulatedScreen, TwoDevicesAPanelAndAScreenEachClick) {
    const TracedScreen irm = LoadScreen("generic-irmtouch");
    Describe("panel-and-screen",
             {Device(PipePath("panel") + "#vid_0eef&pid_0001#7&1a2b&0&0001#x", 0x0EEF, 0x0001, 13,
                     2, {1, 2048, 1536}),
              ScreenDevice(PipePath("screen") + "#vid_6615&pid_0070#7&1a2b&0&0002#x", irm)});
    PanelFeeder& panel = Feeder(0);
    PanelFeeder& screen = Feeder(1);
    ASSERT_TRUE(panel.Plug());
    ASSERT_TRUE(screen.Plug());
    ProbeWindow probe("TactraPanelAndScreenProbe", "Touch probe");
    ASSERT_NE(probe.Handle(), nullptr);
    StartTactra();
    ExpectReading(panel, {0x00, 0x01});
    std::vector<uint8_t> written;
    ASSERT_TRUE(screen.NextWrite(written, 10000)) << "no Device Mode";
    EXPECT_EQ(written, DeviceModeWrite(irm.descriptor));
    EXPECT_TRUE(screen.WaitHeld(1, 5000));
    Pump(300);
    ASSERT_TRUE(probe.BringToFront());
    probe.RecordButtons(true);

    // The panel's tap at (600, 384).
    Feed(panel, Touch(1200, 768), 40);
    Feed(panel, Lift(1200, 768), 0);
    EXPECT_TRUE(WaitForCount(probe.Received(), 2, 10000));
    EXPECT_EQ(probe.Received(), (std::vector<std::string>{"left down 600 384", "left up 600 384"}));
    Pump(600);
    probe.Clear();

    // The screen's tap: the first reports of its trace (down, down, lift, nothing).
    uint32_t last = 0;
    for (const auto& input : irm.inputs) {
        if (input.first >= 200) break;
        Pump(input.first - last);
        last = input.first;
        screen.Send(input.second);
    }
    EXPECT_TRUE(WaitForCount(probe.Received(), 2, 10000));
    ASSERT_EQ(probe.Received().size(), 2u);
    EXPECT_EQ(probe.Received()[0].rfind("left down ", 0), 0u) << probe.Received()[0];
    EXPECT_EQ(probe.Received()[1].rfind("left up ", 0), 0u) << probe.Received()[1];
}

// ---------------------------------------------------------------- the reading thread

std::vector<std::vector<TOUCHINPUT>>* g_batches = nullptr;
UINT g_touchMessage = 0;

LRESULT CALLBACK TouchProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == g_touchMessage && g_touchMessage != 0) {
        const auto* records = reinterpret_cast<const TOUCHINPUT*>(lParam);
        if (g_batches) g_batches->emplace_back(records, records + wParam);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

ReaderSetup FixedSetup(const PanelDevice& device) {
    ReaderSetup setup;
    setup.limits.maxX = setup.limits.xRange = device.logicalMaxX;
    setup.limits.maxY = setup.limits.yRange = device.logicalMaxY;
    setup.scale = MakeScreenScale(1024, 768);
    return setup;
}

class SimulatedReader : public SimulatedDevices {
protected:
    void SetUp() override {
        Describe("reader", {Device(PipePath("panel"), 0x0EEF, 0x0001, 13, 2, {1, 2048, 1536})});
        ASSERT_TRUE(Feeder(0).Plug());
        WNDCLASSA wc = {};
        wc.lpfnWndProc = TouchProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "TactraSimulatedReader";
        RegisterClassA(&wc);
        window_ = CreateWindowA(wc.lpszClassName, "reader", WS_OVERLAPPED, 0, 0, 100, 100, nullptr,
                                nullptr, wc.hInstance, nullptr);
        ASSERT_NE(window_, nullptr);
        g_touchMessage = RegisterWindowMessageA("WM_TOUCH");
        g_batches = &batches_;
        reader_.SetSetupHook(FixedSetup);
    }
    void TearDown() override {
        reader_.Stop();
        g_batches = nullptr;
        DestroyWindow(window_);
        SimulatedDevices::TearDown();
    }
    // Starts the reading and waits until the panel has its start report.
    void Start() {
        ASSERT_TRUE(reader_.StartReading(window_).Ok());
        std::vector<uint8_t> written;
        ASSERT_TRUE(Feeder(0).NextWrite(written, 5000));
        EXPECT_EQ(written, (std::vector<uint8_t>{0x00, 0x01}));
        ASSERT_TRUE(Feeder(0).WaitHeld(1, 5000));
    }
    bool PumpUntil(size_t batches, DWORD timeoutMs = 5000) {
        const DWORD start = GetTickCount();
        while (batches_.size() < batches && GetTickCount() - start < timeoutMs) Pump(5);
        return batches_.size() >= batches;
    }
    bool PumpUntilEnded(DWORD timeoutMs = 5000) {
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < timeoutMs) {
            Pump(5);
            if (!reader_.Running() && reader_.ThreadHandle() == nullptr &&
                reader_.PanelHandle() == nullptr)
                return true;
        }
        return false;
    }
    // A handle of the running reading thread that outlives the reader's own.
    HANDLE ThreadCopy() {
        HANDLE copy = nullptr;
        DuplicateHandle(GetCurrentProcess(), static_cast<HANDLE>(reader_.ThreadHandle()),
                        GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS);
        return copy;
    }
    static DWORD ExitCode(HANDLE thread) {
        DWORD code = STILL_ACTIVE;
        GetExitCodeThread(thread, &code);
        return code;
    }

    HidPanelSource source_;
    PanelReader reader_{source_};
    HWND window_ = nullptr;
    std::vector<std::vector<TOUCHINPUT>> batches_;
};

TEST_F(SimulatedReader, ReportsArriveAsBatchesMappedThroughThePanelsRanges) {
    Start();
    Feeder(0).Send(Touch(1024, 384));
    Feeder(0).Send(Touch2(1024, 384, 2048, 1536));
    ASSERT_TRUE(PumpUntil(2));
    ASSERT_EQ(batches_[0].size(), 1u);
    EXPECT_EQ(batches_[0][0].x, 51200);  // 1024 x 102400 / 2048
    EXPECT_EQ(batches_[0][0].y, 19200);  // 384 x 76800 / 1536
    EXPECT_EQ(batches_[0][0].dwFlags, 0x1Au);
    ASSERT_EQ(batches_[1].size(), 2u);
    EXPECT_EQ(batches_[1][1].x, 102400);
    EXPECT_EQ(batches_[1][1].dwFlags, 0x0Au);
}

// A stop while a read waits for the panel ends the thread by itself (a terminated
// thread's exit code is -1), and closes the panel.
TEST_F(SimulatedReader, StopEndsAWaitingReadWithoutTerminatingTheThread) {
    std::vector<double> latencies;
    int handles = 0;
    for (int i = 0; i < 20; ++i) {
        SCOPED_TRACE(i);
        if (i == 1) handles = testing::ProcessHandleCount();
        Start();
        Sleep(20);  // the thread waits in its read
        HANDLE thread = ThreadCopy();
        ASSERT_NE(thread, nullptr);
        LARGE_INTEGER frequency, begin, end;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&begin);
        reader_.Stop();
        QueryPerformanceCounter(&end);
        ASSERT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0) << "Stop returns once it is gone";
        latencies.push_back(1000.0 * (end.QuadPart - begin.QuadPart) / frequency.QuadPart);
        EXPECT_EQ(ExitCode(thread), 0u);
        CloseHandle(thread);
        EXPECT_TRUE(Feeder(0).WaitHeld(0, 5000)) << "the panel is closed";
        EXPECT_EQ(reader_.ThreadHandle(), nullptr);
        EXPECT_EQ(reader_.PanelHandle(), nullptr);
    }
    EXPECT_EQ(testing::ProcessHandleCount(), handles) << "every start and stop leaks nothing";
    std::printf("stop latency, read waiting (ms): median %.2f, max %.2f\n", Median(latencies),
                *std::max_element(latencies.begin(), latencies.end()));
}

// A stop while the thread waits for the window to take its batch lets the window
// take it, and the thread ends by itself.
TEST_F(SimulatedReader, StopWhileTheWindowHasNotTakenABatchDeliversItAndEnds) {
    Start();
    Feeder(0).Send(Touch(1024, 384));
    Sleep(300);  // no messages handled: the thread waits in its send
    HANDLE thread = ThreadCopy();
    reader_.Stop();
    EXPECT_EQ(batches_.size(), 1u);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
    EXPECT_EQ(ExitCode(thread), 0u);
    CloseHandle(thread);
}

TEST_F(SimulatedReader, UnplugOrAShortReportEndsTheReading) {
    Start();
    Feeder(0).Send(Touch(100, 100));
    ASSERT_TRUE(PumpUntil(1));
    Feeder(0).Unplug();
    EXPECT_TRUE(PumpUntilEnded());

    // Plugged back: a report shorter than the panel's reports ends the reading, and
    // nothing is delivered for it.
    ASSERT_TRUE(Feeder(0).Plug());
    Start();
    Feeder(0).Send({0x01, 0x01, 0x00, 0x10, 0x00});
    EXPECT_TRUE(PumpUntilEnded());
    EXPECT_EQ(batches_.size(), 1u);
    EXPECT_TRUE(Feeder(0).WaitHeld(0, 5000));
}

// ---------------------------------------------------------------- tpinput.dll

class SimulatedLibrary : public SimulatedDevices {
protected:
    void SetUp() override {
        library_ = LoadLibraryA((OwnFolder() + "\\tpinput.dll").c_str());
        ASSERT_NE(library_, nullptr);
        count_ = Resolve<GetConnectedDeviceNumFn>("GetConnectedDeviceNum");
        version_ = Resolve<VersionNumberFn>("VersionNumber");
        register_ = Resolve<RegisterTouchWindowFn>("RegisterTouchWindow");
        close_ = Resolve<CloseTouchInputHandleFn>("CloseTouchInputHandle");
        isTouchWindow_ = Resolve<IsTouchWindowFn>("IsTouchWindow");
        ASSERT_TRUE(count_ && version_ && register_ && close_ && isTouchWindow_);
        window_ = CreateWindowA("STATIC", "client", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr);
        ASSERT_NE(window_, nullptr);
    }
    void TearDown() override {
        if (library_) FreeLibrary(library_);
        DestroyWindow(window_);
        Pump(50);
        SimulatedDevices::TearDown();
    }
    template <typename Fn>
    Fn Resolve(const char* name) {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library_, name)));
    }
    std::vector<WORD> Version() {
        WORD ids[3] = {0xAAAA, 0xAAAA, 0xAAAA};
        EXPECT_EQ(version_(ids), 1);
        return {ids[0], ids[1], ids[2]};
    }
    // Waits until the program holds no simulated device open; the number it holds.
    int HeldAfterSettling() {
        int held = 0;
        for (int i = 0; i < 100; ++i) {
            held = 0;
            for (auto& f : feeders_) held += f->Held();
            if (held == 0) break;
            Pump(20);
        }
        return held;
    }

    HMODULE library_ = nullptr;
    GetConnectedDeviceNumFn count_ = nullptr;
    VersionNumberFn version_ = nullptr;
    RegisterTouchWindowFn register_ = nullptr;
    CloseTouchInputHandleFn close_ = nullptr;
    IsTouchWindowFn isTouchWindow_ = nullptr;
    HWND window_ = nullptr;
};

TEST_F(SimulatedLibrary, CountingAndRegistrationStoreTheLastMatchAndCloseEveryHandle) {
    Describe("library", {
                            Device(PipePath("first"), 0x0EEF, 0x0001, 13, 2, {1, 4095, 4095}),
                            Device(PipePath("other"), 0x1234, 0x0020, 8, 0, {}),
                            Device(PipePath("short"), 0x0EEF, 0x0004, 8, 2, {1, 4095, 4095}),
                            Device(PipePath("twocaps"), 0x0EEF, 0x0005, 13, 2, {4095, 4095}),
                            Device(PipePath("second"), 0x0EEF, 0x0003, 13, 2, {1, 4095, 4095}),
                        });
    for (auto& f : feeders_) ASSERT_TRUE(f->Plug());
    const std::vector<WORD> first = {0x0EEF, 0x0001, 0x0101};
    const std::vector<WORD> other = {0x1234, 0x0020, 0x0120};
    const std::vector<WORD> second = {0x0EEF, 0x0003, 0x0103};

    EXPECT_EQ(Version(), (std::vector<WORD>{0, 0, 0}));
    EXPECT_EQ(count_(0x0EEF), 2) << "the short panel and the one with two values do not count";
    EXPECT_EQ(Version(), second);
    // Any vendor is counted as its devices are; the high bits are not compared.
    EXPECT_EQ(count_(0x10000 | 0x1234), 1);
    EXPECT_EQ(Version(), other);
    EXPECT_EQ(count_(0x9999), 0);
    EXPECT_EQ(Version(), other) << "no match leaves the stored attributes";
    EXPECT_EQ(HeldAfterSettling(), 0) << "every counted device is closed again";

    // Registration: the last panel found gives the attributes, every handle is closed.
    EXPECT_EQ(register_(window_, 0), 1);
    EXPECT_EQ(Version(), second);
    EXPECT_EQ(isTouchWindow_(window_, nullptr), 1);
    EXPECT_EQ(HeldAfterSettling(), 0);

    // The panel's handle is closed: resetting must not close whatever handle the
    // process has opened since under the same value.
    HANDLE events[8];
    for (HANDLE& e : events) e = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(close_(nullptr), 1);
    EXPECT_EQ(close_(nullptr), 1);
    for (HANDLE e : events) {
        EXPECT_NE(WaitForSingleObject(e, 0), WAIT_FAILED);
        CloseHandle(e);
    }
    EXPECT_EQ(Version(), second) << "the reset keeps the attributes";

    // No panel served: nothing is counted or registered.
    for (auto& f : feeders_) f->Unplug();
    EXPECT_EQ(count_(0x0EEF), 0);
    EXPECT_EQ(register_(window_, 0), 0);
    EXPECT_EQ(Version(), second);
    EXPECT_EQ(isTouchWindow_(window_, nullptr), 1) << "the earlier registration stays";
}

// A touch screen of any maker: vendor 0 counts every usable one, the panel's vendor
// only its panels, and registration opens every screen, sets its Device Mode and
// closes it again; the first screen gives the attributes.
TEST_F(SimulatedLibrary, VendorZeroCountsEveryScreenAndRegistrationOpensEach) {
    const TracedScreen pq = LoadScreen("generic-pqlabs");
    const TracedScreen irm = LoadScreen("generic-irmtouch");
    Describe("libscreen", {ScreenDevice(PipePath("pq"), pq), ScreenDevice(PipePath("irm"), irm),
                           Device(PipePath("panel"), 0x0EEF, 0x0001, 13, 2, {1, 4095, 4095})});
    for (auto& f : feeders_) ASSERT_TRUE(f->Plug());
    EXPECT_EQ(count_(0x0EEF), 1);
    EXPECT_EQ(count_(0), 3);
    EXPECT_EQ(Version(), (std::vector<WORD>{0x0EEF, 0x0001, 0x0101}));
    Feeder(2).Unplug();
    EXPECT_EQ(count_(0x0EEF), 0);
    EXPECT_EQ(count_(0), 2);
    EXPECT_EQ(Version(), (std::vector<WORD>{irm.vendorId, irm.productId, 0x0200}));

    EXPECT_EQ(register_(window_, 0), 1) << "a screen is registered without a panel";
    EXPECT_EQ(Version(), (std::vector<WORD>{pq.vendorId, pq.productId, 0x0200}));
    std::vector<uint8_t> written;
    ASSERT_TRUE(Feeder(0).NextWrite(written, 5000));
    EXPECT_EQ(written, DeviceModeWrite(pq.descriptor));
    ASSERT_TRUE(Feeder(1).NextWrite(written, 5000)) << "each screen is set";
    EXPECT_EQ(written, DeviceModeWrite(irm.descriptor));
    EXPECT_EQ(HeldAfterSettling(), 0);
    EXPECT_EQ(isTouchWindow_(window_, nullptr), 1);
}

}  // namespace
}  // namespace tactra
