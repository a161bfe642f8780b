// Speed of tpinput's per-report path: ProcessPanelReport with its ports, the
// calibration limits in "Calibrate.ini", one finger touching and moving.
#include <benchmark/benchmark.h>

#include <string>

#include "device/mapping/calibration.h"
#include "device/trace/trace.h"
#include "platform/file_system.h"
#include "tests/bench/bench_files.h"
#include "tests/support/library_surroundings.h"
#include "tpinput/touch_library.h"

namespace {

using namespace tactra;

constexpr char kCalibrationText[] =
    "[Config]\r\nPoint1X=610\r\nPoint1Y=510\r\nPoint2X=3500\r\nPoint2Y=520\r\n"
    "Point3X=580\r\nPoint3Y=3600\r\nPoint4X=3520\r\nPoint4Y=3580\r\nPoint5X=2048\r\n"
    "Point5Y=2048\r\nMinX=83\r\nMaxX=4022\r\nMinY=3\r\nMaxY=4102\r\n";

// Mouse emulation on (mode 99), one finger moving in a small circle and lifting
// every 64 reports; the clock advances 5 ms per report.
void BM_LibraryPerReportPath(benchmark::State& st) {
    bench::BenchDir dir(kCalibrationFileName, kCalibrationText);
    VirtualClock clock;
    testing::LibrarySurroundings s;
    CalibrationFile calibration(LocalFileSystem(), clock);
    const LibraryPorts ports = s.Ports(clock, calibration);
    TouchLibraryState state;
    s.Register(state);
    int64_t i = 0;
    for (auto _ : st) {
        const int phase = static_cast<int>(i % 64);
        const std::vector<uint8_t> bytes =
            MakeTouchReport(phase != 63, static_cast<uint16_t>(2000 + (phase % 8) * 10),
                            static_cast<uint16_t>(1500 + (phase / 8) * 10), false, 0, 0);
        clock.Set(static_cast<uint32_t>(++i * 5));
        ProcessPanelReport(state, ports, bytes.data(), bytes.size());
    }
    benchmark::DoNotOptimize(s.events);
}
BENCHMARK(BM_LibraryPerReportPath);

}  // namespace
