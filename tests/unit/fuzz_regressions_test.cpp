// Every input in tests/fuzz/regressions/<target>/ through its fuzz target's entry
// point, natively under the sanitizers: a fault a fuzzer found stays fixed without
// clang.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/fuzz/fuzz_entries.h"

namespace fs = std::filesystem;

namespace {

int Replay(const std::string& target, int (*entry)(const uint8_t*, size_t),
           const char* folder = "tests/fuzz/regressions") {
    const fs::path dir = fs::path(TACTRA_SOURCE_DIR) / folder / target;
    int replayed = 0;
    if (!fs::exists(dir)) return 0;
    for (const fs::directory_entry& e : fs::directory_iterator(dir)) {
        std::ifstream in(e.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        SCOPED_TRACE(e.path().string());
        entry(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        ++replayed;
    }
    return replayed;
}

}  // namespace

TEST(FuzzRegressions, ReplayThroughTheirTargets) {
    Replay("trace_parser", tactra::fuzz::TraceParser);
    Replay("report_path", tactra::fuzz::ReportPath);
    Replay("descriptor_layout", tactra::fuzz::DescriptorLayout);
    // The descriptor target's seeds (real screens) run natively too.
    EXPECT_GT(Replay("descriptor_layout", tactra::fuzz::DescriptorLayout, "tests/fuzz/seeds"), 0);
    const fs::path home = fs::current_path();
    const fs::path work = fs::path(::testing::TempDir()) / "tactra-fuzz-regressions";
    fs::remove_all(work);
    fs::create_directories(work);
    fs::current_path(work);
    Replay("replay_session", tactra::fuzz::ReplaySessions);
    Replay("profile_file", tactra::fuzz::ProfileFile);
    Replay("library_reports", tactra::fuzz::LibraryReports);
    fs::current_path(home);
}
