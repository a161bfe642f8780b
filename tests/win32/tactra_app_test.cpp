// Tactra.exe driven as a user would: started in an empty folder, shown through its
// tray callback, the About box, the version-dependent calibration hint, the end of
// the program through the menu's "EXIT", and one Tactra at a time.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "platform/win32/win32_tactra_instance.h"
#include "tests/support/tactra_process_win32.h"

namespace tactra {
namespace testing {
namespace {

constexpr UINT kTrayCallback = WM_USER + 1;

class TactraApp : public ::testing::Test {
protected:
    void StartWith(const char* wineVersion) {
        TactraProcess::SetWineVersion(wineVersion);
        folder_ = TactraProcess::MakeEmptyFolder("app");
        ASSERT_TRUE(app_.Start(folder_)) << "Tactra.exe did not open its main dialog";
    }
    HWND Main() const { return app_.MainDialog(); }
    static bool WaitVisible(HWND hwnd, bool visible) {
        for (int i = 0; i < 100; ++i) {
            if ((IsWindowVisible(hwnd) != FALSE) == visible) return true;
            Pump(30);
        }
        return false;
    }

    std::string folder_;
    TactraProcess app_;
};

TEST_F(TactraApp, StartsHiddenKeepsRunningWithoutPanelAndShowsCentredOnTopFromTheTray) {
    StartWith("winxp64");
    Pump(1500);  // several retry ticks without a panel
    EXPECT_FALSE(IsWindowVisible(Main()));
    EXPECT_TRUE(GetWindowLongA(Main(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW) << "no taskbar button";
    EXPECT_FALSE(app_.WaitForExit(0)) << "keeps running while no panel exists";

    SendMessageA(Main(), kTrayCallback, 0, WM_LBUTTONDOWN);
    ASSERT_TRUE(WaitVisible(Main(), true));
    // The show runs in Tactra's own thread: wait until it has placed the dialog.
    RECT r;
    for (int i = 0; i < 100; ++i) {
        GetWindowRect(Main(), &r);
        if (r.left >= 0 && r.right - r.left > 1) break;
        Pump(30);
    }
    const int w = r.right - r.left, h = r.bottom - r.top;
    EXPECT_GT(w, 300);
    EXPECT_GT(h, 200);
    EXPECT_NEAR(r.left, (GetSystemMetrics(SM_CXSCREEN) - w) / 2, 1);
    EXPECT_NEAR(r.top, (GetSystemMetrics(SM_CYSCREEN) - h) / 2, 1);
    EXPECT_TRUE(GetWindowLongA(Main(), GWL_EXSTYLE) & WS_EX_TOPMOST);

    // "OK" hides it; the program keeps running.
    SendMessageA(Main(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_TRUE(WaitVisible(Main(), false));
    EXPECT_FALSE(app_.WaitForExit(200));

    // Minimise hides as well.
    SendMessageA(Main(), kTrayCallback, 0, WM_LBUTTONDBLCLK);
    ASSERT_TRUE(WaitVisible(Main(), true));
    SendMessageA(Main(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(WaitVisible(Main(), false));

    // Other mouse messages on the icon do nothing.
    SendMessageA(Main(), kTrayCallback, 0, WM_MOUSEMOVE);
    Pump(200);
    EXPECT_FALSE(IsWindowVisible(Main()));
}

TEST_F(TactraApp, AboutBoxShowsTheVersion) {
    StartWith("winxp64");
    PostMessageA(Main(), WM_COMMAND, MAKEWPARAM(1007, BN_CLICKED), 0);
    HWND about = app_.WaitForWindow("About Qumix Touch");
    ASSERT_NE(about, nullptr);
    EXPECT_NE(FindChildWithText(about, "TACTRA Version 1.0.1.4"), nullptr);
    SendMessageA(about, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    Pump(300);
    EXPECT_FALSE(IsWindow(about));
    EXPECT_FALSE(app_.WaitForExit(0));
}

TEST_F(TactraApp, CalibrationStaysOnForMajorVersionFive) {
    StartWith("winxp64");
    EXPECT_EQ(WindowText(GetDlgItem(Main(), 1047)), "Please press right button to calibrate. ");
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(Main(), 1000)));
}

TEST_F(TactraApp, CalibrationIsOffForNewerVersions) {
    StartWith("win7");
    EXPECT_EQ(WindowText(GetDlgItem(Main(), 1047)),
              "For Windows 7 and Vista, Calibration is not necessary!");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(Main(), 1000)));
}

// Whether the notification area holds Tactra's icon: modifying nothing succeeds
// only for an icon that exists.
bool TrayIconExists(HWND owner) {
    NOTIFYICONDATAA nid = {};
    nid.cbSize = sizeof nid;
    nid.hWnd = owner;
    nid.uID = 128;
    nid.uFlags = 0;
    return Shell_NotifyIconA(NIM_MODIFY, &nid) != FALSE;
}

TEST_F(TactraApp, ExitFromTheMenuEndsTheProgramAndRemovesTheIcon) {
    StartWith("winxp64");
    const HWND main = Main();
    EXPECT_TRUE(TrayIconExists(main)) << "the icon is added at start-up";
    // "EXIT" arrives as the dialog's cancel command.
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
    EXPECT_TRUE(app_.WaitForExit(5000));
    EXPECT_FALSE(TrayIconExists(main));
}

// In mouse mode 97 Tactra starts the tablet service found in its current folder:
// that very file, not one of the same name in the program's own folder (which the
// system would search first for a bare name), and ends it when it ends.
TEST_F(TactraApp, StartsTheTabletServiceOfItsCurrentFolderAndEndsIt) {
    TactraProcess::SetWineVersion("winxp64");
    const std::string service = WindowsPath(TACTRA_FAKE_SERVICE_PATH);
    const std::string program = TactraProcess::MakeEmptyFolder("program");
    ASSERT_TRUE(
        CopyFileA(WindowsPath(TACTRA_APP_PATH).c_str(), (program + "\\Tactra.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(service.c_str(), (program + "\\WISPTIS.EXE").c_str(), FALSE));
    folder_ = TactraProcess::MakeEmptyFolder("service");
    const std::string expected = folder_ + "\\WISPTIS.EXE";
    ASSERT_TRUE(CopyFileA(service.c_str(), expected.c_str(), FALSE));

    app_.SetProgram(program + "\\Tactra.exe");
    ASSERT_TRUE(app_.Start(folder_));
    std::string ran;
    for (int i = 0; i < 100 && ran.empty(); ++i) {
        Pump(50);
        ran = ReadFileText(folder_ + "\\service-ran.txt");
    }
    EXPECT_EQ(ran, expected + "\r\n");

    PostMessageA(Main(), WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
    ASSERT_TRUE(app_.WaitForExit(5000));
    // The service held its lock file open without sharing until it was ended.
    bool ended = false;
    for (int i = 0; i < 100 && !ended; ++i) {
        ended = DeleteFileA((folder_ + "\\service.lock").c_str()) != FALSE;
        if (!ended) Pump(50);
    }
    EXPECT_TRUE(ended) << "the tablet service is still running";
}

// With --log, Tactra says in "Tactra.log" why it has no panel and that it searches
// again; the words it ignored are there too.
TEST_F(TactraApp, LogSaysWhyThereIsNoPanel) {
    TactraProcess::SetWineVersion("winxp64");
    folder_ = TactraProcess::MakeEmptyFolder("log");
    ASSERT_TRUE(app_.Start(folder_, "--log --unknown"));
    std::string log;
    for (int i = 0; i < 100 && log.find("searching again") == std::string::npos; ++i) {
        Pump(50);
        log = ReadFileText(folder_ + "\\Tactra.log");
    }
    EXPECT_NE(log.find("ignored command-line word --unknown\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("no panel to read (no panel of vendor 0x0EEF found): searching again in "
                       "500 ms\r\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("report:"), std::string::npos) << "no report lines without verbose";
}

// A shortcut or autostart entry with words Tactra does not know still starts it.
TEST_F(TactraApp, UnknownCommandLineWordsAreIgnored) {
    TactraProcess::SetWineVersion("winxp64");
    folder_ = TactraProcess::MakeEmptyFolder("words");
    EXPECT_TRUE(app_.Start(folder_, "/autostart --minimized extra"))
        << "Tactra.exe refused to start";
}

// A second start (an autostart and then one by hand) must not open the panel again:
// it shows the running Tactra's dialog and ends, before anything of its own runs.
// The mark goes with the process however it ends, so a killed Tactra does not keep
// the next one from starting.
TEST_F(TactraApp, ASecondStartShowsTheRunningOneAndEnds) {
    StartWith("winxp64");
    EXPECT_TRUE(IsTactraRunning());
    ASSERT_FALSE(IsWindowVisible(Main()));

    const std::string second = TactraProcess::MakeEmptyFolder("second");
    const std::string exe = WindowsPath(TACTRA_APP_PATH);
    std::string commandLine = "\"" + exe + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    const DWORD start = GetTickCount();
    ASSERT_TRUE(CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                               second.c_str(), &si, &pi));
    // Ends by itself; the time is shown, not judged (Wine's start-up varies).
    const bool ended = WaitForSingleObject(pi.hProcess, 10000) == WAIT_OBJECT_0;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(pi.hProcess, &code);
    if (!ended) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    ASSERT_TRUE(ended) << "the second Tactra keeps running";
    std::printf("the second start ended after %lu ms\n", GetTickCount() - start);
    EXPECT_EQ(code, 0u);

    EXPECT_TRUE(WaitVisible(Main(), true)) << "the running Tactra's dialog was not shown";
    EXPECT_EQ(CountProcesses("Tactra.exe"), 1);
    EXPECT_EQ(GetFileAttributesA((second + "\\Tactra.ini").c_str()), INVALID_FILE_ATTRIBUTES)
        << "the second start read its profiles";
    EXPECT_FALSE(app_.WaitForExit(0));

    app_.Kill();
    EXPECT_FALSE(IsTactraRunning());
    EXPECT_TRUE(app_.Start(second)) << "a killed Tactra keeps the next one from starting";
}

TEST_F(TactraApp, CloseEndsTheProgram) {
    StartWith("winxp64");
    PostMessageA(Main(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(app_.WaitForExit(5000));
}

}  // namespace
}  // namespace testing
}  // namespace tactra
