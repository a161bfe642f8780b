#include "device/panel/touch_report.h"

namespace tactra {

namespace {

uint16_t ReadLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

void EncodeContact(const PanelContact& c, uint8_t* p) {
    p[0] = c.status;
    p[1] = c.id;
    p[2] = static_cast<uint8_t>(c.x & 0xFF);
    p[3] = static_cast<uint8_t>(c.x >> 8);
    p[4] = static_cast<uint8_t>(c.y & 0xFF);
    p[5] = static_cast<uint8_t>(c.y >> 8);
}

PanelContact DecodeContact(const uint8_t* p) {
    PanelContact c;
    c.status = p[0];
    c.id = p[1];
    c.x = ReadLe16(p + 2);
    c.y = ReadLe16(p + 4);
    return c;
}

// Fills every field a delivered record carries; dwExtraInfo is left as it is.
void FillRecord(TOUCHINPUT& r, MappedPoint p, void* hSource, uint8_t id, uint32_t flags,
                uint32_t tick) {
    r.x = p.x;
    r.y = p.y;
    r.hSource = hSource;
    r.dwID = id;
    r.dwTime = tick;
    r.dwFlags = flags;
    r.dwMask = 0;
    r.cxContact = 0;
    r.cyContact = 0;
}

// A contact that is not delivered still leaves its position and an UP flag behind.
void FillPositionOnly(TOUCHINPUT& r, MappedPoint p) {
    r.x = p.x;
    r.y = p.y;
    r.dwFlags = kTouchEventUp;
}

}  // namespace

DecodeResult DecodePanelReport(const uint8_t* data, size_t length, PanelInputReport& report) {
    if (data == nullptr || length < kPanelReportMinLength) return DecodeResult::kTooShort;
    report.reportId = data[0];
    report.contact1 = DecodeContact(data + 1);
    report.contact2 = DecodeContact(data + 7);
    return DecodeResult::kOk;
}

void EncodePanelReport(const PanelInputReport& report, uint8_t (&bytes)[kPanelReportMinLength]) {
    bytes[0] = report.reportId;
    EncodeContact(report.contact1, bytes + 1);
    EncodeContact(report.contact2, bytes + 7);
}

uint32_t TransitionFlags(bool primary, bool touchingNow, bool touchingBefore) {
    uint32_t flags = kTouchEventInRange | (primary ? kTouchEventPrimary : 0);
    if (touchingNow) return flags | (touchingBefore ? kTouchEventMove : kTouchEventDown);
    if (touchingBefore) return flags | kTouchEventUp;
    return kTouchEventUp;
}

int BatchBuilder::Build(const PanelInputReport& report, MappedPoint p1, MappedPoint p2,
                        void* hSource, uint32_t tick, TOUCHINPUT* records) {
    const bool now1 = report.contact1.Touching();
    const bool now2 = report.contact2.Touching();

    TOUCHINPUT& r1 = records[0];
    if (!now1 && !touching1_) {
        // Nothing is delivered and no state changes.
        if (rule_ == ReaderRule::kTactra) return 0;
        FillPositionOnly(r1, p1);
    } else {
        FillRecord(r1, p1, hSource, report.contact1.id, TransitionFlags(true, now1, touching1_),
                   tick);
    }
    touching1_ = now1;

    int count = 1;
    TOUCHINPUT& r2 = records[1];
    if (now2 || touching2_) {
        FillRecord(r2, p2, hSource, report.contact2.id, TransitionFlags(false, now2, touching2_),
                   tick);
        count = 2;
    } else {
        FillPositionOnly(r2, p2);
    }
    touching2_ = now2;
    return count;
}

}  // namespace tactra
