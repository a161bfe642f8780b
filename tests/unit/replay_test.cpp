// The replay script taken from a trace, the refusal of bad traces with file and
// line, and the recorder's output read back as a replay script.
#include "device/trace/replay.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "tpinput/library_replay.h"

namespace tactra {
namespace {

std::string WriteTemp(const std::string& name, const std::string& text) {
    std::ofstream out(name, std::ios::binary);
    out << text;
    return name;
}

TEST(ReplayScriptTest, ReportsCarryTheirTickAndThePanelInForce) {
    const std::string text =
        "display 800 600 0\n"
        "at 5 touch 10,20 -\n"
        "panel 1000 2000\n"
        "foreground \"a.exe\" \"A\"\n"
        "at 7 report 01 00 00 00 00 00 00 00 00 00 00 00 00 AA BB\n";
    std::vector<TraceStep> steps;
    TraceError error;
    ASSERT_TRUE(ParseTrace(text, TraceOptions(), steps, error)) << error.reason;
    ReplayScript script;
    ASSERT_TRUE(BuildReplayScript(steps, script, error));
    ASSERT_EQ(script.reports.size(), 2u);
    EXPECT_EQ(script.reports[0].tick, 5u);
    EXPECT_EQ(script.reports[0].logicalMaxX, kDefaultTraceLogicalMax);
    EXPECT_EQ(script.reports[0].bytes.size(), 13u);
    EXPECT_EQ(script.reports[0].bytes[3], 10);
    EXPECT_EQ(script.reports[1].tick, 7u);
    EXPECT_EQ(script.reports[1].line, 5);
    EXPECT_EQ(script.reports[1].logicalMaxX, 1000);
    EXPECT_EQ(script.reports[1].logicalMaxY, 2000);
    // Reads deliver the longest report's length.
    EXPECT_EQ(script.inputReportLength, 15);
}

TEST(ReplayScriptTest, BadFileRefusedWithNameLineAndReason) {
    const std::string path = WriteTemp("replay_test_bad.trace",
                                       "panel 4095 4095\n"
                                       "at 0 touch 1,1 -\n"
                                       "at 5 touch 1;1 -\n");
    ReplayScript script;
    std::string message;
    EXPECT_FALSE(LoadReplayScript(path, script, message));
    EXPECT_EQ(message, path + ":3: a contact is X,Y or - (got '1;1')");
    EXPECT_TRUE(script.reports.empty());
    std::remove(path.c_str());

    EXPECT_FALSE(LoadReplayScript("replay_test_missing.trace", script, message));
    EXPECT_EQ(message, "replay_test_missing.trace:0: cannot read the file");

    // A touch screen's trace replays through its layout; mixed with panel reports, or
    // with a screen that changes after its first report, it is refused at that line.
    const std::string screen =
        WriteTemp("replay_test_screen.trace",
                  "layout id=0 bytes=4 finger x=0:16:0:9 y=16:16:0:9\nat 5 input 01 00 02 00\n");
    ASSERT_TRUE(LoadReplayScript(screen, script, message)) << message;
    EXPECT_TRUE(script.screen);
    EXPECT_EQ(script.layout.inputReportLength, 4);
    ASSERT_EQ(script.reports.size(), 1u);
    EXPECT_EQ(script.reports[0].bytes, (std::vector<uint8_t>{0, 1, 0, 2, 0}))
        << "as the system delivers it: a 0 ID byte first";
    EXPECT_EQ(script.inputReportLength, 5);
    WriteTemp(screen,
              "layout id=0 bytes=4 finger x=0:16:0:9 y=16:16:0:9\nat 5 input 01 00 02 00\n"
              "at 9 touch 1,1 -\n");
    EXPECT_FALSE(LoadReplayScript(screen, script, message));
    EXPECT_EQ(message, screen + ":3: a trace with a screen's 'input' and panel reports");
    WriteTemp(screen,
              "layout id=0 bytes=4 finger x=0:16:0:9 y=16:16:0:9\nat 5 input 01 00 02 00\n"
              "ids 1 2\n");
    EXPECT_FALSE(LoadReplayScript(screen, script, message));
    EXPECT_EQ(message, screen + ":3: the touch screen changes after its first 'input' report");
    std::remove(screen.c_str());
}

TEST(TraceRecorderTest, RecordedReportsReplayAsRead) {
    const std::string path = "replay_test_recorded.trace";
    const std::vector<uint8_t> a = MakeTouchReport(true, 100, 200, false, 0, 0);
    const std::vector<uint8_t> b = MakeTouchReport(true, 110, 210, true, 3000, 65535);
    {
        TraceRecorder recorder;
        std::string message;
        ASSERT_TRUE(recorder.Open(path, message)) << message;
        // The system tick count wraps between the two reports.
        recorder.Panel(0xFFFFFFF0u, 4000, 3000);
        recorder.Report(0xFFFFFFF5u, a.data(), a.size());
        recorder.Report(0x00000010u, b.data(), b.size());
        EXPECT_TRUE(recorder.Ok());
    }
    ReplayScript script;
    std::string message;
    ASSERT_TRUE(LoadReplayScript(path, script, message)) << message;
    ASSERT_EQ(script.reports.size(), 2u);
    EXPECT_EQ(script.reports[0].tick, 5u);
    EXPECT_EQ(script.reports[1].tick, 0x20u);
    EXPECT_EQ(script.reports[0].bytes, a);
    EXPECT_EQ(script.reports[1].bytes, b);
    EXPECT_EQ(script.reports[1].logicalMaxX, 4000);
    EXPECT_EQ(script.reports[1].logicalMaxY, 3000);
    std::remove(path.c_str());
}

TEST(TraceRecorderTest, AnyDeclaredMaximaReplay) {
    // Maxima as a panel may declare them: 0, and a 16-bit maximum read back signed.
    const std::string path = "replay_test_maxima.trace";
    const std::vector<uint8_t> a = MakeTouchReport(true, 100, 200, false, 0, 0);
    {
        TraceRecorder recorder;
        std::string message;
        ASSERT_TRUE(recorder.Open(path, message)) << message;
        recorder.Panel(0, 0, -1);
        recorder.Report(1, a.data(), a.size());
        recorder.Panel(2, -2147483647 - 1, 2147483647);
        recorder.Report(3, a.data(), a.size());
    }
    ReplayScript script;
    std::string message;
    ASSERT_TRUE(LoadReplayScript(path, script, message)) << message;
    ASSERT_EQ(script.reports.size(), 2u);
    EXPECT_EQ(script.reports[0].logicalMaxX, 0);
    EXPECT_EQ(script.reports[0].logicalMaxY, -1);
    EXPECT_EQ(script.reports[1].logicalMaxX, -2147483647 - 1);
    EXPECT_EQ(script.reports[1].logicalMaxY, 2147483647);
    std::remove(path.c_str());
}

TEST(TraceRecorderTest, UnwritableFileNamedInTheMessage) {
    TraceRecorder recorder;
    std::string message;
    EXPECT_FALSE(recorder.Open("no_such_dir_replay_test/out.trace", message));
    EXPECT_EQ(message.rfind("no_such_dir_replay_test/out.trace: cannot write the file", 0), 0u)
        << message;
    EXPECT_FALSE(recorder.IsOpen());
}

// The library's replay source takes a trace in the library's format: its client
// directives are passed over, its reports come due at their ticks from the start.
TEST(LibraryReplayTest, ReportsComeDueAtTheirTicksOnceEach) {
    const std::string path = WriteTemp("replay_test_library.trace",
                                       "register 99\n"
                                       "calibrate start\n"
                                       "panel 1000 2000\n"
                                       "at 0 touch 10,20 -\n"
                                       "at 0 calibrate 2 1\n"
                                       "at 40 touch 11,21 -\n"
                                       "panel 5 5\n"
                                       "at 100 touch - -\n"
                                       "at 100 calibrate finish\n");
    LibraryReplay replay;
    std::string message;
    ASSERT_TRUE(replay.Load(path, message)) << message;
    std::remove(path.c_str());
    EXPECT_EQ(replay.LogicalMaxX(), 1000);
    EXPECT_EQ(replay.LogicalMaxY(), 2000);

    uint32_t delay = 0;
    EXPECT_EQ(replay.TakeDue(0), nullptr) << "nothing before the start";
    EXPECT_FALSE(replay.NextDelay(0, delay));
    const uint32_t start = UINT32_MAX - 20;  // the tick counter wraps during the trace
    replay.Start(start);
    replay.Start(start + 30);  // a later registration keeps the clock
    ASSERT_TRUE(replay.NextDelay(start, delay));
    EXPECT_EQ(delay, 0u);
    const ReplayReport* first = replay.TakeDue(start);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->bytes[3], 10);
    EXPECT_EQ(replay.TakeDue(start + 39), nullptr);
    ASSERT_TRUE(replay.NextDelay(start + 15, delay));
    EXPECT_EQ(delay, 25u);
    // Late: both reports that are due come one after the other.
    ASSERT_NE(replay.TakeDue(start + 150), nullptr);
    const ReplayReport* last = replay.TakeDue(start + 150);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->tick, 100u);
    EXPECT_EQ(replay.TakeDue(start + 150), nullptr);
    EXPECT_FALSE(replay.NextDelay(start + 150, delay));
}

TEST(LibraryReplayTest, BadTracesAreRefusedWithTheirLine) {
    LibraryReplay replay;
    std::string message;
    const std::string path =
        WriteTemp("replay_test_library_bad.trace", "at 0 touch 1,1 -\nat 5 tuch\n");
    EXPECT_FALSE(replay.Load(path, message));
    EXPECT_EQ(message, path + ":2: unknown directive 'tuch'");
    EXPECT_FALSE(replay.Loaded());
    std::remove(path.c_str());
    EXPECT_FALSE(replay.Load("replay_test_missing.trace", message));
    EXPECT_EQ(message, "replay_test_missing.trace:0: cannot read the file");
    // Without reports the panel has the default maxima and nothing comes due.
    const std::string empty = WriteTemp("replay_test_library_empty.trace", "# nothing\n");
    ASSERT_TRUE(replay.Load(empty, message)) << message;
    std::remove(empty.c_str());
    EXPECT_EQ(replay.LogicalMaxX(), 4095);
    replay.Start(0);
    EXPECT_EQ(replay.TakeDue(1000), nullptr);
}

}  // namespace
}  // namespace tactra
