// Speed of a report's way to a batch: the known panel's fixed decoding beside a
// generic screen's, for a ten-finger parallel report (the layout of the RAFI
// 05BD:0107 screen of tests/traces/generic-rafi.trace: ten 6-byte Finger
// collections after report ID 1, then the Contact Count).
#include <benchmark/benchmark.h>

#include <vector>

#include "device/mapping/calibration.h"
#include "device/screen/contact_layout.h"
#include "device/screen/generic_screen.h"
#include "device/mapping/report_pipeline.h"
#include "device/trace/trace.h"

namespace {

using namespace tactra;

ContactLayout TenFingerLayout() {
    ContactLayout l;
    l.reportId = 1;
    l.inputReportLength = 62;
    l.fingerCount = 10;
    l.contactCountMaximum = 10;
    l.contactCount = {488, 8, 0, 9, false};
    for (int i = 0; i < 10; ++i) {
        const uint32_t base = 8 + 48 * static_cast<uint32_t>(i);
        FingerLayout& f = l.fingers[i];
        f.tipSwitch = {base, 1, 0, 1, false};
        f.inRange = {base + 1, 1, 0, 1, false};
        f.confidence = {base + 2, 1, 0, 1, false};
        f.contactId = {base + 8, 8, 0, 9, false};
        f.x = {base + 16, 16, 0, 1023, false};
        f.y = {base + 32, 16, 0, 1023, false};
    }
    return l;
}

// Ten fingers touching, each moved by `step`.
std::vector<uint8_t> TenFingerReport(int step) {
    std::vector<uint8_t> r(62, 0);
    r[0] = 1;
    for (int i = 0; i < 10; ++i) {
        uint8_t* p = &r[1 + 6 * i];
        const int x = 100 + 80 * i + step % 16;
        const int y = 200 + step % 16;
        p[0] = 0x07;
        p[1] = static_cast<uint8_t>(i);
        p[2] = static_cast<uint8_t>(x & 0xFF);
        p[3] = static_cast<uint8_t>(x >> 8);
        p[4] = static_cast<uint8_t>(y & 0xFF);
        p[5] = static_cast<uint8_t>(y >> 8);
    }
    r[61] = 10;
    return r;
}

// The known panel: decode, map both contacts, build the batch.
void BM_PanelReportToBatch(benchmark::State& st) {
    const CalibrationLimits limits = LoadCalibrationLimits(4095, 4095);
    const ScreenScale scale = MakeScreenScale(1024, 768);
    BatchBuilder builder(ReaderRule::kTactra);
    TOUCHINPUT records[kTouchRecordCapacity] = {};
    std::vector<std::vector<uint8_t>> reports;
    for (int i = 0; i < 16; ++i) {
        reports.push_back(MakeTouchReport(true, static_cast<uint16_t>(2000 + i), 1500, true,
                                          static_cast<uint16_t>(2500 - i), 1700));
    }
    int64_t i = 0;
    for (auto _ : st) {
        const std::vector<uint8_t>& r = reports[static_cast<size_t>(i++ % 16)];
        ReportBatch batch;
        ReportToBatch(builder, r.data(), r.size(), limits, scale, nullptr, 0, records, batch);
        benchmark::DoNotOptimize(batch.count);
    }
}
BENCHMARK(BM_PanelReportToBatch);

// The bit extraction alone: ten slots of six fields and the count.
void BM_GenericDecodeTenFingers(benchmark::State& st) {
    const ContactLayout layout = TenFingerLayout();
    const std::vector<uint8_t> r = TenFingerReport(3);
    DecodedReport out;
    for (auto _ : st) {
        DecodeContactReport(layout, r.data(), r.size(), out);
        benchmark::DoNotOptimize(out.slots[9].y);
    }
}
BENCHMARK(BM_GenericDecodeTenFingers);

// A generic screen's whole way: decode, frame, tracking of ten contacts, the panel
// form, then the same map and batch as the panel's. The clock advances 8 ms a report.
void BM_GenericReportToBatchTenFingers(benchmark::State& st) {
    GenericTouchScreen screen(TenFingerLayout(), DeviceQuirks());
    const CalibrationLimits limits = LoadCalibrationLimits(4095, 4095);
    const ScreenScale scale = MakeScreenScale(1024, 768);
    BatchBuilder builder(ReaderRule::kTactra);
    TOUCHINPUT records[kTouchRecordCapacity] = {};
    std::vector<std::vector<uint8_t>> reports;
    for (int i = 0; i < 16; ++i) reports.push_back(TenFingerReport(i));
    int64_t i = 0;
    for (auto _ : st) {
        const std::vector<uint8_t>& r = reports[static_cast<size_t>(i % 16)];
        PanelInputReport frame;
        if (screen.Feed(r.data(), r.size(), static_cast<uint32_t>(i * 8), frame) ==
            ScreenOutcome::kFrame) {
            uint8_t bytes[kPanelReportMinLength];
            EncodePanelReport(frame, bytes);
            ReportBatch batch;
            ReportToBatch(builder, bytes, sizeof bytes, limits, scale, nullptr, 0, records, batch);
            benchmark::DoNotOptimize(batch.count);
        }
        ++i;
    }
}
BENCHMARK(BM_GenericReportToBatchTenFingers);

}  // namespace
