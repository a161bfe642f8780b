// From a panel report to a batch, the one way every reader takes: decode, the
// reader's report-ID rule, map both contacts through the calibration limits, build
// the records. Tactra's reading thread, the replay tool and tpinput all call it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "device/mapping/calibration.h"
#include "device/mapping/smoothing.h"
#include "device/panel/touch_report.h"

namespace tactra {

enum class ReportOutcome {
    kBatch,          // the records hold the batch; its count may be 0 (nothing to deliver)
    kTooShort,       // fewer bytes than a report: nothing decoded, nothing changed
    kForeignReport,  // Tactra's rule: a report ID other than 1 ends the reading
};

// What a report became, for the reader's own use of it (the library's mouse
// emulation and calibration sample).
struct ReportBatch {
    PanelInputReport report;
    MappedPoint p1;
    MappedPoint p2;
    int count = 0;  // records written
};

// `builder` carries the reader's rule and the contacts' states between reports;
// `records` has room for two records. The library's rule ignores the report ID. A
// `smoother` (the device's smoothing) smooths the raw positions before they are mapped.
ReportOutcome ReportToBatch(BatchBuilder& builder, const uint8_t* data, size_t length,
                            const CalibrationLimits& limits, const ScreenScale& scale,
                            void* hSource, uint32_t tick, TOUCHINPUT* records, ReportBatch& out,
                            ContactSmoother* smoother = nullptr);

}  // namespace tactra
