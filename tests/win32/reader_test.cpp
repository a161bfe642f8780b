// The replay panel source drives the real reading thread: a window receives the
// "WM_TOUCH" batches, the thread ends at the end of the trace, a recorded session
// replays to the same batches, and a bad trace is refused before anything is sent.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "device/hid/reader_win32.h"
#include "tests/support/tactra_process_win32.h"

namespace tactra {
namespace {

struct Batch {
    std::vector<TOUCHINPUT> records;
};

std::vector<Batch>* g_batches = nullptr;
UINT g_touchMessage = 0;
std::vector<LPARAM> g_ended;  // the records of each "TactraReadingEnded"

LRESULT CALLBACK TouchProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == PanelReader::ReadingEndedMessage()) {
        g_ended.push_back(lParam);
        return 0;
    }
    if (msg == g_touchMessage && g_touchMessage != 0) {
        // The records belong to the sender: copy them.
        const auto* records = reinterpret_cast<const TOUCHINPUT*>(lParam);
        Batch batch;
        batch.records.assign(records, records + wParam);
        if (g_batches) g_batches->push_back(batch);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// 1024 x 768 on a panel of 0 .. 4095: raw 2048 is 51212 hundredths of a pixel.
ReaderSetup FixedSetup(const PanelDevice& device) {
    ReaderSetup setup;
    setup.limits.minX = setup.limits.minY = 0;
    setup.limits.maxX = setup.limits.xRange = device.logicalMaxX;
    setup.limits.maxY = setup.limits.yRange = device.logicalMaxY;
    setup.scale = MakeScreenScale(1024, 768);
    return setup;
}

std::string TempPath(const char* name) {
    char dir[MAX_PATH];
    const DWORD n = GetTempPathA(sizeof dir, dir);
    return std::string(dir, n) + name;
}

std::string WriteFile(const char* name, const std::string& text) {
    const std::string path = TempPath(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

const char kSession[] =
    "panel 4095 4095\n"
    "at 0  touch 2048,1536 -\n"          // first finger down
    "at 10 touch 2100,1560 3100,1560\n"  // second finger added
    "at 20 touch - 3100,1600\n"          // first lifts, second moves
    "at 30 touch - -\n"                  // nothing delivered
    "at 40 touch 1000,1000 -\n"          // first down again, second up
    "at 50 touch - -\n";                 // first up alone

class ReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = TouchProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "TactraTouchProbe";
        RegisterClassA(&wc);
        hwnd_ = CreateWindowA("TactraTouchProbe", "probe", WS_OVERLAPPED, 0, 0, 100, 100, nullptr,
                              nullptr, wc.hInstance, nullptr);
        ASSERT_NE(hwnd_, nullptr);
        g_touchMessage = RegisterWindowMessageA("WM_TOUCH");
        g_batches = &batches_;
    }
    void TearDown() override {
        g_batches = nullptr;
        DestroyWindow(hwnd_);
    }

    // Handles messages until the reader's thread has ended (or the time is up).
    bool PumpUntilEnded(PanelReader& reader, DWORD timeoutMs = 5000) {
        const DWORD start = GetTickCount();
        MSG msg;
        while (GetTickCount() - start < timeoutMs) {
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
            if (!reader.Running() && reader.ThreadHandle() == nullptr) return true;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        }
        return false;
    }

    std::vector<Batch> Replay(PanelSource& source) {
        batches_.clear();
        PanelReader reader(source);
        reader.SetSetupHook(FixedSetup);
        EXPECT_EQ(reader.TouchMessage(), g_touchMessage);
        startTick_ = GetTickCount();
        EXPECT_TRUE(reader.StartReading(hwnd_).Ok());
        EXPECT_TRUE(PumpUntilEnded(reader));
        EXPECT_EQ(reader.PanelHandle(), nullptr);
        return batches_;
    }

    HWND hwnd_ = nullptr;
    std::vector<Batch> batches_;
    DWORD startTick_ = 0;
};

std::vector<uint32_t> Flags(const Batch& b) {
    std::vector<uint32_t> flags;
    for (const TOUCHINPUT& r : b.records) flags.push_back(r.dwFlags);
    return flags;
}

TEST_F(ReaderTest, ReplayedSessionArrivesAsBatchesAndEndsTheThread) {
    std::string message;
    auto source = ReplayPanelSource::Load(WriteFile("reader_session.trace", kSession), message);
    ASSERT_TRUE(source) << message;
    const std::vector<Batch> batches = Replay(*source);
    ASSERT_EQ(batches.size(), 5u);
    EXPECT_EQ(Flags(batches[0]), (std::vector<uint32_t>{0x1A}));
    EXPECT_EQ(Flags(batches[1]), (std::vector<uint32_t>{0x19, 0x0A}));
    EXPECT_EQ(Flags(batches[2]), (std::vector<uint32_t>{0x1C, 0x09}));
    EXPECT_EQ(Flags(batches[3]), (std::vector<uint32_t>{0x1A, 0x0C}));
    EXPECT_EQ(Flags(batches[4]), (std::vector<uint32_t>{0x1C}));
    EXPECT_EQ(batches[0].records[0].x, 51212);
    EXPECT_EQ(batches[0].records[0].y, 28807);  // 1536 x 76800 / 4095
    EXPECT_EQ(batches[1].records[1].dwID, 1u);
    EXPECT_NE(batches[0].records[0].hSource, nullptr);
    // The replay paced the reports by their ticks.
    EXPECT_GE(batches[4].records[0].dwTime - startTick_, 50u);
    EXPECT_EQ(source->Remaining(), 0u);

    // The trace is over: like an unplugged panel, it does not open again.
    PanelReader reader(*source);
    EXPECT_EQ(reader.StartReading(hwnd_).Reason(), "the replayed trace is over");
}

TEST_F(ReaderTest, ForeignReportIdEndsTheReadingUntilTheNextStart) {
    std::string message;
    auto source =
        ReplayPanelSource::Load(WriteFile("reader_foreign.trace",
                                          "at 0 touch 100,100 -\n"
                                          "at 5 report 02 01 00 00 00 00 00 00 00 00 00 00 00\n"
                                          "at 6 touch 200,200 -\n"),
                                message);
    ASSERT_TRUE(source) << message;
    std::vector<Batch> batches = Replay(*source);
    ASSERT_EQ(batches.size(), 1u);
    EXPECT_EQ(source->Remaining(), 1u);
    // The next start opens the rest of the trace.
    batches = Replay(*source);
    ASSERT_EQ(batches.size(), 1u);
    EXPECT_EQ(source->Remaining(), 0u);
}

TEST_F(ReaderTest, RecordedSessionReplaysToTheSameBatches) {
    std::string message;
    auto original = ReplayPanelSource::Load(WriteFile("reader_orig.trace", kSession), message);
    ASSERT_TRUE(original) << message;
    const std::string recordedPath = TempPath("reader_recorded.trace");
    std::vector<Batch> first;
    {
        TraceRecorder recorder;
        ASSERT_TRUE(recorder.Open(recordedPath, message)) << message;
        SharedTraceRecorder shared(recorder);
        RecordingPanelSource recording(*original, shared);
        first = Replay(recording);
        EXPECT_TRUE(recorder.Ok());
    }
    auto recorded = ReplayPanelSource::Load(recordedPath, message);
    ASSERT_TRUE(recorded) << message;
    const std::vector<Batch> second = Replay(*recorded);
    ASSERT_EQ(first.size(), 5u);
    ASSERT_EQ(second.size(), first.size());
    for (size_t i = 0; i < first.size(); ++i) {
        ASSERT_EQ(second[i].records.size(), first[i].records.size()) << "batch " << i;
        for (size_t j = 0; j < first[i].records.size(); ++j) {
            const TOUCHINPUT& a = first[i].records[j];
            const TOUCHINPUT& b = second[i].records[j];
            EXPECT_EQ(a.x, b.x);
            EXPECT_EQ(a.y, b.y);
            EXPECT_EQ(a.dwID, b.dwID);
            EXPECT_EQ(a.dwFlags, b.dwFlags);
        }
    }
    std::remove(recordedPath.c_str());
}

// A touch screen's trace goes through its layout (a screen without report IDs, one
// contact per report): its frames arrive as the panel's would, a contact silent for
// 100 ms is lifted, and a recording writes the screen's ids, layout and reports as
// the screen sent them, which replay to the same batches.
TEST_F(ReaderTest, ScreenTraceReplaysThroughItsLayoutAndRecordsAsSent) {
    const char kScreen[] =
        "ids 0x1234 0x5678\n"
        "layout id=0 bytes=6 finger tip=0:1:0:1 cid=8:8:0:255 x=16:16:0:4095 y=32:16:0:4095\n"
        "at 0   input 01 05 00 08 00 06\n"   // contact 5 down at 2048,1536
        "at 10  input 01 05 10 08 00 06\n"   // it moves, then falls silent
        "at 400 input 00 07 00 00 00 00\n";  // nothing touching
    std::string message;
    auto source = ReplayPanelSource::Load(WriteFile("reader_screen.trace", kScreen), message);
    ASSERT_TRUE(source) << message;
    const std::string recordedPath = TempPath("reader_screen_recorded.trace");
    std::vector<Batch> first;
    {
        TraceRecorder recorder;
        ASSERT_TRUE(recorder.Open(recordedPath, message)) << message;
        SharedTraceRecorder shared(recorder);
        RecordingPanelSource recording(*source, shared);
        first = Replay(recording);
    }
    ASSERT_EQ(first.size(), 3u);
    EXPECT_EQ(Flags(first[0]), (std::vector<uint32_t>{0x1A}));
    EXPECT_EQ(Flags(first[1]), (std::vector<uint32_t>{0x19}));
    EXPECT_EQ(Flags(first[2]), (std::vector<uint32_t>{0x1C})) << "lifted after the silence";
    EXPECT_EQ(first[0].records[0].x, 51212);
    EXPECT_GE(first[2].records[0].dwTime - first[1].records[0].dwTime, 100u);
    EXPECT_LT(first[2].records[0].dwTime - startTick_, 400u);

    std::ifstream in(recordedPath, std::ios::binary);
    const std::string recorded((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    in.close();
    EXPECT_NE(recorded.find("ids 0x1234 0x5678"), std::string::npos) << recorded;
    EXPECT_NE(recorded.find("layout id=0 bytes=6 "), std::string::npos) << recorded;
    EXPECT_NE(recorded.find("input 01 05 00 08 00 06\n"), std::string::npos) << recorded;
    auto again = ReplayPanelSource::Load(recordedPath, message);
    ASSERT_TRUE(again) << message;
    const std::vector<Batch> second = Replay(*again);
    ASSERT_EQ(second.size(), first.size());
    for (size_t i = 0; i < first.size(); ++i) EXPECT_EQ(Flags(second[i]), Flags(first[i]));
    std::remove(recordedPath.c_str());
}

TEST_F(ReaderTest, MalformedTraceIsRefusedBeforeAnythingIsSent) {
    const std::string path = WriteFile("reader_bad.trace",
                                       "panel 4095 4095\n"
                                       "at 0 touch 100,100 -\n"
                                       "at 5 report 01 02 zz\n");
    std::string message;
    auto source = ReplayPanelSource::Load(path, message);
    EXPECT_FALSE(source);
    EXPECT_EQ(message, path + ":3: bad report byte 'zz' (two hex digits each)");
    EXPECT_TRUE(batches_.empty());
}

TEST_F(ReaderTest, RestartsOfARunningThreadLeakNoHandles) {
    std::string message;
    auto source = ReplayPanelSource::Load(
        WriteFile("reader_wait.trace", "at 600000 touch 100,100 -\n"), message);
    ASSERT_TRUE(source) << message;
    PanelReader reader(*source);
    reader.SetSetupHook(FixedSetup);
    struct : RestartTimer {
        void Kill() override {}
        void Set(uint32_t) override { armed = true; }
        bool armed = false;
    } timer;
    reader.Restart(timer, hwnd_);
    ASSERT_TRUE(reader.Running());
    const int before = testing::ProcessHandleCount();
    for (int i = 0; i < 100; ++i) {
        reader.Restart(timer, hwnd_);
        ASSERT_TRUE(reader.Running());
    }
    EXPECT_EQ(testing::ProcessHandleCount(), before);
    EXPECT_FALSE(timer.armed);
    reader.Stop();
    EXPECT_FALSE(reader.Running());
    EXPECT_EQ(reader.ThreadHandle(), nullptr);
    EXPECT_EQ(reader.PanelHandle(), nullptr);
    EXPECT_TRUE(batches_.empty());
}

TEST_F(ReaderTest, DefaultSetupMapsThroughCalibrateIniInTheCurrentDirectory) {
    char previous[MAX_PATH];
    GetCurrentDirectoryA(sizeof previous, previous);
    const std::string dir = TempPath("tactra_reader_cwd");
    CreateDirectoryA(dir.c_str(), nullptr);
    ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str()));
    {
        std::ofstream ini("Calibrate.ini", std::ios::binary);
        ini << "[Config]\r\nMinX=1000\r\nMaxX=3000\r\nMinY=0\r\nMaxY=4000\r\n";
    }
    std::string message;
    auto source = ReplayPanelSource::Load(
        WriteFile("reader_calibrated.trace", "panel 4095 4095\nat 0 touch 2000,1000 -\n"), message);
    ASSERT_TRUE(source) << message;
    PanelReader reader(*source);
    ASSERT_TRUE(reader.StartReading(hwnd_).Ok());
    EXPECT_TRUE(PumpUntilEnded(reader));
    DeleteFileA("Calibrate.ini");
    SetCurrentDirectoryA(previous);
    RemoveDirectoryA(dir.c_str());

    DEVMODEA mode = {};
    mode.dmSize = sizeof mode;
    ASSERT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode));
    ASSERT_EQ(batches_.size(), 1u);
    EXPECT_EQ(batches_[0].records[0].x, MapAxis(1000, 0, 2000, mode.dmPelsWidth * 100.0f));
    EXPECT_EQ(batches_[0].records[0].x, static_cast<int32_t>(mode.dmPelsWidth * 50));
    EXPECT_EQ(batches_[0].records[0].y, static_cast<int32_t>(mode.dmPelsHeight * 25));
}

