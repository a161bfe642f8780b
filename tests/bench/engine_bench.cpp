// Speed of the per-report path: decode, map, batch, profile refresh, application
// match and the engine, on the default profile file and on one of 260 sections, and
// with one or eight devices' states under touch priority; and of the engine alone.
#include <benchmark/benchmark.h>

#include "device/mapping/calibration.h"
#include "device/mapping/report_pipeline.h"
#include "device/mapping/smoothing.h"
#include "device/mapping/touch_priority.h"
#include "device/panel/touch_report.h"
#include "device/trace/trace.h"
#include "gesture/engine.h"
#include "gesture/store_profile_source.h"
#include "platform/file_system.h"
#include "profiles/profile_store.h"
#include "tests/bench/bench_files.h"
#include "tools/replay/replay_session.h"

using namespace tactra;

namespace {

class NullSink : public InputSink {
public:
    void KeyEvent(uint8_t, bool) override { ++events; }
    void MouseEvent(uint32_t, int32_t, int32_t, int32_t) override { ++events; }
    bool IsKeyDown(uint8_t) override { return false; }
    int64_t events = 0;
};

// The default profiles held in memory: what the engine sees without file reads.
class MemoryProfiles : public ProfileSource {
public:
    void RefreshProfileSections() override {}
    const std::vector<std::string>& Sections() const override { return sections_; }
    void ReadProfile(const std::string&, AppProfile& p) const override {
        p.actions[kZoomIn] = {2, 2048, 1};
        p.actions[kZoomOut] = {2, 2048, 0};
        p.actions[kFlickUp] = {1, 2048, 1};
        p.actions[kFlickDown] = {1, 2048, 0};
    }

private:
    std::vector<std::string> sections_{"iexplore.exe", "AcroRd32.exe",
                                       "Windows Picture and Fax Viewer"};
};

// One finger touching and moving in a small circle, lifting every 64 reports, so
// every path of the one-finger handling is taken.
std::vector<uint8_t> ReportAt(int64_t i) {
    const int phase = static_cast<int>(i % 64);
    const uint16_t x = static_cast<uint16_t>(2000 + (phase % 8) * 10);
    const uint16_t y = static_cast<uint16_t>(1500 + (phase / 8) * 10);
    return MakeTouchReport(phase != 63, x, y, false, 0, 0);
}

struct Fixture {
    VirtualClock clock;
    NullSink sink;
    ScriptedDisplay display;
    ScriptedForeground foreground;
    GestureState state;
    EnginePorts ports;
    Fixture() {
        foreground.file = "iexplore.exe";
        foreground.title = "Home - Internet Explorer";
        ports.clock = &clock;
        ports.sink = &sink;
        ports.display = &display;
        ports.foreground = &foreground;
        InitDisplayState(display, state.display);
    }
};

// The fixture with the default profile file, written by the first refresh and read
// through the store, as Tactra reads it.
struct StoreFixture : Fixture {
    ProfileStore store{clock, LocalFileSystem(), 5, [] { return uint16_t{0x0409}; }};
    StoreProfileSource profiles{store};
    StoreFixture() {
        store.RefreshProfileSections();
        ports.profiles = &profiles;
    }
};

// Argument 0: 1 when the foreground program has a profile, 0 when it has none.
// Argument 1: 0 for the default file (written by the first refresh), 1 for a file of
// 260 sections whose last one is the foreground program's. The clock advances 8 ms
// per report, as with a panel reporting 125 times a second.
void BM_WholePerReportPath(benchmark::State& st) {
    const bool manySections = st.range(1) != 0;
    bench::BenchDir dir(manySections ? kProfileFileName : nullptr,
                        manySections ? bench::ManySectionsProfileText() : std::string());
    Fixture f;
    if (manySections) f.foreground.file = "target.exe";
    if (st.range(0) == 0) f.foreground.file = "notepad.exe";
    ProfileStore store(f.clock, LocalFileSystem(), 5, [] { return uint16_t{0x0409}; });
    store.RefreshProfileSections();  // writes the default file when there is none
    StoreProfileSource profiles(store);
    f.ports.profiles = &profiles;
    const CalibrationLimits limits = LoadCalibrationLimits(4095, 4095);
    const ScreenScale scale = MakeScreenScale(1024, 768);
    BatchBuilder builder(ReaderRule::kTactra);
    TOUCHINPUT records[kTouchRecordCapacity] = {};
    int64_t i = 0;
    for (auto _ : st) {
        const std::vector<uint8_t> bytes = ReportAt(i++);
        f.clock.Set(static_cast<uint32_t>(i * 8));
        PanelInputReport report;
        DecodePanelReport(bytes.data(), bytes.size(), report);
        const MappedPoint p1 = MapPosition(limits, scale, report.contact1.x, report.contact1.y);
        const MappedPoint p2 = MapPosition(limits, scale, report.contact2.x, report.contact2.y);
        if (builder.Build(report, p1, p2, nullptr, f.clock.TickCount(), records) > 0) {
            OnTouchInput(f.state, f.ports, records);
        }
    }
    benchmark::DoNotOptimize(f.sink.events);
}
BENCHMARK(BM_WholePerReportPath)->Args({1, 0})->Args({0, 0})->Args({1, 1});

// The whole per-report path of one device with its smoothing: 0 off, 1 light,
// 2 strong (the positions jitter by a few raw units, as a noisy screen's do).
void BM_PerReportPathSmoothing(benchmark::State& st) {
    bench::BenchDir dir(nullptr, std::string());
    StoreFixture f;
    const CalibrationLimits limits = LoadCalibrationLimits(4095, 4095);
    const ScreenScale scale = MakeScreenScale(1024, 768);
    BatchBuilder builder(ReaderRule::kTactra);
    ContactSmoother smoother;
    smoother.SetStrength(static_cast<Smoothing>(st.range(0)));
    TOUCHINPUT records[kTouchRecordCapacity] = {};
    int64_t i = 0;
    for (auto _ : st) {
        std::vector<uint8_t> bytes = ReportAt(i++);
        bytes[3] = static_cast<uint8_t>(bytes[3] + (i % 3));  // X jitters by 0 to 2 units
        f.clock.Set(static_cast<uint32_t>(i * 8));
        ReportBatch batch;
        if (ReportToBatch(builder, bytes.data(), bytes.size(), limits, scale, nullptr,
                          f.clock.TickCount(), records, batch,
                          &smoother) == ReportOutcome::kBatch &&
            batch.count > 0) {
            OnTouchInput(f.state, f.ports, records);
        }
    }
    benchmark::DoNotOptimize(f.sink.events);
}
BENCHMARK(BM_PerReportPathSmoothing)->Arg(0)->Arg(1)->Arg(2);

// The per-report path with several devices: each its own batches and engine, touch
// priority choosing the one that drives. The devices touch in turn, one touch of 64
// reports each, so that every batch reaches an engine and the states change hands.
// Argument: the number of devices (1: the path of one device, with the priority).
void BM_SeveralDevicesPerReportPath(benchmark::State& st) {
    const size_t devices = static_cast<size_t>(st.range(0));
    bench::BenchDir dir(nullptr, std::string());
    StoreFixture f;
    const CalibrationLimits limits = LoadCalibrationLimits(4095, 4095);
    const ScreenScale scale = MakeScreenScale(1024, 768);
    struct Device {
        BatchBuilder builder{ReaderRule::kTactra};
        TOUCHINPUT records[kTouchRecordCapacity] = {};
        GestureState state;
    };
    std::vector<Device> all(devices);
    for (Device& d : all) d.state.display = f.state.display;
    TouchPriority priority;
    int64_t i = 0;
    for (auto _ : st) {
        const size_t index = static_cast<size_t>(i / 64) % devices;
        Device& d = all[index];
        const std::vector<uint8_t> bytes = ReportAt(i++);
        f.clock.Set(static_cast<uint32_t>(i * 8));
        ReportBatch batch;
        if (ReportToBatch(d.builder, bytes.data(), bytes.size(), limits, scale, nullptr,
                          f.clock.TickCount(), d.records, batch) == ReportOutcome::kBatch &&
            batch.count > 0 &&
            priority.Admit(static_cast<int>(index), d.records, batch.count) ==
                PriorityVerdict::kDrive) {
            OnTouchInput(d.state, f.ports, d.records);
        }
    }
    benchmark::DoNotOptimize(f.sink.events);
}
BENCHMARK(BM_SeveralDevicesPerReportPath)->Arg(1)->Arg(8);

void BM_EngineAlone(benchmark::State& st) {
    Fixture f;
    MemoryProfiles profiles;
    f.ports.profiles = &profiles;
    const CalibrationLimits limits;
    const ScreenScale scale = MakeScreenScale(1024, 768);
    BatchBuilder builder(ReaderRule::kTactra);
    // Batches built beforehand: only the engine is timed.
    std::vector<std::array<TOUCHINPUT, 2>> batches;
    for (int64_t i = 0; i < 64; ++i) {
        const std::vector<uint8_t> bytes = ReportAt(i);
        PanelInputReport report;
        DecodePanelReport(bytes.data(), bytes.size(), report);
        TOUCHINPUT records[kTouchRecordCapacity] = {};
        builder.Build(report, MapPosition(limits, scale, report.contact1.x, report.contact1.y),
                      MapPosition(limits, scale, report.contact2.x, report.contact2.y), nullptr, 0,
                      records);
        batches.push_back({records[0], records[1]});
    }
    int64_t i = 0;
    for (auto _ : st) {
        f.clock.Set(static_cast<uint32_t>(i * 8));
        OnTouchInput(f.state, f.ports, batches[static_cast<size_t>(i % 64)].data());
        ++i;
    }
    benchmark::DoNotOptimize(f.sink.events);
}
BENCHMARK(BM_EngineAlone);

}  // namespace
