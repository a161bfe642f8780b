// The contact layout of a HID touch screen: where each contact's fields lie in its
// input report, as the device describes them. Filled from the device's report
// descriptor (device/report_descriptor.h) or, on Windows, from the HID parsing
// functions' capabilities; plain data, so either side can fill it field by field.
// Also the one-line text form that traces carry (`layout ...`), and the per-report
// decoding into contacts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace tactra {

// The most Finger collections a layout holds; a device with more keeps the first ones.
constexpr int kMaxLayoutFingers = 16;
// The longest input or feature report a layout accepts (report ID byte included).
constexpr size_t kMaxLayoutReportBytes = 512;
// The widest field a layout accepts.
constexpr int kMaxLayoutFieldBits = 32;
// The value that switches a screen's Device Mode feature to multi-input.
constexpr int32_t kDeviceModeMultiInput = 2;

// One field of a report. Bit positions count from the first bit of the report as the
// device sends it: the report ID byte, when the device uses report IDs, is bits 0..7.
struct LayoutField {
    uint32_t bitPosition = 0;
    uint8_t bitSize = 0;  // 0: the device has no such field
    int32_t logicalMin = 0;
    int32_t logicalMax = 0;
    bool isSigned = false;  // logicalMin < 0, as HID defines a field's sign

    bool Present() const { return bitSize != 0; }
    // Moves a present field by `bits` (a report ID byte taken into the positions or
    // out of them); the caller knows the position stays within the report.
    void Shift(int32_t bits) {
        if (Present()) bitPosition = static_cast<uint32_t>(int64_t{bitPosition} + bits);
    }
    bool operator==(const LayoutField& o) const {
        return bitPosition == o.bitPosition && bitSize == o.bitSize && logicalMin == o.logicalMin &&
               logicalMax == o.logicalMax && isSigned == o.isSigned;
    }
};

// One Finger collection: one contact slot of the report.
struct FingerLayout {
    LayoutField tipSwitch;
    LayoutField inRange;
    LayoutField confidence;
    LayoutField contactId;
    LayoutField x;
    LayoutField y;

    // Every present field moved by `bits` (see LayoutField::Shift).
    void Shift(int32_t bits) {
        for (LayoutField* f : {&tipSwitch, &inRange, &confidence, &contactId, &x, &y})
            f->Shift(bits);
    }
    bool operator==(const FingerLayout& o) const {
        return tipSwitch == o.tipSwitch && inRange == o.inRange && confidence == o.confidence &&
               contactId == o.contactId && x == o.x && y == o.y;
    }
};

// The Device Mode feature (Digitizers 0x52), which a screen starts in mouse mode and
// is switched to multi-input (2) after every opening.
struct DeviceModeFeature {
    bool present = false;
    uint8_t reportId = 0;      // 0: the device uses no report IDs
    uint32_t bitPosition = 0;  // in the feature report, report ID byte included
    uint8_t bitSize = 0;
    uint16_t reportLength = 0;  // bytes of that feature report, report ID byte included

    bool operator==(const DeviceModeFeature& o) const {
        return present == o.present && reportId == o.reportId && bitPosition == o.bitPosition &&
               bitSize == o.bitSize && reportLength == o.reportLength;
    }
};

struct ContactLayout {
    uint8_t reportId = 0;  // the touch report's ID; 0: the device uses no report IDs
    // Bytes of the touch report as the device sends it, report ID byte included when
    // there is one. (Windows' InputReportByteLength always counts an ID byte.)
    uint16_t inputReportLength = 0;
    LayoutField contactCount;     // Contact Count (0x54), absent on some screens
    int32_t contactCountMaximum;  // the most contacts the screen reports in a frame
    int fingerCount = 0;          // Finger collections in the report, 1..kMaxLayoutFingers
    FingerLayout fingers[kMaxLayoutFingers];
    DeviceModeFeature deviceMode;

    ContactLayout() : contactCountMaximum(0) {}
    bool operator==(const ContactLayout& o) const;
    bool operator!=(const ContactLayout& o) const { return !(*this == o); }
};

// Checks what every user of a layout relies on: 1..kMaxLayoutFingers fingers, each
// with X and Y; every field 1..32 bits wide and inside the report; a report of at
// most kMaxLayoutReportBytes; a logical range with min < max for X and Y. False with
// the reason in words.
bool CheckContactLayout(const ContactLayout& layout, std::string& reason);

// What discovery asks of a touch screen: Tip Switch, Contact Identifier, X and Y in
// its first Finger collection. False with the missing usages named, for the log.
bool LayoutHasRequiredUsages(const ContactLayout& layout, std::string& missing);

// The feature report that sets the Device Mode to `value` (kDeviceModeMultiInput),
// report ID first where the screen uses report IDs, the other bits zero; empty when
// the layout has no Device Mode.
std::vector<uint8_t> MakeDeviceModeReport(const ContactLayout& layout, int32_t value);

// The text form, one line without the directive word:
//   id=1 bytes=14 count=104:8:0:2 max=2 mode=3:8:8:3
//   finger tip=8:1:0:1 range=9:1:0:1 cid=16:8:0:255 x=24:16:0:4095 y=40:16:0:4095 finger ...
// Each field is BIT:SIZE:MIN:MAX (its sign follows from MIN); absent fields and an
// absent count or Device Mode are left out; `mode=` is REPORTID:BIT:SIZE:LENGTH.
std::string FormatContactLayout(const ContactLayout& layout);
// Reads that form back (words separated by blanks). False with the reason in words;
// a layout that is read is also checked (CheckContactLayout).
bool ParseContactLayout(const std::string& text, ContactLayout& layout, std::string& reason);

// One contact slot of a decoded report.
struct DecodedContact {
    bool tipSwitch = false;  // the field's value, or false when the device has none
    bool hasTipSwitch = false;
    bool inRange = false;     // false when absent
    bool confidence = false;  // false when absent
    bool hasInRange = false;
    bool hasConfidence = false;
    bool hasId = false;
    uint32_t id = 0;  // Contact Identifier as an unsigned value
    int32_t x = 0;    // logical units, sign-extended for a signed field
    int32_t y = 0;
};

struct DecodedReport {
    bool hasCount = false;
    int32_t contactCount = 0;
    int slotCount = 0;
    DecodedContact slots[kMaxLayoutFingers];
};

enum class LayoutDecodeResult {
    kOk,
    kTooShort,         // fewer bytes than the layout's report
    kUnknownReportId,  // another report of the device (or none of its reports)
};

// Plain bit extraction of every slot. `data` is the report as the device sends it
// (report ID first when the layout has one). Reads no byte past `length`.
LayoutDecodeResult DecodeContactReport(const ContactLayout& layout, const uint8_t* data,
                                       size_t length, DecodedReport& out);

// The value of a field of `bitSize` bits at `bitPosition`, little-endian as HID packs
// them, sign-extended when `isSigned`. The caller has checked the bits lie in the data.
int64_t ExtractField(const uint8_t* data, uint32_t bitPosition, uint8_t bitSize, bool isSigned);

}  // namespace tactra
