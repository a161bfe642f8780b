// The panel input report and the touch-input records that "WM_TOUCH" delivers: a
// batch of them carries a report from the panel to the gesture engine.
#pragma once

#include <cstddef>
#include <cstdint>

#include "device/panel/panel.h"  // the report's layout and the touch event bits (kTouchEvent*)

namespace tactra {

// Room in the record buffer that a batch is written into (400 bytes on 32-bit Windows).
constexpr int kTouchRecordCapacity = 10;

struct PanelContact {
    uint8_t status = 0;  // bit 0: tip switch
    uint8_t id = 0;
    uint16_t x = 0;  // raw panel units
    uint16_t y = 0;
    bool Touching() const { return (status & 1) != 0; }
};

struct PanelInputReport {
    uint8_t reportId = 0;
    PanelContact contact1;
    PanelContact contact2;
};

enum class DecodeResult { kOk, kTooShort };

// Decodes bytes 0..12 (little-endian). Reads nothing when `length` is below 13.
DecodeResult DecodePanelReport(const uint8_t* data, size_t length, PanelInputReport& report);
// The 13 bytes of a report, the layout DecodePanelReport reads.
void EncodePanelReport(const PanelInputReport& report, uint8_t (&bytes)[kPanelReportMinLength]);

// The touch-input record, field for field in the platform's layout.
struct TOUCHINPUT {
    int32_t x;  // hundredths of a pixel
    int32_t y;
    void* hSource;
    uint32_t dwID;
    uint32_t dwFlags;
    uint32_t dwMask;
    uint32_t dwTime;
    uint32_t dwExtraInfo;
    uint32_t cxContact;
    uint32_t cyContact;
};
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(TOUCHINPUT) == 40, "TOUCHINPUT must keep the platform's 40-byte layout");
#endif

// How a reader treats a report in which contact 1 is not touching and was not
// touching before: Tactra delivers nothing; the library delivers record 1 with
// only the UP flag and handles contact 2 as usual.
enum class ReaderRule { kTactra, kLibrary };

struct MappedPoint {
    int32_t x = 0;  // hundredths of a pixel
    int32_t y = 0;
};

// Turns reports into batches and remembers each contact's state between reports.
class BatchBuilder {
public:
    explicit BatchBuilder(ReaderRule rule) : rule_(rule) {}

    // Writes the batch for `report` into `records` (room for at least two records)
    // and returns its record count: 1 or 2, or 0 when nothing is delivered.
    int Build(const PanelInputReport& report, MappedPoint p1, MappedPoint p2, void* hSource,
              uint32_t tick, TOUCHINPUT* records);

    ReaderRule Rule() const { return rule_; }
    bool Touching1() const { return touching1_; }
    bool Touching2() const { return touching2_; }

private:
    ReaderRule rule_;
    bool touching1_ = false;
    bool touching2_ = false;
};

// The flags a record gets for a contact's transition (slot 1 is the primary contact).
uint32_t TransitionFlags(bool primary, bool touchingNow, bool touchingBefore);

}  // namespace tactra
