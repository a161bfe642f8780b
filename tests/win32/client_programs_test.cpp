// Calibrate.exe and Test.exe as a user meets them, installed side by side with
// tpinput.dll and driven by traces that the library replays (TPINPUT_REPLAY), and
// Tactra.exe starting each of them and coming back when it ends.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "device/calibration.h"
#include "device/calibrator.h"
#include "tests/support/monitors_win32.h"
#include "tests/support/tactra_process_win32.h"

namespace tactra {
namespace testing {
namespace {

constexpr DWORD kProgramTimeoutMs = 20000;

// A program started in a folder, with TPINPUT_REPLAY naming `trace` (or unset).
class Program {
public:
    ~Program() { EndProcess(pi_); }
    bool Start(const std::string& exe, const std::string& folder, const std::string& trace,
               const char* arguments = "") {
        SetEnvironmentVariableA("TPINPUT_REPLAY", trace.empty() ? nullptr : trace.c_str());
        std::string commandLine = "\"" + exe + "\" " + arguments;
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        const BOOL started = CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                                            0, nullptr, folder.c_str(), &si, &pi_);
        SetEnvironmentVariableA("TPINPUT_REPLAY", nullptr);
        return started != FALSE;
    }
    HWND WaitForWindow(const char* title, DWORD timeoutMs = kProgramTimeoutMs) const {
        const DWORD start = GetTickCount();
        do {
            HWND w = WaitForAnyWindow(title, 0);
            DWORD pid = 0;
            if (w) GetWindowThreadProcessId(w, &pid);
            if (w && pid == pi_.dwProcessId) return w;
            Pump(50);
        } while (GetTickCount() - start < timeoutMs);
        return nullptr;
    }
    bool WaitForExit(DWORD timeoutMs = kProgramTimeoutMs) const {
        return WaitForSingleObject(pi_.hProcess, timeoutMs) == WAIT_OBJECT_0;
    }
    DWORD Id() const { return pi_.dwProcessId; }

private:
    PROCESS_INFORMATION pi_{};
};

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void WriteText(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

// Waits until a child control shows `text`.
bool WaitForText(HWND window, int id, const std::string& text, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    do {
        if (WindowText(GetDlgItem(window, id)) == text) return true;
        Pump(50);
    } while (GetTickCount() - start < timeoutMs);
    return false;
}

struct Raw {
    int x, y;
};

// One touch per target: down, a move on the same spot (so that the mean does not
// depend on which moves the library's 100 ms spacing keeps) and the lift.
std::string Touches(const std::vector<Raw>& points, int firstTick, int spacing = 250) {
    std::string trace;
    char line[96];
    for (size_t i = 0; i < points.size(); ++i) {
        const int t = firstTick + spacing * static_cast<int>(i);
        std::snprintf(line, sizeof line,
                      "at %d touch %d,%d -\nat %d touch %d,%d -\nat %d touch - -\n", t, points[i].x,
                      points[i].y, t + 40, points[i].x, points[i].y, t + 80);
        trace += line;
    }
    return trace;
}

const std::vector<Raw> kGoodTargets = {
    {600, 500}, {3500, 520}, {580, 3600}, {3520, 3580}, {2048, 2048}};

class CalibrateProgram : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = TactraProcess::MakeEmptyFolder("calibrate");
        ASSERT_TRUE(CopyInto(TACTRA_CALIBRATE_PATH, folder_));
        ASSERT_TRUE(CopyInto(TACTRA_TPINPUT_PATH, folder_));
    }
    std::string File(const char* name) const { return folder_ + "\\" + name; }
    // Starts Calibrate.exe with a trace of `text` and waits for its first target.
    HWND Start(Program& program, const std::string& text) {
        WriteText(File("session.trace"), "panel 4095 4095\n" + text);
        if (!program.Start(File("Calibrate.exe"), folder_, File("session.trace"))) return nullptr;
        return program.WaitForWindow("Calibration: target 1 of 5");
    }
    // The private folder the program checks the file in is gone at its end.
    bool WorkFolderRemains(const Program& program) const {
        char temp[MAX_PATH] = {};
        GetTempPathA(sizeof temp, temp);
        char name[MAX_PATH];
        std::snprintf(name, sizeof name, "%sTactra-Calibrate-%lu", temp,
                      static_cast<unsigned long>(program.Id()));
        return Exists(name);
    }

