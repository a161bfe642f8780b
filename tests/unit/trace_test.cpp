#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/mapping/calibration.h"
#include "device/trace/trace.h"

namespace tactra {
namespace {

struct Parsed {
    bool ok;
    std::vector<TraceStep> steps;
    TraceError error;
};

Parsed Parse(const std::string& text, bool library = false) {
    Parsed p;
    TraceOptions options;
    options.library = library;
    p.ok = ParseTrace(text, options, p.steps, p.error);
    return p;
}

TEST(Trace, DirectivesTicksCommentsAndLineEnds) {
    const Parsed p = Parse(
        "# heading\r\n"
        "os 5\n"
        "\n"
        "lang 0x0404   # Taiwan\n"
        "at 100 display 800 600 1\r\n"
        "foreground \"note \\\"pad\\\".exe\" \"C:\\\\x # not a comment\"\n"
        "at 0x100 touch 1,2 -\n"
        "keyboard 17 down\n"
        "report 01 00 00 00 00 00 00 00 01 00 00 00 00 FF\n");
    ASSERT_TRUE(p.ok) << p.error.line << ": " << p.error.reason;
    ASSERT_EQ(p.steps.size(), 7u);
    EXPECT_EQ(p.steps[0].op, TraceOp::kOs);
    EXPECT_EQ(p.steps[1].args[0], 0x404);
    EXPECT_EQ(p.steps[1].line, 4);
    EXPECT_EQ(p.steps[2].tick, 100u);
    EXPECT_EQ(p.steps[2].args, (std::vector<int64_t>{800, 600, 1}));
    EXPECT_EQ(p.steps[3].texts,
              (std::vector<std::string>{"note \"pad\".exe", "C:\\x # not a comment"}));
    EXPECT_EQ(p.steps[3].tick, 100u) << "without 'at' a directive keeps the current tick";
    EXPECT_EQ(p.steps[4].tick, 256u);
    EXPECT_EQ(p.steps[4].bytes, MakeTouchReport(true, 1, 2, false, 0, 0));
    EXPECT_EQ(p.steps[5].args, (std::vector<int64_t>{17, 1}));
    EXPECT_EQ(p.steps[6].bytes.size(), 14u);
}

TEST(Trace, FileBlockKeepsLinesVerbatimWithCrLf) {
    const Parsed p =
        Parse("file Tactra.ini <<END\n[a]\r\nx=1 # kept\nEND\nremove \"Tactra.ini\"\n");
    ASSERT_TRUE(p.ok) << p.error.reason;
    EXPECT_EQ(p.steps[0].texts[0], "Tactra.ini");
    EXPECT_EQ(p.steps[0].texts[1], "[a]\r\nx=1 # kept\r\n");
    EXPECT_EQ(p.steps[1].op, TraceOp::kRemove);
    EXPECT_EQ(p.steps[1].line, 5);
}

TEST(Trace, MalformedLinesAreRefusedWithTheirLineNumber) {
    const struct {
        const char* text;
        int line;
        const char* reasonPart;
    } cases[] = {
        {"os 5\nbogus 1\n", 2, "unknown directive"},
        {"at 10 os 5\nat 9 os 5\n", 2, "before the current tick"},
        {"report 01 02\n", 1, "at least 13 bytes"},
        {"report 01 0x2 00 00 00 00 00 00 00 00 00 00 00\n", 1, "bad report byte"},
        {"touch 1,2\n", 1, "takes 2 arguments"},
        {"touch 1,70000 -\n", 1, "0 to 65535"},
        {"touch a -\n", 1, "X,Y or -"},
        {"mode 99\n", 1, "bad mouse mode"},
        {"display 1024 768 4\n", 1, "bad orientation"},
        {"foreground \"x\n", 1, "unterminated string"},
        {"adapter \"a\\n\"\n", 1, "bad escape"},
        {"\n\nfile x.ini <<EOF\n[a]\n", 3, "ends the file text"},
        {"file ../x.ini <<EOF\nEOF\n", 1, "bad file name"},
        {"register 99\n", 1, "needs --library"},
        {"calibrate start\n", 1, "needs --library"},
        {"keyboard 17 sideways\n", 1, "'down' or 'up'"},
        {"at 5\n", 1, "without a directive"},
        {"os 99999999999999999999\n", 1, "bad major version"},
        {"monitor \\\\.\\DISPLAY2 1024 0 1280 1024 0 primary\n", 1, "lies at 0 0"},
        {"monitor D 0 0 0 768 0\n", 1, "bad width"},
        {"monitor D 0 0 1024 768 4\n", 1, "bad orientation"},
        {"monitor D 0 0 1024 768 0 main\n", 1, "optionally 'primary'"},
        {"monitor D 0 0 1024 768\n", 1, "optionally 'primary'"},
        {"monitor \"\" 0 0 1024 768 0\n", 1, "needs a name"},
        // Names compare without regard to case; a monitor unplugged is gone.
        {"monitor \"D 1\" 0 0 9 9 0\nunplug-monitor \"d 1\"\nunplug-monitor \"D 1\"\n", 3,
         "no monitor 'D 1' is attached"},
        {"touch-enabled 2\n", 1, "bad touch switch"},
        // Devices: declared once with a path, named after that; each its own screen.
        {"device\n", 1, "takes a name"},
        {"device a b c\n", 1, "takes a name"},
        {"device \"a\" \"p\"\n", 1, "a word of letters"},
        {"device a.b \"p\"\n", 1, "a word of letters"},
        {"device a \"p\"\ndevice a \"q\"\n", 2, "declared already"},
        {"device a \"p\"\ndevice b\n", 2, "no device 'b' is declared"},
        {"device a \"p\"\nlayout id=0 bytes=6 finger tip=0:1:0:1 cid=8:8:0:1 x=16:16:0:100 "
         "y=32:16:0:100\ndevice b \"q\"\ninput 01 00 00 00 00 00\n",
         4, "'input' needs a 'descriptor' or 'layout'"},
        {"device a \"p\"\nunplug 1\n", 2, "takes 0 arguments"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const Parsed p = Parse(c.text);
        ASSERT_FALSE(p.ok);
        EXPECT_EQ(p.error.line, c.line);
        EXPECT_NE(p.error.reason.find(c.reasonPart), std::string::npos) << p.error.reason;
    }
}

TEST(Trace, LibraryDirectives) {
    const Parsed p = Parse("register 99\ncalibrate start\ncalibrate 2 1\ncalibrate finish\n", true);
    ASSERT_TRUE(p.ok) << p.error.reason;
    EXPECT_EQ(p.steps[0].args[0], 99);
    EXPECT_EQ(p.steps[1].op, TraceOp::kCalibrateStart);
    EXPECT_EQ(p.steps[2].args, (std::vector<int64_t>{2, 1}));
    EXPECT_EQ(p.steps[3].op, TraceOp::kCalibrateFinish);
}

TEST(Trace, RecordedLinesParseBackToTheSameReport) {
    const uint8_t report[] = {1, 1, 0, 0x34, 0x12, 0xFF, 0x0F, 0, 1, 0, 0, 0, 0, 0xAA};
    const std::string text = FormatPanelLine(4095, 2047) + "\n" +
                             FormatReportLine(4000000000u, report, sizeof report) + "\n";
    const Parsed p = Parse(text);
    ASSERT_TRUE(p.ok) << p.error.reason;
    EXPECT_EQ(p.steps[0].args, (std::vector<int64_t>{4095, 2047}));
    EXPECT_EQ(p.steps[1].tick, 4000000000u);
    EXPECT_EQ(p.steps[1].bytes, std::vector<uint8_t>(report, report + sizeof report));
}

TEST(Mapping, SinglePrecisionProductThenTruncation) {
    CalibrationLimits limits;  // 0..4095 on both axes
    const ScreenScale scale = MakeScreenScale(1024, 768);
    EXPECT_EQ(MapPosition(limits, scale, 2048, 0).x, 51212);
    EXPECT_EQ(MapPosition(limits, scale, 4095, 4095).x, 102400);
    EXPECT_EQ(MapPosition(limits, scale, 4095, 4095).y, 76800);
    EXPECT_EQ(MapPosition(limits, scale, 0, 0).x, 0);
    limits.minX = 100;
    EXPECT_LT(MapPosition(limits, scale, 50, 0).x, 0) << "below the limit is negative, not clamped";
    EXPECT_EQ(MapAxis(-1, 0, 3, 100.0f), -33) << "truncation toward zero";
}

TEST(Mapping, DegenerateLimitsNeverOverflow) {
    EXPECT_EQ(MapAxis(5, 5, 0, 102400.0f), 0);
    EXPECT_EQ(MapAxis(65535, -2147483647, 1, 6553500.0f), INT32_MAX);
    EXPECT_EQ(MapAxis(0, 2147483647, 1, 6553500.0f), INT32_MIN);
    EXPECT_EQ(MapAxis(1000, 0, 4095, 0.0f), 0) << "a failed display query maps to 0";
}

}  // namespace
}  // namespace tactra
