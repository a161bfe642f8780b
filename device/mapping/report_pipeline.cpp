#include "device/mapping/report_pipeline.h"

namespace tactra {

ReportOutcome ReportToBatch(BatchBuilder& builder, const uint8_t* data, size_t length,
                            const CalibrationLimits& limits, const ScreenScale& scale,
                            void* hSource, uint32_t tick, TOUCHINPUT* records, ReportBatch& out,
                            ContactSmoother* smoother) {
    out = ReportBatch();
    if (DecodePanelReport(data, length, out.report) != DecodeResult::kOk)
        return ReportOutcome::kTooShort;
    if (builder.Rule() == ReaderRule::kTactra && out.report.reportId != kPanelReportId)
        return ReportOutcome::kForeignReport;
    if (smoother != nullptr) smoother->Apply(out.report, limits.xRange, limits.yRange);
    out.p1 = MapPosition(limits, scale, out.report.contact1.x, out.report.contact1.y);
    out.p2 = MapPosition(limits, scale, out.report.contact2.x, out.report.contact2.y);
    out.count = builder.Build(out.report, out.p1, out.p2, hSource, tick, records);
    return ReportOutcome::kBatch;
}

}  // namespace tactra