    std::string folder_;
};

// The five targets, then a touch on "Accept" mapped through the new limits: the
// file holds the fourteen keys with the limits the library's arithmetic gives.
TEST_F(CalibrateProgram, FiveTargetsAndAcceptByTouchWriteTheLibrarysFile) {
    CalibrationPoint points[5];
    for (int i = 0; i < 5; ++i) points[i] = {kGoodTargets[i].x, kGoodTargets[i].y, 0};
    const CalibrationLimits limits = LimitsFromPoints(points);
    // The raw position that lands in the middle of "Accept" with the new limits.
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    const CheckScreenLayout layout = LayOutCheckScreen(w, h);
    const int px = (layout.accept.left + layout.accept.right) / 2;
    const int py = (layout.accept.top + layout.accept.bottom) / 2;
    const Raw accept = {limits.minX + px * limits.xRange / w, limits.minY + py * limits.yRange / h};
    char touch[96];
    std::snprintf(touch, sizeof touch, "at 2600 touch %d,%d -\nat 2650 touch - -\n", accept.x,
                  accept.y);

    Program program;
    HWND window = Start(program, Touches(kGoodTargets, 800) + touch);
    ASSERT_NE(window, nullptr);
    EXPECT_NE(program.WaitForWindow("Calibration: check"), nullptr);
    ASSERT_TRUE(program.WaitForExit()) << "the touch on \"Accept\" ends the program";

    const std::string text = ReadFileText(File("Calibrate.ini"));
    char expected[512];
    std::snprintf(expected, sizeof expected,
                  "Point1X=600 Point1Y=500 Point2X=3500 Point2Y=520 Point3X=580 Point3Y=3600 "
                  "Point4X=3520 Point4Y=3580 Point5X=2048 Point5Y=2048 MinX=%d MaxX=%d MinY=%d "
                  "MaxY=%d",
                  limits.minX, limits.maxX, limits.minY, limits.maxY);
    EXPECT_EQ(limits.minX, 78);
    std::string keys;
    for (const char* p = text.c_str(); *p;) {
        const char* end = std::strstr(p, "\r\n");
        std::string line = end ? std::string(p, end) : std::string(p);
        if (!line.empty() && line[0] != '[') keys += (keys.empty() ? "" : " ") + line;
        if (!end) break;
        p = end + 2;
    }
    EXPECT_EQ(keys, expected) << text;
    EXPECT_FALSE(WorkFolderRemains(program));
}

// Escape on target 3, "Retry" then Escape, and Escape on the check screen: the
// previous file stays byte for byte.
TEST_F(CalibrateProgram, CancellingRetryingAndRejectingKeepThePreviousFile) {
    const std::string previous =
        "; calibrated by hand\r\n[Config]\r\nMinX=11\r\nMaxX=4000\r\nMinY=12\r\nMaxY=4001\r\n";
    WriteText(File("Calibrate.ini"), previous);

    {
        Program program;
        HWND window = Start(program, Touches({kGoodTargets[0], kGoodTargets[1]}, 600));
        ASSERT_NE(window, nullptr);
        ASSERT_NE(program.WaitForWindow("Calibration: target 3 of 5"), nullptr);
        PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
        ASSERT_TRUE(program.WaitForExit());
        EXPECT_EQ(ReadFileText(File("Calibrate.ini")), previous) << "Escape on target 3";
        EXPECT_FALSE(WorkFolderRemains(program));
    }
    {
        Program program;
        HWND window = Start(program, Touches(kGoodTargets, 600));
        ASSERT_NE(window, nullptr);
        ASSERT_NE(program.WaitForWindow("Calibration: check"), nullptr);
        EXPECT_EQ(ReadFileText(File("Calibrate.ini")), previous) << "unchanged while checked";
        PostMessageA(FindChildWithText(window, "Retry"), BM_CLICK, 0, 0);
        ASSERT_NE(program.WaitForWindow("Calibration: target 1 of 5"), nullptr);
        PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
        ASSERT_TRUE(program.WaitForExit());
        EXPECT_EQ(ReadFileText(File("Calibrate.ini")), previous) << "Retry, then Escape";
    }
    {
        Program program;
        HWND window = Start(program, Touches(kGoodTargets, 600));
        ASSERT_NE(window, nullptr);
        ASSERT_NE(program.WaitForWindow("Calibration: check"), nullptr);
        PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
        ASSERT_TRUE(program.WaitForExit());
        EXPECT_EQ(ReadFileText(File("Calibrate.ini")), previous) << "Escape on the check screen";
        EXPECT_FALSE(WorkFolderRemains(program));
    }
}

// The second monitor of the desktop, when there is one.
bool SecondMonitor(MONITORINFOEXA& second) {
    const std::vector<MONITORINFOEXA> monitors = AttachedMonitors();
    if (monitors.size() < 2) return false;
    second = monitors[1];
    return true;
}

// With two monitors the program asks first, on every screen, which one to use: the
// primary is asked first, the second a few seconds later, and a touch then takes
// the second. The targets and the check run on it (the check through the library's
// desktop positions, less the monitor's place), and "Accept" stores its name beside
// the touch switch's section, which stays. Needs two monitors (TACTRA_WINE_SCREENS=2).
TEST_F(CalibrateProgram, TheMonitorTouchedWhileAskedIsCalibratedAndStored) {
    MONITORINFOEXA second = {};
    if (!SecondMonitor(second)) GTEST_SKIP() << "one monitor only: run with TACTRA_WINE_SCREENS=2";
    const RECT& m = second.rcMonitor;
    const int w = m.right - m.left, h = m.bottom - m.top;
    CalibrationPoint points[5];
    for (int i = 0; i < 5; ++i) points[i] = {kGoodTargets[i].x, kGoodTargets[i].y, 0};
    const CalibrationLimits limits = LimitsFromPoints(points);
    const CheckScreenLayout layout = LayOutCheckScreen(w, h);
    const int px = (layout.accept.left + layout.accept.right) / 2;
    const int py = (layout.accept.top + layout.accept.bottom) / 2;
    const Raw accept = {limits.minX + px * limits.xRange / w, limits.minY + py * limits.yRange / h};
    char touches[256];
    // 5.5 s: the primary screen has been asked for 4 s, the second is asked now. The
    // targets come later: without a window manager, Wine takes 2 s to close each
    // window of the question.
    std::snprintf(touches, sizeof touches,
                  "at 5500 touch 2000,2000 -\nat 5540 touch 2000,2000 -\nat 5580 touch - -\n");
    char touch[96];
    std::snprintf(touch, sizeof touch, "at 13800 touch %d,%d -\nat 13850 touch - -\n", accept.x,
                  accept.y);
    WriteText(File("Calibrate.ini"), "[Touch]\r\nTouchEnabled=0\r\n");
    WriteText(File("session.trace"),
              "panel 4095 4095\n" + std::string(touches) + Touches(kGoodTargets, 11000) + touch);

    Program program;
    ASSERT_TRUE(program.Start(File("Calibrate.exe"), folder_, File("session.trace")));
    EXPECT_NE(program.WaitForWindow("Calibration: choose the screen"), nullptr);
    HWND targets = program.WaitForWindow("Calibration: target 1 of 5");
    ASSERT_NE(targets, nullptr);
    RECT r = {};
    GetWindowRect(targets, &r);
    EXPECT_EQ(r.left, m.left);
    EXPECT_EQ(r.top, m.top);
    EXPECT_EQ(r.right, m.right);
    EXPECT_EQ(r.bottom, m.bottom);
    EXPECT_NE(program.WaitForWindow("Calibration: check"), nullptr);
    ASSERT_TRUE(program.WaitForExit()) << "the touch on \"Accept\" ends the program";

    const CIni ini(File("Calibrate.ini"));
    EXPECT_EQ(ReadMonitorName(ini), second.szDevice);
    EXPECT_FALSE(ReadTouchEnabled(ini));
    EXPECT_EQ(ini.ReadNumber(kCalibrationSection, "MinX", 0), 78);
    EXPECT_FALSE(WorkFolderRemains(program));
}

TEST_F(CalibrateProgram, PointsThatCannotBeRightAreRefusedAndNothingIsWritten) {
    Program program;
    const std::vector<Raw> sameSpot(5, Raw{2000, 2000});
    HWND window = Start(program, Touches(sameSpot, 600));
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(WaitForText(window, 101,
                            CalibrationCheckMessage(CalibrationCheck::kTargetsTooClose),
                            kProgramTimeoutMs));
    EXPECT_EQ(WindowText(window), "Calibration: target 1 of 5") << "the targets start again";
    EXPECT_FALSE(Exists(File("Calibrate.ini")));
    PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(program.WaitForExit());
    EXPECT_FALSE(Exists(File("Calibrate.ini")));
}

TEST(TestProgram, ListsTheReplayedMessagesAndTellsWhenNoPanelIsConnected) {
    const std::string folder = TactraProcess::MakeEmptyFolder("touchtest");
    ASSERT_TRUE(CopyInto(TACTRA_TOUCHTEST_PATH, folder));
    ASSERT_TRUE(CopyInto(TACTRA_TPINPUT_PATH, folder));
    const std::string exe = folder + "\\Test.exe";
    const std::string trace = folder + "\\session.trace";
    // With the panel's range as the screen's, raw units are pixels.
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    char text[256];
    std::snprintf(
        text, sizeof text,
        "panel %d %d\nat 800 touch 512,384 -\nat 900 touch 600,400 -\nat 1000 touch - -\n", w, h);
    WriteText(trace, text);

    // Straight from lParam, and as a ported client reads them.
    for (const char* arguments : {"", "--info"}) {
        SCOPED_TRACE(arguments);
        Program program;
        ASSERT_TRUE(program.Start(exe, folder, trace, arguments));
        HWND window = program.WaitForWindow("Touch Test");
        ASSERT_NE(window, nullptr);
        HWND list = GetDlgItem(window, 102);
        for (int i = 0; i < 100 && SendMessageA(list, LB_GETCOUNT, 0, 0) < 3; ++i) Pump(50);
        ASSERT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 3);
        const char* expected[] = {"WM_TOUCH n=1   [0] 0x1C up (60000, 40000)",
                                  "WM_TOUCH n=1   [0] 0x19 move (60000, 40000)",
                                  "WM_TOUCH n=1   [0] 0x1A down (51200, 38400)"};
        for (int i = 0; i < 3; ++i) {
            // Across processes Wine hands list box texts over reliably only as wide text.
            wchar_t wide[256] = {};
            SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(wide));
            EXPECT_EQ(std::string(wide, wide + wcslen(wide)), expected[i]);
        }
        EXPECT_NE(WindowText(GetDlgItem(window, 100)).find("vendor 0x0EEF"), std::string::npos);
        PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
        EXPECT_TRUE(program.WaitForExit());
    }

    Program alone;
    ASSERT_TRUE(alone.Start(exe, folder, ""));
    HWND window = alone.WaitForWindow("Touch Test");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(WindowText(GetDlgItem(window, 100)),
              "No touch panel is connected. Connect the panel and start the test again.");
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(alone.WaitForExit());
}

