// The replay over every bundled and test trace gives exactly the expected output:
// in-process, so the same check runs natively and in the Windows build under Wine.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/replay/replay_session.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Options from a "# args: ..." line among the first two.
tactra::ReplayOptions OptionsOf(const fs::path& trace) {
    tactra::ReplayOptions options;
    std::ifstream in(trace);
    std::string line;
    for (int i = 0; i < 2 && std::getline(in, line); ++i) {
        if (line.rfind("# args:", 0) != 0) continue;
        if (line.find("--batches") != std::string::npos) options.printBatches = true;
        if (line.find("--library") != std::string::npos) options.library = true;
    }
    return options;
}

std::vector<fs::path> TracesIn(const fs::path& dir) {
    std::vector<fs::path> traces;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path().extension() == ".trace") traces.push_back(entry.path());
    }
    std::sort(traces.begin(), traces.end());
    return traces;
}

void CheckTraces(const fs::path& dir) {
    const std::vector<fs::path> traces = TracesIn(dir);
    ASSERT_FALSE(traces.empty()) << dir;
    const fs::path home = fs::current_path();
    const fs::path scratch = fs::path(::testing::TempDir());
    for (const fs::path& trace : traces) {
        SCOPED_TRACE(trace.string());
        fs::path expectedPath = trace;
        expectedPath.replace_extension(".expected");
        const std::string expected = ReadAll(expectedPath);

        // A fresh working directory per trace, under the temporary folder.
        const fs::path work = scratch / "tactra-replay-work" / trace.stem();
        fs::remove_all(work);
        fs::create_directories(work);
        tactra::ReplayOptions options = OptionsOf(trace);
        options.workDir = work.string();

        // Twice: the same trace gives the same output.
        for (int run = 0; run < 2; ++run) {
            fs::remove_all(work);
            fs::create_directories(work);
            std::ostringstream out, err;
            const int status = tactra::RunReplay(trace.string(), options, out, err);
            fs::current_path(home);
            EXPECT_EQ(out.str(), expected);
            EXPECT_EQ(status, err.str().empty() ? 0 : 2) << err.str();
        }
    }
}

}  // namespace

TEST(Replay, ExampleTracesGiveTheirExpectedOutput) {
    CheckTraces(fs::path(TACTRA_SOURCE_DIR) / "examples");
}

TEST(Replay, TestTracesGiveTheirExpectedOutput) {
    CheckTraces(fs::path(TACTRA_SOURCE_DIR) / "tests" / "traces");
}

TEST(Replay, MalformedTraceIsRefusedWithItsLine) {
    const fs::path trace = fs::path(TACTRA_SOURCE_DIR) / "tests" / "traces" / "malformed.trace";
    std::ostringstream out, err;
    EXPECT_EQ(tactra::RunReplay(trace.string(), tactra::ReplayOptions(), out, err), 2);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "tactra-replay: " + trace.string() + ":4: 'touch' takes 2 arguments\n");
}
