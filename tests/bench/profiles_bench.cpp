// The profile work done for every touch batch: refreshing the section list and
// reading one profile's 24 keys, on the default file and on a file of 260 sections.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "platform/clock.h"
#include "profiles/profile_file.h"
#include "profiles/profile_store.h"

namespace {

using namespace tactra;

struct BenchDir {
    explicit BenchDir(const std::string& content) {
        saved = std::filesystem::current_path();
        dir = std::filesystem::temp_directory_path() / ("tactra-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        std::filesystem::current_path(dir);
        std::ofstream(dir / kProfileFileName, std::ios::binary) << content;
    }
    ~BenchDir() {
        std::filesystem::current_path(saved);
        std::filesystem::remove_all(dir);
    }
    std::filesystem::path saved, dir;
};

void RefreshAndReadProfile(benchmark::State& state, const std::string& content, const char* section) {
    BenchDir dir(content);
    VirtualClock clock;
    ProfileStore store(clock, 5, [] { return uint16_t{0x0409}; });
    AppProfile profile;
    for (auto _ : state) {
        store.RefreshProfileSections();
        ReadProfile(store.Ini(), section, profile);
        benchmark::DoNotOptimize(profile);
    }
}

void BM_RefreshAndReadProfile_DefaultFile(benchmark::State& state) {
    RefreshAndReadProfile(state, DefaultProfileText(0x0409, 5), "AcroRd32.exe");
}

void BM_RefreshAndReadProfile_260Sections(benchmark::State& state) {
    std::string content;
    // The profile read is the last: the reader walks the whole file to find it.
    for (int i = 0; i < 259; ++i) {
        content += DefaultProfileText(0x0409, 10).substr(0, 408);  // one full section's keys
        content.replace(content.rfind("[iexplore.exe]"), 14, "[app" + std::to_string(i) + ".exe]");
    }
    content += "[target.exe]\r\n" + DefaultProfileText(0x0409, 10).substr(408 + 14);
    RefreshAndReadProfile(state, content, "target.exe");
}

BENCHMARK(BM_RefreshAndReadProfile_DefaultFile)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_RefreshAndReadProfile_260Sections)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
