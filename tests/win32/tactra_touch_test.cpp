// A whole touch session through Tactra.exe: a probe window of this program is the
// application in front, its program name has a profile in "Tactra.ini", and
// Tactra replays a pinch and a flick through its real reading thread, "WM_TOUCH",
// the gesture engine and keybd_event/mouse_event. The probe must receive the
// Ctrl + wheel steps and the flick's key, in order.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

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
    ASSERT_TRUE(app.Start(folder, "--replay session.trace"));
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

    // The trace is over: Tactra searches for a panel again and keeps running.
    EXPECT_FALSE(app.WaitForExit(700));
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

}  // namespace
}  // namespace testing
}  // namespace tactra
