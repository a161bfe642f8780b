// Calibrate.exe and Test.exe as a user meets them, installed side by side with
// tpinput.dll and driven by traces that the library replays (TPINPUT_REPLAY): of the
// panel, and of a touch screen of another maker without a panel; the same programs
// finding and opening their device on the real HID path through the simulated HID
// (tests/simulator); and Tactra.exe starting each of them and coming back when it
// ends.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "device/mapping/calibration.h"
#include "device/mapping/calibrator.h"
#include "tests/simulator/panel_feeder.h"
#include "tests/support/monitors_win32.h"
#include "tests/support/tactra_process_win32.h"

namespace tactra {
namespace testing {
namespace {

constexpr DWORD kProgramTimeoutMs = 20000;

// A program started in a folder, with TPINPUT_REPLAY naming `trace` (or unset), in
// this process's environment or in `environment` (a block as CreateProcess takes it).
class Program {
public:
    ~Program() { EndProcess(pi_); }
    bool Start(const std::string& exe, const std::string& folder, const std::string& trace,
               const char* arguments = "", const std::string* environment = nullptr) {
        SetEnvironmentVariableA("TPINPUT_REPLAY", trace.empty() ? nullptr : trace.c_str());
        std::string commandLine = "\"" + exe + "\" " + arguments;
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        std::string block = environment != nullptr ? *environment : std::string();
        const BOOL started =
            CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0,
                           environment != nullptr ? &block[0] : nullptr, folder.c_str(), &si, &pi_);
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
    // A window of the program holding a control with exactly `text` (a message box).
    HWND WaitForWindowWithText(const char* text, DWORD timeoutMs = kProgramTimeoutMs) const {
        TextSearch search = {pi_.dwProcessId, text, nullptr};
        const DWORD start = GetTickCount();
        do {
            EnumWindows(FindWindowWithText, reinterpret_cast<LPARAM>(&search));
            if (search.found != nullptr) return search.found;
            Pump(50);
        } while (GetTickCount() - start < timeoutMs);
        return nullptr;
    }
    bool WaitForExit(DWORD timeoutMs = kProgramTimeoutMs) const {
        return WaitForSingleObject(pi_.hProcess, timeoutMs) == WAIT_OBJECT_0;
    }
    DWORD Id() const { return pi_.dwProcessId; }

private:
    struct TextSearch {
        DWORD pid;
        const char* text;
        HWND found;
    };
    static BOOL CALLBACK FindWindowWithText(HWND window, LPARAM lParam) {
        auto* search = reinterpret_cast<TextSearch*>(lParam);
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        if (pid != search->pid || FindChildWithText(window, search->text) == nullptr) return TRUE;
        search->found = window;
        return FALSE;
    }

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

// Where a session's touches come from: the panel (`touch` lines), or a touch screen
// of another maker without a panel (`input` lines, through its layout).
enum class Device { kPanel, kScreen };

const char* DeviceName(Device device) { return device == Device::kPanel ? "panel" : "screen"; }

constexpr uint16_t kScreenVendor = 0x1234;
constexpr uint16_t kScreenProduct = 0x5678;

void AppendWord(std::vector<uint8_t>& bytes, int value) {
    bytes.push_back(static_cast<uint8_t>(value & 0xFF));
    bytes.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

// A touch screen's report descriptor, written for these tests from the HID usage
// tables: report 1 holds two Finger collections (Tip Switch and 7 bits of padding,
// Contact Identifier 0..127, X 0..maxX and Y 0..maxY in 16 bits each) and a Contact
// Count byte; report 2 the Contact Count Maximum; a Device Configuration collection
// the Device Mode in report 3.
std::vector<uint8_t> ScreenDescriptor(int maxX, int maxY) {
    std::vector<uint8_t> d = {0x05, 0x0D, 0x09, 0x04, 0xA1, 0x01, 0x85, 0x01};
    for (int finger = 0; finger < 2; ++finger) {
        const std::vector<uint8_t> head = {0x09, 0x22, 0xA1, 0x02, 0x09, 0x42, 0x15, 0x00, 0x25,
                                           0x01, 0x75, 0x01, 0x95, 0x01, 0x81, 0x02, 0x75, 0x07,
                                           0x81, 0x03, 0x09, 0x51, 0x75, 0x08, 0x25, 0x7F, 0x81,
                                           0x02, 0x05, 0x01, 0x75, 0x10, 0x09, 0x30, 0x26};
        d.insert(d.end(), head.begin(), head.end());
        AppendWord(d, maxX);
        d.insert(d.end(), {0x81, 0x02, 0x09, 0x31, 0x26});
        AppendWord(d, maxY);
        d.insert(d.end(), {0x81, 0x02, 0x05, 0x0D, 0xC0});
    }
    const std::vector<uint8_t> tail = {0x09, 0x54, 0x75, 0x08, 0x25, 0x02, 0x81, 0x02, 0x85, 0x02,
                                       0x09, 0x55, 0xB1, 0x02, 0xC0, 0x09, 0x0E, 0xA1, 0x01, 0x85,
                                       0x03, 0x09, 0x52, 0x25, 0x0A, 0xB1, 0x02, 0xC0};
    d.insert(d.end(), tail.begin(), tail.end());
    return d;
}

// The feature report that sets that screen's Device Mode to multi-input (2).
const std::vector<uint8_t> kScreenDeviceMode = {0x03, 0x02};

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string text;
    char byte[4];
    for (uint8_t b : bytes) {
        std::snprintf(byte, sizeof byte, " %02X", b);
        text += byte;
    }
    return text;
}

// The start of a trace: the panel's range (raw units), and for the screen its ids
// and its descriptor with the same range, so that its raw units are the panel's.
std::string TraceHeader(Device device, int maxX = 4095, int maxY = 4095) {
    char line[64];
    std::snprintf(line, sizeof line, "panel %d %d\n", maxX, maxY);
    std::string header = line;
    if (device == Device::kScreen) {
        std::snprintf(line, sizeof line, "ids 0x%04X 0x%04X\n", kScreenVendor, kScreenProduct);
        header += line;
        header += "descriptor" + Hex(ScreenDescriptor(maxX, maxY)) + "\n";
    }
    return header;
}

struct Finger {
    bool touching;
    int id;
    int x, y;
};

// One input report of the screen at `tick`: the fingers in its slots, Contact Count
// the number of them.
std::string ScreenInput(int tick, std::initializer_list<Finger> fingers) {
    std::vector<uint8_t> report = {0x01};
    for (const Finger& f : fingers) {
        report.push_back(f.touching ? 1 : 0);
        report.push_back(static_cast<uint8_t>(f.id));
        AppendWord(report, f.x);
        AppendWord(report, f.y);
    }
    report.resize(13, 0);
    report.push_back(static_cast<uint8_t>(fingers.size()));
    return "at " + std::to_string(tick) + " input" + Hex(report) + "\n";
}

// One finger touching at raw (x, y), or lifted there.
std::string Touch(Device device, int tick, int x, int y) {
    if (device == Device::kScreen) return ScreenInput(tick, {{true, 0, x, y}});
    char line[64];
    std::snprintf(line, sizeof line, "at %d touch %d,%d -\n", tick, x, y);
    return line;
}
std::string Lift(Device device, int tick, int x, int y) {
    if (device == Device::kScreen) return ScreenInput(tick, {{false, 0, x, y}});
    return "at " + std::to_string(tick) + " touch - -\n";
}

// One touch per target: down, a move on the same spot (so that the mean does not
// depend on which moves the library's 100 ms spacing keeps) and the lift.
std::string Touches(const std::vector<Raw>& points, int firstTick, int spacing = 250,
                    Device device = Device::kPanel) {
    std::string trace;
    for (size_t i = 0; i < points.size(); ++i) {
        const int t = firstTick + spacing * static_cast<int>(i);
        trace += Touch(device, t, points[i].x, points[i].y) +
                 Touch(device, t + 40, points[i].x, points[i].y) +
                 Lift(device, t + 80, points[i].x, points[i].y);
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
    // Starts Calibrate.exe with a trace of `text` from `device` and waits for its
    // first target.
    HWND Start(Program& program, const std::string& text, Device device = Device::kPanel) {
        WriteText(File("session.trace"), TraceHeader(device) + text);
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

// The limits the library derives from kGoodTargets.
CalibrationLimits GoodTargetsLimits() {
    CalibrationPoint points[5];
    for (int i = 0; i < 5; ++i) points[i] = {kGoodTargets[i].x, kGoodTargets[i].y, 0};
    return LimitsFromPoints(points);
}

// The raw position that lands in the middle of "Accept" on a check screen of w x h
// with these limits.
Raw AcceptPosition(const CalibrationLimits& limits, int w, int h) {
    const CheckScreenLayout layout = LayOutCheckScreen(w, h);
    const int px = (layout.accept.left + layout.accept.right) / 2;
    const int py = (layout.accept.top + layout.accept.bottom) / 2;
    return {limits.minX + px * limits.xRange / w, limits.minY + py * limits.yRange / h};
}

// The keys of a file the library wrote for kGoodTargets, in order.
void ExpectLibrarysFile(const std::string& text, const CalibrationLimits& limits) {
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
}

// The five targets, then a touch on "Accept" mapped through the new limits: the
// file holds the fourteen keys with the limits the library's arithmetic gives. The
// same with a touch screen of another maker and no panel: its positions reach the
// capture in the panel's range, so the same touches give the same file.
TEST_F(CalibrateProgram, FiveTargetsAndAcceptByTouchWriteTheLibrarysFile) {
    const CalibrationLimits limits = GoodTargetsLimits();
    const Raw accept =
        AcceptPosition(limits, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    for (const Device device : {Device::kPanel, Device::kScreen}) {
        SCOPED_TRACE(DeviceName(device));
        DeleteFileA(File("Calibrate.ini").c_str());
        Program program;
        HWND window = Start(program,
                            Touches(kGoodTargets, 800, 250, device) +
                                Touch(device, 2600, accept.x, accept.y) +
                                Lift(device, 2650, accept.x, accept.y),
                            device);
        ASSERT_NE(window, nullptr);
        EXPECT_NE(program.WaitForWindow("Calibration: check"), nullptr);
        ASSERT_TRUE(program.WaitForExit()) << "the touch on \"Accept\" ends the program";
        ExpectLibrarysFile(ReadFileText(File("Calibrate.ini")), limits);
        EXPECT_FALSE(WorkFolderRemains(program));
    }
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
// the touch switch's section, which stays. The same with a touch screen of another
// maker and no panel. Needs two monitors (TACTRA_WINE_SCREENS=2).
TEST_F(CalibrateProgram, TheMonitorTouchedWhileAskedIsCalibratedAndStored) {
    MONITORINFOEXA second = {};
    if (!SecondMonitor(second)) GTEST_SKIP() << "one monitor only: run with TACTRA_WINE_SCREENS=2";
    const RECT& m = second.rcMonitor;
    const int w = m.right - m.left, h = m.bottom - m.top;
    const CalibrationLimits limits = GoodTargetsLimits();
    const Raw accept = AcceptPosition(limits, w, h);
    for (const Device device : {Device::kPanel, Device::kScreen}) {
        SCOPED_TRACE(DeviceName(device));
        // 5.5 s: the primary screen has been asked for 4 s, the second is asked now.
        // The targets come later: without a window manager, Wine takes 2 s to close
        // each window of the question.
        WriteText(File("Calibrate.ini"), "[Touch]\r\nTouchEnabled=0\r\n");
        WriteText(File("session.trace"), TraceHeader(device) +
                                             Touches({{2000, 2000}}, 5500, 250, device) +
                                             Touches(kGoodTargets, 11000, 250, device) +
                                             Touch(device, 13800, accept.x, accept.y) +
                                             Lift(device, 13850, accept.x, accept.y));

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

// The list as Test.exe shows it, newest first: `lines` lines within a few seconds.
std::vector<std::string> ListedMessages(HWND window, int lines) {
    HWND list = GetDlgItem(window, 102);
    for (int i = 0; i < 100 && SendMessageA(list, LB_GETCOUNT, 0, 0) < lines; ++i) Pump(50);
    std::vector<std::string> listed;
    const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        // Across processes Wine hands list box texts over reliably only as wide text.
        wchar_t wide[256] = {};
        SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(wide));
        listed.emplace_back(wide, wide + wcslen(wide));
    }
    return listed;
}

// The messages of the panel, read straight from lParam and as a ported client reads
// them; the two contacts of a touch screen of another maker without a panel, which
// the status line names as a touch screen with its ids; and the note without any.
TEST(TestProgram, ListsTheReplayedMessagesAndTellsWhenNoDeviceIsConnected) {
    const std::string folder = TactraProcess::MakeEmptyFolder("touchtest");
    ASSERT_TRUE(CopyInto(TACTRA_TOUCHTEST_PATH, folder));
    ASSERT_TRUE(CopyInto(TACTRA_TPINPUT_PATH, folder));
    const std::string exe = folder + "\\Test.exe";
    const std::string trace = folder + "\\session.trace";
    // With the panel's range as the screen's, raw units are pixels.
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    struct Row {
        Device device;
        const char* arguments;
        std::string touches;
        std::string status;  // the start of the status line
        std::vector<std::string> listed;
    };
    const std::vector<Row> rows = {
        {Device::kPanel,
         "",
         "at 800 touch 512,384 -\nat 900 touch 600,400 -\nat 1000 touch - -\n",
         "Panel: vendor 0x0EEF, product 0x0000, version 0x0000. Touch the screen",
         {"WM_TOUCH n=1   [0] 0x1C up (60000, 40000)",
          "WM_TOUCH n=1   [0] 0x19 move (60000, 40000)",
          "WM_TOUCH n=1   [0] 0x1A down (51200, 38400)"}},
        {Device::kPanel,
         "--info",
         "at 800 touch 512,384 -\nat 900 touch 600,400 -\nat 1000 touch - -\n",
         "Panel: vendor 0x0EEF, product 0x0000, version 0x0000, read with GetTouchInputInfo.",
         {"WM_TOUCH n=1   [0] 0x1C up (60000, 40000)",
          "WM_TOUCH n=1   [0] 0x19 move (60000, 40000)",
          "WM_TOUCH n=1   [0] 0x1A down (51200, 38400)"}},
        {Device::kScreen,
         "",
         ScreenInput(800, {{true, 0, 512, 384}}) +
             ScreenInput(840, {{true, 0, 520, 384}, {true, 1, 600, 400}}) +
             ScreenInput(880, {{false, 0, 520, 384}, {false, 1, 600, 400}}),
         "Touch screen: vendor 0x1234, product 0x5678, version 0x0000. Touch the screen",
         {"WM_TOUCH n=2   [0] 0x1C up (52000, 38400)   [1] 0x0C up (60000, 40000)",
          "WM_TOUCH n=2   [0] 0x19 move (52000, 38400)   [1] 0x0A down (60000, 40000)",
          "WM_TOUCH n=1   [0] 0x1A down (51200, 38400)"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(DeviceName(row.device)) + " " + row.arguments);
        WriteText(trace, TraceHeader(row.device, w, h) + row.touches);
        Program program;
        ASSERT_TRUE(program.Start(exe, folder, trace, row.arguments));
        HWND window = program.WaitForWindow("Touch Test");
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(ListedMessages(window, 3), row.listed);
        const std::string status = WindowText(GetDlgItem(window, 100));
        EXPECT_EQ(status.compare(0, row.status.size(), row.status), 0) << status;
        PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
        EXPECT_TRUE(program.WaitForExit());
    }

    Program alone;
    ASSERT_TRUE(alone.Start(exe, folder, ""));
    HWND window = alone.WaitForWindow("Touch Test");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(WindowText(GetDlgItem(window, 100)),
              "No touch device is connected. Connect a touch panel or touch screen and start the "
              "test again.");
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(alone.WaitForExit());
}

// ---------------------------------------------------------------- the real HID path

// Calibrate.exe and Test.exe beside tpinput.dll and the simulator's hid.dll and
// setupapi.dll, which the library loads before the system's: the devices are those
// the test describes and serves (tests/simulator). The library takes a touch
// screen's reports as raw input, which the simulator cannot give; what is seen here
// is which device the programs find, open and name.
class SimulatedDevices : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = TactraProcess::MakeEmptyFolder("clients-hid");
        for (const char* path :
             {TACTRA_CALIBRATE_PATH, TACTRA_TOUCHTEST_PATH, TACTRA_TPINPUT_PATH,
              TACTRA_SIMULATOR_DIR "/hid.dll", TACTRA_SIMULATOR_DIR "/setupapi.dll"}) {
            ASSERT_TRUE(CopyInto(path, folder_)) << path;
        }
        deviceList_ = folder_ + "\\simulated-hid.txt";
        // Wine gives a started program the DLL overrides of this process, whatever its
        // environment block says: the ctest entry sets them.
        char overrides[256] = {};
        GetEnvironmentVariableA("WINEDLLOVERRIDES", overrides, sizeof overrides);
        ASSERT_NE(std::strstr(overrides, "setupapi"), nullptr)
            << "run through ctest: its entry lets the programs load the simulator's DLLs";
    }
    // Describes the devices, in enumeration order, and serves each of them.
    void Attach(const std::vector<sim::SimulatedDevice>& devices) {
        feeders_.clear();
        ASSERT_TRUE(sim::WriteDeviceList(deviceList_, devices));
        for (const sim::SimulatedDevice& d : devices) {
            feeders_.push_back(std::make_unique<sim::PanelFeeder>(d.path));
            ASSERT_TRUE(feeders_.back()->Plug()) << d.path;
        }
    }
    bool Start(Program& program, const char* exe) const {
        const std::string environment = sim::SimulatorEnvironment(deviceList_);
        return program.Start(folder_ + "\\" + exe, folder_, "", "", &environment);
    }
    // A pipe name no other run uses.
    static std::string PipePath(const char* name) {
        char path[160];
        std::snprintf(path, sizeof path, "\\\\.\\pipe\\tactra-clients-%lu-%lu-%s",
                      GetCurrentProcessId(), GetTickCount(), name);
        return path;
    }
    static sim::SimulatedDevice Screen(const char* name, uint16_t product) {
        sim::SimulatedDevice d;
        d.path = PipePath(name);
        d.vendorId = kScreenVendor;
        d.productId = product;
        d.versionNumber = 0x0200;
        d.outputReportLength = 0;
        d.valueCapsLogicalMax.clear();
        d.descriptor = ScreenDescriptor(4095, 4095);
        return d;
    }
    static sim::SimulatedDevice Panel() {
        sim::SimulatedDevice d;  // the defaults describe the panel
        d.path = PipePath("panel");
        return d;
    }
    // Whether the program wrote the screen's Device Mode, as registration does to
    // the screen it opens.
    bool ModeSet(size_t device, DWORD timeoutMs) {
        std::vector<uint8_t> written;
        return feeders_.at(device)->NextWrite(written, timeoutMs) && written == kScreenDeviceMode;
    }

    std::string folder_;
    std::string deviceList_;
    std::vector<std::unique_ptr<sim::PanelFeeder>> feeders_;
};

// Test.exe names the device registration opened: a screen alone, as a touch screen;
// of two screens the first, although the counting found the second last (registration
// reads both, each in multi-input mode); the panel before a screen enumerated ahead of
// it; and the note when nothing is attached.
TEST_F(SimulatedDevices, TestNamesTheDeviceTheLibraryOpens) {
    struct Row {
        const char* what;
        std::vector<sim::SimulatedDevice> devices;
        std::string status;
        std::vector<int> modeSetOn;  // the devices whose Device Mode is written
    };
    const std::string touch =
        ". Touch the screen with one or two fingers; Escape or \"Close\" "
        "ends the test.";
    const std::vector<Row> rows = {
        {"a screen",
         {Screen("screen", 0x5678)},
         "Touch screen: vendor 0x1234, product 0x5678, version 0x0200" + touch,
         {0}},
        {"two screens",
         {Screen("first", 0x0001), Screen("second", 0x0002)},
         "Touch screen: vendor 0x1234, product 0x0001, version 0x0200" + touch,
         {0, 1}},
        {"a screen and the panel",
         {Screen("screen", 0x5678), Panel()},
         "Panel: vendor 0x0EEF, product 0x0001, version 0x0100" + touch,
         {0}},
        {"nothing",
         {},
         "No touch device is connected. Connect a touch panel or touch screen and start the test "
         "again.",
         {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Attach(row.devices);
        Program program;
        ASSERT_TRUE(Start(program, "Test.exe"));
        HWND window = program.WaitForWindow("Touch Test");
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(WaitForText(window, 100, row.status, kProgramTimeoutMs))
            << WindowText(GetDlgItem(window, 100));
        for (size_t i = 0; i < row.devices.size(); ++i) {
            if (row.devices[i].descriptor.empty()) continue;
            const bool expected = std::find(row.modeSetOn.begin(), row.modeSetOn.end(),
                                            static_cast<int>(i)) != row.modeSetOn.end();
            EXPECT_EQ(ModeSet(i, expected ? 5000 : 500), expected) << row.devices[i].path;
        }
        PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
        EXPECT_TRUE(program.WaitForExit());
    }
}

// Calibrate.exe calibrates a touch screen when no panel is attached: it opens the
// screen and shows its first target. Without any device it says so and ends.
TEST_F(SimulatedDevices, CalibrateOpensAScreenAloneAndSaysWhenNothingIsConnected) {
    {
        Attach({Screen("screen", 0x5678)});
        Program program;
        ASSERT_TRUE(Start(program, "Calibrate.exe"));
        HWND window = program.WaitForWindow("Calibration: target 1 of 5");
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(ModeSet(0, 5000));
        PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
        EXPECT_TRUE(program.WaitForExit());
    }
    Attach({});
    Program program;
    ASSERT_TRUE(Start(program, "Calibrate.exe"));
    HWND message = program.WaitForWindowWithText(
        "No touch device is connected, so there is nothing to "
        "calibrate.");
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(WindowText(message), "Calibration");
    PostMessageA(message, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(program.WaitForExit());
    EXPECT_FALSE(Exists(folder_ + "\\Calibrate.ini"));
}

// With two devices Calibrate.exe pairs them with the monitors first: each monitor asks
// "Touch this screen" in turn, and Escape passes it by. No device answering on any
// monitor, it says so and ends without writing anything. (The simulated devices give
// no raw input, so no touch answers here.)
TEST_F(SimulatedDevices, CalibratePairsSeveralDevicesWithTheMonitorsFirst) {
    Attach({Screen("first", 0x0001), Screen("second", 0x0002)});
    Program program;
    ASSERT_TRUE(Start(program, "Calibrate.exe"));
    HWND window = program.WaitForWindow("Calibration: pair the touch devices");
    ASSERT_NE(window, nullptr);
    HWND message = nullptr;
    for (int i = 0; i < 4 && message == nullptr; ++i) {
        PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
        message = program.WaitForWindowWithText("No touch device answered on any screen.", 3000);
    }
    ASSERT_NE(message, nullptr);
    PostMessageA(message, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(program.WaitForExit());
    EXPECT_FALSE(Exists(folder_ + "\\Calibrate.ini"));
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