TEST_F(ReaderTest, PanelWithReportsTooShortForBothContactsIsRefused) {
    // A source whose panel reads 12-byte reports, one short of both contacts.
    struct ShortPanel : PanelSource {
        Result Open(PanelDevice& device) override {
            ++opens;
            device.handle = CreateEventA(nullptr, TRUE, FALSE, nullptr);
            device.openFlag = true;
            device.inputReportLength = 12;
            return Result::Success();
        }
        Result Read(const PanelDevice&, uint8_t*) override {
            ++reads;
            return Result::Failure("unplugged");
        }
        int opens = 0;
        int reads = 0;
    } source;
    PanelReader reader(source);
    reader.SetSetupHook(FixedSetup);
    const int before = testing::ProcessHandleCount();
    EXPECT_EQ(reader.StartReading(hwnd_).Reason(),
              "the panel's reports (12 bytes) are shorter than 13 bytes");
    EXPECT_EQ(testing::ProcessHandleCount(), before) << "the refused panel's handle is closed";
    EXPECT_EQ(source.opens, 1);
    EXPECT_EQ(source.reads, 0);
    EXPECT_FALSE(reader.Running());
    EXPECT_EQ(reader.ThreadHandle(), nullptr);
    EXPECT_EQ(reader.PanelHandle(), nullptr);

    // A trace cannot even describe such a panel.
    std::string message;
    EXPECT_FALSE(ReplayPanelSource::Load(
        WriteFile("reader_short.trace", "at 0 report 01 01 00 10 00 10 00\n"), message));
}

