#include "platform/diagnostic_log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace tactra {
namespace {

using testing::ReadBytes;
using testing::TempDir;

TEST(DiagnosticLog, EveryLineReachesTheDebuggerAndTheFileOnlyWhenOpened) {
    TempDir dir;
    std::vector<std::string> debug;
    DiagnosticLog log;
    log.SetDebugOutput([&](const char* line) { debug.push_back(line); });
    log.Write("no panel of vendor 0x%04X", 0x0EEF);
    EXPECT_FALSE(log.Verbose());

    const std::string path = dir.File("Tactra.log");
    ASSERT_TRUE(log.OpenFile(path, LogLevel::kNormal));
    EXPECT_FALSE(log.Verbose());
    log.Write("panel opened: %s", "0EEF:0001");
    log.CloseFile();
    EXPECT_EQ(debug, (std::vector<std::string>{"no panel of vendor 0x0EEF\r\n",
                                               "panel opened: 0EEF:0001\r\n"}));
    EXPECT_EQ(ReadBytes(path), "panel opened: 0EEF:0001\r\n");

    // Reopened: appends, and the verbose level lets report lines through.
    ASSERT_TRUE(log.OpenFile(path, LogLevel::kVerbose));
    EXPECT_TRUE(log.Verbose());
    log.Write("again");
    log.CloseFile();
    EXPECT_EQ(ReadBytes(path), "panel opened: 0EEF:0001\r\nagain\r\n");

    EXPECT_FALSE(log.OpenFile(dir.File("missing/Tactra.log"), LogLevel::kVerbose));
    EXPECT_FALSE(log.Verbose());
    log.Write("still to the debugger");
    EXPECT_EQ(debug.back(), "still to the debugger\r\n");
}

TEST(DiagnosticLog, TheFileStaysWithinItsBoundDroppingTheOlderHalf) {
    TempDir dir;
    const std::string path = dir.File("Tactra.log");
    DiagnosticLog log;
    ASSERT_TRUE(log.OpenFile(path, LogLevel::kNormal, 1000));
    for (int i = 0; i < 500; ++i) {
        log.Write("line %03d of the reading thread", i);
        ASSERT_LE(ReadBytes(path).size(), 1000u) << i;
    }
    log.CloseFile();
    const std::string text = ReadBytes(path);
    EXPECT_EQ(text.rfind("line 499 of the reading thread\r\n"), text.size() - 32);
    EXPECT_EQ(text.compare(0, 5, "line "), 0) << "starts at a whole line";
    EXPECT_EQ(text.find("line 000"), std::string::npos);
    EXPECT_GE(text.size(), 400u) << "keeps about half";

    // A file left larger than the bound is cut when it is opened.
    ASSERT_TRUE(log.OpenFile(path, LogLevel::kNormal, 200));
    log.CloseFile();
    EXPECT_LE(ReadBytes(path).size(), 200u);
}

}  // namespace
}  // namespace tactra
