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
        if (line.find("--states") != std::string::npos) options.printStates = true;
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

// Replays `trace` (twice: the same trace gives the same output) in a fresh working
// directory and compares its output with `expectedPath`.
void CheckTrace(const fs::path& trace, const fs::path& expectedPath,
                tactra::ReplayOptions options) {
    SCOPED_TRACE(trace.string());
    const std::string expected = ReadAll(expectedPath);
    const fs::path home = fs::current_path();
    const fs::path work = fs::path(::testing::TempDir()) / "tactra-replay-work" / trace.stem();
    options.workDir = work.string();
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

void CheckTraces(const fs::path& dir) {
    const std::vector<fs::path> traces = TracesIn(dir);
    ASSERT_FALSE(traces.empty()) << dir;
    for (const fs::path& trace : traces) {
        fs::path expectedPath = trace;
        expectedPath.replace_extension(".expected");
        CheckTrace(trace, expectedPath, OptionsOf(trace));
    }
}

}  // namespace

TEST(Replay, ExampleTracesGiveTheirExpectedOutput) {
    CheckTraces(fs::path(TACTRA_SOURCE_DIR) / "examples");
}

TEST(Replay, TestTracesGiveTheirExpectedOutput) {
    CheckTraces(fs::path(TACTRA_SOURCE_DIR) / "tests" / "traces");
}

// examples/states/NAME.expected: what --states prints for examples/NAME.trace.
TEST(Replay, ExampleStatesGiveTheirExpectedOutput) {
    const fs::path examples = fs::path(TACTRA_SOURCE_DIR) / "examples";
    int checked = 0;
    for (const auto& entry : fs::directory_iterator(examples / "states")) {
        const fs::path trace = examples / entry.path().filename().replace_extension(".trace");
        tactra::ReplayOptions options = OptionsOf(trace);
        options.printStates = true;
        CheckTrace(trace, entry.path(), options);
        ++checked;
    }
    EXPECT_GE(checked, 2);
}

TEST(Replay, MalformedTraceIsRefusedWithItsLine) {
    const fs::path trace = fs::path(TACTRA_SOURCE_DIR) / "tests" / "traces" / "malformed.trace";
    std::ostringstream out, err;
    EXPECT_EQ(tactra::RunReplay(trace.string(), tactra::ReplayOptions(), out, err), 2);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "tactra-replay: " + trace.string() + ":4: 'touch' takes 2 arguments\n");
}