TEST_F(ReaderTest, NoWindowEndsTheThreadAtOnce) {
    std::string message;
    auto source = ReplayPanelSource::Load(WriteFile("reader_nowin.trace", kSession), message);
    ASSERT_TRUE(source) << message;
    PanelReader reader(*source);
    EXPECT_TRUE(reader.StartReading(nullptr).Ok());
    EXPECT_TRUE(PumpUntilEnded(reader));
    EXPECT_EQ(reader.PanelHandle(), nullptr);
    EXPECT_EQ(source->Remaining(), 6u);
}

// Two devices' readings recorded into one trace: the first device's lines stay as a
// one-device recording has them until the second writes; the trace then replays as
// two devices with their own paths and reports. Each reading that ends by itself
// tells the window, with its records, so that its engine lets go.
TEST_F(ReaderTest, TwoDevicesRecordIntoOneTraceThatReplaysAsTwo) {
    const std::string trace =
        WriteFile("reader_two.trace",
                  "device a \"\\\\\\\\?\\\\hid#vid_0eef&pid_0001#7&1&0&1#x\"\n"
                  "at 0  touch 100,100 -\n"
                  "at 10 touch - -\n"
                  "device b \"\\\\\\\\?\\\\hid#vid_0eef&pid_0001#7&1&0&2#x\"\n"
                  "at 10 touch 200,200 -\n"
                  "at 20 touch 210,200 -\n"
                  "at 30 touch - -\n");
    std::vector<ReplayScript> scripts;
    std::string message;
    ASSERT_TRUE(LoadReplayScripts(trace, scripts, message)) << message;
    ASSERT_EQ(scripts.size(), 2u);
    ReplayPanelSource a(scripts[0]), b(scripts[1]);
    const std::string recordedPath = TempPath("reader_two_recorded.trace");
    g_ended.clear();
    {
        TraceRecorder recorder;
        ASSERT_TRUE(recorder.Open(recordedPath, message)) << message;
        SharedTraceRecorder shared(recorder);
        RecordingPanelSource recordA(a, shared), recordB(b, shared);
        EXPECT_EQ(Replay(recordA).size(), 2u);
        EXPECT_EQ(Replay(recordB).size(), 3u);
    }
    EXPECT_EQ(g_ended.size(), 2u) << "each trace's end is its device vanishing";
    std::ifstream in(recordedPath, std::ios::binary);
    const std::string recorded((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    in.close();
    EXPECT_EQ(recorded.find("device"), recorded.find("device d1 ")) << recorded;
    EXPECT_LT(recorded.find("report"), recorded.find("device d1 ")) << "a's lines come first";
    std::vector<ReplayScript> replayed;
    ASSERT_TRUE(LoadReplayScripts(recordedPath, replayed, message)) << message << recorded;
    ASSERT_EQ(replayed.size(), 2u);
    EXPECT_EQ(replayed[0].path, scripts[0].path);
    EXPECT_EQ(replayed[1].path, scripts[1].path);
    EXPECT_EQ(replayed[0].reports.size(), 2u);
    EXPECT_EQ(replayed[1].reports.size(), 3u);
    std::remove(recordedPath.c_str());
}

}  // namespace
}  // namespace tactra
