// The profile work done for every touch batch: refreshing the section list and
// reading one profile's 24 keys, on the default file and on a file of 260 sections.

#include <benchmark/benchmark.h>

#include <string>

#include "platform/clock.h"
#include "profiles/profile_file.h"
#include "profiles/profile_store.h"
#include "tests/bench/bench_files.h"

namespace {

using namespace tactra;
using bench::BenchDir;

void RefreshAndReadProfile(benchmark::State& state, const std::string& content,
                           const char* section) {
    BenchDir dir(kProfileFileName, content);
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
    // The profile read is the last: the reader walks the whole file to find it.
    const std::string content = bench::ManySectionsProfileText();
    RefreshAndReadProfile(state, content, "target.exe");
}

BENCHMARK(BM_RefreshAndReadProfile_DefaultFile)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_RefreshAndReadProfile_260Sections)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
