// A whole touch session through Tactra.exe: a probe window of this program is the
// application in front, its program name has a profile in "Tactra.ini", and
// Tactra replays a pinch and a flick through its real reading thread, "WM_TOUCH",
// the gesture engine and keybd_event/mouse_event. The probe must receive the
// Ctrl + wheel steps and the flick's key, in order.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/monitors_win32.h"
#include "tests/support/probe_window_win32.h"
#include "tests/support/tactra_process_win32.h"

namespace tactra {
namespace testing {
namespace {

// Raw panel units are screen pixels (panel 1024 x 768 on the 1024 x 768 screen).
// The fingers rest well past the down phase before they move, so a late start of
// the replay cannot turn the moves into down-phase samples.
std::string SessionTrace() {
    std::string t = "panel 1024 768\n";
    char line[96];
    const int start = 2500;  // time for the test to bring the probe to the front
    int tick = start;
    for (; tick < start + 600; tick += 20) {
        std::snprintf(line, sizeof line, "at %d touch 452,324 572,444\n", tick);
        t += line;
    }
    for (int step = 1; step <= 16; ++step, tick += 20) {
        std::snprintf(line, sizeof line, "at %d touch %d,%d %d,%d\n", tick, 452 - 5 * step,
                      324 - 5 * step, 572 + 5 * step, 444 + 5 * step);
        t += line;
    }
    std::snprintf(line, sizeof line, "at %d touch - -\n", tick);  // lift: Ctrl released
    t += line;
    // A quick one-finger flick to the right, 120 px in 100 ms.
    tick += 500;
    for (int step = 0; step < 4; ++step) {
        std::snprintf(line, sizeof line, "at %d touch %d,400 -\n", tick + 25 * step,
                      500 + 40 * step);
        t += line;
    }
    std::snprintf(line, sizeof line, "at %d touch - -\n", tick + 100);
    t += line;
    return t;
}

TEST(TactraTouch, PinchAndFlickReachTheApplicationInFront) {
    ProbeWindow probe("TactraSessionProbe", "Touch probe");
    ASSERT_NE(probe.Handle(), nullptr);

    const std::string folder = TactraProcess::MakeEmptyFolder("touch");
    std::ofstream(folder + "\\Tactra.ini", std::ios::binary) << ProbeProfile(ProgramName());
    std::ofstream(folder + "\\session.trace", std::ios::binary) << SessionTrace();

    TactraProcess::SetWineVersion("winxp64");  // major version 5: the mouse is emulated
    TactraProcess app;
    ASSERT_TRUE(app.Start(folder, "--replay session.trace --log verbose"));
    SetCursorPos(512, 384);
    ASSERT_TRUE(probe.BringToFront());

    const std::vector<std::string> expected = {"key down 17",    "wheel 120 ctrl", "key down 17",
                                               "wheel 120 ctrl", "key down 17",    "wheel 120 ctrl",
                                               "key down 17",    "wheel 120 ctrl", "key up 17",
                                               "key down 39",    "key up 39"};
    const DWORD begin = GetTickCount();
    while (probe.Received().size() < expected.size() && GetTickCount() - begin < 20000) Pump(50);
    Pump(300);  // nothing more may follow
    EXPECT_EQ(probe.Received(), expected);

    // The main dialog's Test group shows the application in front and the last sample.
    EXPECT_EQ(WindowText(GetDlgItem(app.MainDialog(), 1003)), ProgramName());
    EXPECT_EQ(WindowText(GetDlgItem(app.MainDialog(), 1004)), "Touch probe");
    EXPECT_EQ(WindowText(GetDlgItem(app.MainDialog(), 1001)).rfind("X1-4[", 0), 0u)
        << WindowText(GetDlgItem(app.MainDialog(), 1001));

    // The verbose log follows the engine's states through the pinch and the flick.
    const std::string log = ReadFileText(folder + "\\Tactra.log");
    for (const char* change :
         {" state one-finger -> two-fingers\r\n", " state two-fingers -> zooming\r\n",
          " state zooming -> two-fingers\r\n", " state two-fingers -> one-finger\r\n"}) {
        EXPECT_NE(log.find(change), std::string::npos) << change << log;
    }

    // The trace is over: Tactra searches for a panel again and keeps running.
    EXPECT_FALSE(app.WaitForExit(700));
}

// A one-finger tap at a raw position of a 1024 x 768 panel, at `tick` ms.
std::string TapAt(int tick, int x, int y) {
    char line[128];
    std::snprintf(line, sizeof line, "at %d touch %d,%d -\nat %d touch %d,%d -\nat %d touch - -\n",
                  tick, x, y, tick + 40, x, y, tick + 80);
    return line;
}

// With `Monitor=` naming the second monitor, the panel covers that monitor: a tap
// near its bottom right corner clicks a probe window there, a place the primary
// display does not reach. Touch starts off ([Touch] TouchEnabled=0): the first tap
// sends nothing; "Touch enabled" from the tray menu turns it on and remembers it,
// and the second tap clicks; the hot key turns it off again. Needs two monitors
// (TACTRA_WINE_SCREENS=2).
TEST(TactraTouch, TapOnTheChosenMonitorOnlyWhileTouchIsOn) {
    const std::vector<MONITORINFOEXA> monitors = AttachedMonitors();
    if (monitors.size() < 2) GTEST_SKIP() << "one monitor only: run with TACTRA_WINE_SCREENS=2";
    const MONITORINFOEXA& second = monitors[1];
    const RECT& m = second.rcMonitor;
    const RECT& primary = monitors[0].rcMonitor;
    // Raw 15/16 of the panel's width and height: the limits are the panel's range.
    const int rawX = 960, rawY = 720;
    const int x = m.left + static_cast<int>(int64_t{rawX} * (m.right - m.left) / 1024);
    const int y = m.top + static_cast<int>(int64_t{rawY} * (m.bottom - m.top) / 768);
    const POINT target = {x, y};
    ASSERT_FALSE(PtInRect(&primary, target)) << "the second monitor lies within the first";

    ProbeWindow probe("TactraMonitorProbe", "Monitor probe");
    ASSERT_NE(probe.Handle(), nullptr);
    probe.RecordButtons(true);
    MoveWindow(probe.Handle(), x - 50, y - 50, 100, 100, TRUE);

    const std::string folder = TactraProcess::MakeEmptyFolder("monitor");
    std::ofstream(folder + "\\Tactra.ini", std::ios::binary) << ProbeProfile(ProgramName());
    std::ofstream(folder + "\\Calibrate.ini", std::ios::binary)
        << "[Config]\r\nMonitor=" << second.szDevice << "\r\n[Touch]\r\nTouchEnabled=0\r\n";
    std::ofstream(folder + "\\session.trace", std::ios::binary)
        << "panel 1024 768\n" + TapAt(2500, rawX, rawY) + TapAt(6000, rawX, rawY);

    TactraProcess::SetWineVersion("winxp64");  // major version 5: the mouse is emulated
    TactraProcess app;
    ASSERT_TRUE(app.Start(folder, "--replay session.trace"));
    const DWORD begin = GetTickCount();
    ASSERT_TRUE(probe.BringToFront());
    EXPECT_EQ(WindowText(GetDlgItem(app.MainDialog(), 1049)),
              std::string("Monitor: ") + second.szDevice);

    // Touch off: the first tap is read and passed over.
    while (GetTickCount() - begin < 4000) Pump(50);
    EXPECT_EQ(probe.Received(), std::vector<std::string>());
    PostMessageA(app.MainDialog(), WM_COMMAND, MAKEWPARAM(1027, 0), 0);  // "Touch enabled"
    while (probe.Received().size() < 2 && GetTickCount() - begin < 12000) Pump(50);
    Pump(300);
    ASSERT_EQ(probe.Received().size(), 2u);
    int downX = -1, downY = -1, upX = -1, upY = -1;
    EXPECT_EQ(std::sscanf(probe.Received()[0].c_str(), "left down %d %d", &downX, &downY), 2)
        << probe.Received()[0];
    EXPECT_EQ(std::sscanf(probe.Received()[1].c_str(), "left up %d %d", &upX, &upY), 2)
        << probe.Received()[1];
    // Virtual-desktop coordinates are 0..65535: a pixel either way is rounding.
    EXPECT_NEAR(downX, 50, 1);
    EXPECT_NEAR(downY, 50, 1);

    char enabled[8] = {};
    GetPrivateProfileStringA("Touch", "TouchEnabled", "", enabled, sizeof enabled,
                             (folder + "\\Calibrate.ini").c_str());
    EXPECT_STREQ(enabled, "1");

    // Ctrl+Alt+F12 turns it off again, and that is remembered too.
    const BYTE keys[] = {VK_CONTROL, VK_MENU, VK_F12};
    for (BYTE key : keys) keybd_event(key, 0, 0, 0);
    for (int i = 2; i >= 0; --i) keybd_event(keys[i], 0, KEYEVENTF_KEYUP, 0);
    const DWORD pressed = GetTickCount();
    do {
        Pump(50);
        GetPrivateProfileStringA("Touch", "TouchEnabled", "", enabled, sizeof enabled,
                                 (folder + "\\Calibrate.ini").c_str());
    } while (std::strcmp(enabled, "0") != 0 && GetTickCount() - pressed < 3000);
    EXPECT_STREQ(enabled, "0") << "the hot key";
}

// ClickMode=on touch in the device's section: the button goes down at the touch-down,
// a second before the finger lifts, and up at the lift.
TEST(TactraTouch, OnTouchPressesAtTheTouchDown) {
    ProbeWindow probe("TactraOnTouchProbe", "On touch probe");
    ASSERT_NE(probe.Handle(), nullptr);
    probe.RecordButtons(true);
    const std::string folder = TactraProcess::MakeEmptyFolder("ontouch");
    std::ofstream(folder + "\\Tactra.ini", std::ios::binary) << ProbeProfile(ProgramName());
    std::ofstream(folder + "\\Calibrate.ini", std::ios::binary)
        << "[Config]\r\nClickMode=on touch\r\n";
    std::ofstream(folder + "\\session.trace", std::ios::binary)
        << "panel 1024 768\nat 2500 touch 300,384 -\nat 2540 touch 300,384 -\n"
           "at 3500 touch 300,384 -\nat 3540 touch - -\n";
    TactraProcess::SetWineVersion("winxp64");  // major version 5: the mouse is emulated
    TactraProcess app;
    ASSERT_TRUE(app.Start(folder, "--replay session.trace"));
    const DWORD begin = GetTickCount();
    ASSERT_TRUE(probe.BringToFront());
    while (probe.Received().empty() && GetTickCount() - begin < 10000) Pump(20);
    const DWORD down = GetTickCount();
    ASSERT_EQ(probe.Received(), (std::vector<std::string>{"left down 300 384"}));
    while (probe.Received().size() < 2 && GetTickCount() - begin < 12000) Pump(20);
    EXPECT_EQ(probe.Received(), (std::vector<std::string>{"left down 300 384", "left up 300 384"}));
    EXPECT_GE(GetTickCount() - down, 500u) << "the button was down until the lift";
}

// The "Touch settings" window from the tray menu's item: it lists the devices being
// read (two replayed panels), shows the chosen device's settings, and "Apply" writes
// that device's keys (the second device's into its own section) and keeps the rest.
TEST(TactraTouch, TouchSettingsWindowListsTheDevicesAndApplyWritesTheirKeys) {
    const std::string folder = TactraProcess::MakeEmptyFolder("settings");
    std::ofstream(folder + "\\Calibrate.ini", std::ios::binary)
        << "[Config]\r\nMonitor=\r\nHoldTime=700\r\n[Touch]\r\nTouchEnabled=1\r\n";
    std::string trace;
    for (int d = 1; d <= 2; ++d) {
        char line[160];
        std::snprintf(line, sizeof line,
                      "device d%d \"\\\\\\\\?\\\\hid#vid_0eef&pid_0001#7&1a2b&0&000%d#x\"\n"
                      "panel 1024 768\nat 30000 touch - -\n",
                      d, d);
        trace += line;
    }
    std::ofstream(folder + "\\two.trace", std::ios::binary) << trace;
    TactraProcess::SetWineVersion("winxp64");
    TactraProcess app;
    ASSERT_TRUE(app.Start(folder, "--replay two.trace"));
    Pump(1500);                                                          // both devices read
    PostMessageA(app.MainDialog(), WM_COMMAND, MAKEWPARAM(1028, 0), 0);  // "Touch settings"
    HWND window = app.WaitForWindow("Touch settings");
    ASSERT_NE(window, nullptr);
    HWND list = GetDlgItem(window, 1100);
    ASSERT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(WindowText(GetDlgItem(window, 1103)), "700") << "the first device's hold time";
    // The second device: on touch, applied.
    SendMessageA(list, LB_SETCURSEL, 1, 0);
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(1100, LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
    EXPECT_EQ(WindowText(GetDlgItem(window, 1103)), "1500") << "the second device's own";
    SendDlgItemMessageA(window, 1101, CB_SETCURSEL, 1, 0);
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(1116, BN_CLICKED), 0);  // "Apply"
    const std::string ini = folder + "\\Calibrate.ini";
    char value[64] = {};
    GetPrivateProfileStringA("Device 0EEF:0000 7&1A2B&0&0002", "ClickMode", "", value, sizeof value,
                             ini.c_str());
    EXPECT_STREQ(value, "on touch");
    GetPrivateProfileStringA("Config", "HoldTime", "", value, sizeof value, ini.c_str());
    EXPECT_STREQ(value, "700") << "the first device's keys stay";
    GetPrivateProfileStringA("Touch", "TouchEnabled", "", value, sizeof value, ini.c_str());
    EXPECT_STREQ(value, "1");
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    // Without a window manager, Wine takes a while to close a window.
    const DWORD closing = GetTickCount();
    while (IsWindow(window) && GetTickCount() - closing < 8000) Pump(100);
    EXPECT_FALSE(IsWindow(window));
    PostMessageA(app.MainDialog(), WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
    EXPECT_TRUE(app.WaitForExit(5000));
}

// A trace that cannot be replayed is refused before anything runs, with the reason.
TEST(TactraTouch, BadReplayFileIsRefusedWithItsReason) {
    const std::string folder = TactraProcess::MakeEmptyFolder("badtrace");
    std::ofstream(folder + "\\bad.trace", std::ios::binary)
        << "panel 1024 768\nat 0 touch nonsense\n";
    TactraProcess app;
    // The program shows its message box instead of the main dialog.
    EXPECT_FALSE(app.Start(folder, "--replay bad.trace", 3000));
    HWND box = app.WaitForWindow("Tactra");
    ASSERT_NE(box, nullptr);
    bool namesFile = false;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (WindowText(child).find("bad.trace:2:") != std::string::npos) namesFile = true;
    EXPECT_TRUE(namesFile);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_TRUE(app.WaitForExit(5000));
}

// Without a panel the recording stays empty and Tactra keeps searching; a
// recording that cannot be created is refused before anything runs.
TEST(TactraTouch, RecordingIsCreatedOrRefused) {
    const std::string folder = TactraProcess::MakeEmptyFolder("record");
    {
        TactraProcess app;
        ASSERT_TRUE(app.Start(folder, "--record session.trace"));
        Pump(700);
        EXPECT_FALSE(app.WaitForExit(0));
        EXPECT_NE(GetFileAttributesA((folder + "\\session.trace").c_str()),
                  INVALID_FILE_ATTRIBUTES);
        PostMessageA(app.MainDialog(), WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
        EXPECT_TRUE(app.WaitForExit(5000));
    }
    TactraProcess app;
    EXPECT_FALSE(app.Start(folder, "--record no-such-folder\\session.trace", 3000));
    HWND box = app.WaitForWindow("Tactra");
    ASSERT_NE(box, nullptr);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_TRUE(app.WaitForExit(5000));
}

// `devices` panels replayed at 1,000 reports a second each for 5 s: each touches for
// 40 ms of every 100 ms, the second 50 ms after the first, so that each drives in
// turn. With --log verbose each reading writes at its end how long its batches took,
// one line per device.
std::string LatencyTrace(int devices) {
    std::string t;
    char line[160];
    for (int d = 0; d < devices; ++d) {
        std::snprintf(line, sizeof line,
                      "device d%d \"\\\\\\\\?\\\\hid#vid_0eef&pid_0001#7&1a2b&0&000%d#x\"\n"
                      "panel 1024 768\n",
                      d + 1, d + 1);
        t += line;
    }
    const int start = 1000;
    for (int tick = 0; tick < 5000; ++tick) {
        for (int d = 0; d < devices; ++d) {
            const int phase = (tick + 100 - 50 * d) % 100;
            const bool touching = phase < 40;
            if (devices > 1) {
                std::snprintf(line, sizeof line, "at %d device d%d\n", start + tick, d + 1);
                t += line;
            }
            if (touching) {
                std::snprintf(line, sizeof line, "at %d touch %d,%d -\n", start + tick,
                              200 + 400 * d + phase, 300);
            } else {
                std::snprintf(line, sizeof line, "at %d touch - -\n", start + tick);
            }
            t += line;
        }
    }
    return t;
}

TEST(TactraTouch, EachDeviceLogsHowLongItsTouchesTake) {
    for (const int devices : {1, 2}) {
        SCOPED_TRACE(devices);
        const std::string folder = TactraProcess::MakeEmptyFolder("latency");
        std::ofstream(folder + "\\latency.trace", std::ios::binary) << LatencyTrace(devices);
        TactraProcess::SetWineVersion("winxp64");
        TactraProcess app;
        ASSERT_TRUE(app.Start(folder, "--replay latency.trace --log verbose"));
        std::vector<std::string> lines;
        const DWORD begin = GetTickCount();
        while (lines.size() < static_cast<size_t>(devices) && GetTickCount() - begin < 30000) {
            Pump(200);
            lines.clear();
            const std::string log = ReadFileText(folder + "\\Tactra.log");
            for (size_t at = log.find("touch latency "); at != std::string::npos;
                 at = log.find("touch latency ", at + 1)) {
                lines.push_back(log.substr(at, log.find('\r', at) - at));
            }
        }
        ASSERT_EQ(lines.size(), static_cast<size_t>(devices));
        for (const std::string& line : lines) {
            // "touch latency ID: N batches, median M us, p99 P us, max X us"
            char id[64] = {};
            unsigned long batches = 0, median = 0, p99 = 0, max = 0;
            const int fields =
                std::sscanf(line.c_str(),
                            "touch latency %63[^:]:%*[^:]: %lu batches, median %lu us, p99 %lu "
                            "us, max %lu us",
                            id, &batches, &median, &p99, &max);
            EXPECT_EQ(fields, 5) << line;
            EXPECT_GT(batches, 1000u) << line;
            EXPECT_LE(median, p99) << line;
            EXPECT_LE(p99, max) << line;
            // The figures for the record (no assertion on time).
            std::printf("%d device(s): %s\n", devices, line.c_str());
        }
        PostMessageA(app.MainDialog(), WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
        EXPECT_TRUE(app.WaitForExit(5000));
    }
}

}  // namespace
}  // namespace testing
}  // namespace tactra