// "Calibration" and "Test" end Tactra; each program starts it again when it ends.
TEST(TactraLaunch, EachProgramEndsTactraAndStartsItAgain) {
    const std::string folder = TactraProcess::MakeEmptyFolder("launch");
    for (const char* path :
         {TACTRA_APP_PATH, TACTRA_CALIBRATE_PATH, TACTRA_TOUCHTEST_PATH, TACTRA_TPINPUT_PATH}) {
        ASSERT_TRUE(CopyInto(path, folder)) << path;
    }
    WriteText(folder + "\\panel.trace", "panel 4095 4095\n");
    TactraProcess::SetWineVersion("winxp64");
    // Tactra passes its environment on: the programs find the replayed panel.
    SetEnvironmentVariableA("TPINPUT_REPLAY", (folder + "\\panel.trace").c_str());
    struct Case {
        int button;
        const char* window;
    };
    DWORD previous = 0;
    TactraProcess first;
    ASSERT_TRUE(first.Start(folder, "", 15000, folder + "\\Tactra.exe"));
    HWND main = first.MainDialog();
    for (const Case c : {Case{1000, "Calibration: target 1 of 5"}, Case{1005, "Touch Test"}}) {
        SCOPED_TRACE(c.window);
        DWORD tactra = 0;
        GetWindowThreadProcessId(main, &tactra);
        PostMessageA(main, WM_COMMAND, MAKEWPARAM(c.button, BN_CLICKED), 0);
        HWND program = WaitForAnyWindow(c.window, kProgramTimeoutMs);
        ASSERT_NE(program, nullptr);
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, tactra);
        EXPECT_TRUE(process == nullptr || WaitForSingleObject(process, 10000) == WAIT_OBJECT_0)
            << "Tactra ends";
        if (process) CloseHandle(process);
        PostMessageA(program, WM_KEYDOWN, VK_ESCAPE, 0);
        main = WaitForAnyWindow("Qumix Touch Configure", kProgramTimeoutMs, tactra);
        ASSERT_NE(main, nullptr) << "Tactra runs again";
        previous = tactra;
        // The new Tactra is ready once it answers.
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored);
        Pump(500);
    }
    SetEnvironmentVariableA("TPINPUT_REPLAY", nullptr);
    EXPECT_NE(previous, 0u);
    KillWindowProcess(main);

    // Without the program beside it, Tactra says so and keeps running.
    const std::string bare = TactraProcess::MakeEmptyFolder("launch-missing");
    ASSERT_TRUE(CopyInto(TACTRA_APP_PATH, bare));
    TactraProcess app;
    ASSERT_TRUE(app.Start(bare, "", 15000, bare + "\\Tactra.exe"));
    PostMessageA(app.MainDialog(), WM_COMMAND, MAKEWPARAM(1000, BN_CLICKED), 0);
    HWND message = app.WaitForWindow("Tactra", 10000);
    ASSERT_NE(message, nullptr);
    EXPECT_NE(FindChildWithText(message, "Calibrate.exe could not be started."), nullptr);
    PostMessageA(message, WM_COMMAND, IDOK, 0);
    Pump(500);
    EXPECT_FALSE(app.WaitForExit(500));
}

}  // namespace
}  // namespace testing
}  // namespace tactra
