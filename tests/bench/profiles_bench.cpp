// The profile work done for a touch batch: the refresh and one profile's actions,
// on the default file and on a file of 260 sections. Per batch within a second only
// the file's identity is asked; once a second its bytes are compared as well; after
// a change the file is parsed again and the profile's 24 keys read.

#include <benchmark/benchmark.h>

#include <string>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "profiles/profile_file.h"
#include "profiles/profile_store.h"
#include "tests/bench/bench_files.h"

namespace {

using namespace tactra;
using bench::BenchDir;

enum Refresh { kWithinASecond, kSecondPassed, kAfterAChange };

void RefreshAndReadProfile(benchmark::State& state, const std::string& content,
                           const char* section) {
    BenchDir dir(kProfileFileName, content);
    VirtualClock clock;
    ProfileStore store(clock, LocalFileSystem(), 5, [] { return uint16_t{0x0409}; });
    store.RefreshProfileSections();
    AppProfile profile;
    const Refresh kind = static_cast<Refresh>(state.range(0));
    for (auto _ : state) {
        if (kind == kSecondPassed) clock.Sleep(kFileRecheckMs);
        if (kind == kAfterAChange) store.Invalidate();
        store.RefreshProfileSections();
        store.ReadProfile(section, profile);
        benchmark::DoNotOptimize(profile);
    }
}

void BM_RefreshAndReadProfile_DefaultFile(benchmark::State& state) {
    RefreshAndReadProfile(state, DefaultProfileText(0x0409, 5), "AcroRd32.exe");
}

void BM_RefreshAndReadProfile_260Sections(benchmark::State& state) {
    // The profile read is the last: the reader walks the whole file to find it.
    RefreshAndReadProfile(state, bench::ManySectionsProfileText(), "target.exe");
}

BENCHMARK(BM_RefreshAndReadProfile_DefaultFile)
    ->Arg(kWithinASecond)
    ->Arg(kSecondPassed)
    ->Arg(kAfterAChange);
BENCHMARK(BM_RefreshAndReadProfile_260Sections)
    ->Arg(kWithinASecond)
    ->Arg(kSecondPassed)
    ->Arg(kAfterAChange);

}  // namespace
