// The contact layout of a HID touch screen: where each contact's fields lie in its
// input report, as the device describes them. Filled from the device's report
// descriptor (device/screen/report_descriptor.h) or, on Windows, from the HID parsing
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

// The most contact slots a layout holds (the largest screens describe 20 to 30), and
// the most contacts a screen follows at once; a device with more slots keeps the
// first ones.
constexpr int kMaxContacts = 32;
// The longest touch report a layout accepts (report ID byte included). The device's
// other reports (another collection's, a vendor's diagnostics) may be of any length:
// they are never decoded.
constexpr size_t kMaxLayoutReportBytes = 512;
// The longest feature report that carries the Device Mode.
constexpr size_t kMaxDeviceModeReportBytes = 4096;
// The widest field a layout accepts.
constexpr int kMaxLayoutFieldBits = 32;
// HID usages (page << 16 | id) the layout is built from.
constexpr uint32_t kUsageTouchScreen = 0x000D0004;
constexpr uint32_t kUsageFinger = 0x000D0022;
constexpr uint32_t kUsageDeviceConfiguration = 0x000D000E;
constexpr uint32_t kUsageTipSwitch = 0x000D0042;
constexpr uint32_t kUsageInRange = 0x000D0032;
constexpr uint32_t kUsageConfidence = 0x000D0047;
constexpr uint32_t kUsageContactId = 0x000D0051;
constexpr uint32_t kUsageDeviceMode = 0x000D0052;
constexpr uint32_t kUsageContactCount = 0x000D0054;
constexpr uint32_t kUsageContactCountMaximum = 0x000D0055;
constexpr uint32_t kUsageX = 0x00010030;
constexpr uint32_t kUsageY = 0x00010031;
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

// One contact slot of the report (a Finger collection, as most screens name it).
struct FingerLayout {
    LayoutField tipSwitch;
    LayoutField inRange;
    LayoutField confidence;
    LayoutField contactId;
    LayoutField x;
    LayoutField y;

    // The field of a usage (kUsageTipSwitch ... kUsageY), or nullptr for another.
    LayoutField* FieldOf(uint32_t usage);

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
    int fingerCount = 0;          // contact slots in the report, 1..kMaxContacts
    FingerLayout fingers[kMaxContacts];
    DeviceModeFeature deviceMode;
    // Slots the device describes beyond kMaxContacts, left out; for the log only (not
    // compared, not in the text form).
    int slotsIgnored = 0;

    ContactLayout() : contactCountMaximum(0) {}
    bool operator==(const ContactLayout& o) const;
    bool operator!=(const ContactLayout& o) const { return !(*this == o); }
};

// How a contact slot is found, the same rule over a descriptor's collections and over
// the system's link collections: the slot is the outermost logical or physical
// collection inside the Touch Screen application collection that holds exactly one X
// (itself or in the collections inside it) and, in the touch report, X, Y and one of
// Tip Switch, In Range, Confidence or Contact Identifier, whatever usage names it
// (0x000D_0022, 0x0001_0022, none or another); every field inside it is that slot's.
// The touch report is the one of the first X inside a collection. Contact Count may
// stand anywhere in that report, beside the slots or inside one.
struct SlotCollection {
    int parent = -1;   // the enclosing collection's index; -1 for the application
    uint8_t type = 0;  // HID collection type: 0 physical, 1 application, 2 logical, ...
};
struct SlotFieldUsage {
    int collection = 0;  // index of the innermost collection holding the field
    uint32_t usage = 0;  // page << 16 | id
    uint8_t reportId = 0;
};
struct ContactSlots {
    bool found = false;       // a touch report with at least one slot
    uint8_t reportId = 0;     // the touch report
    std::vector<int> slotOf;  // per collection: the slot it is or lies in (0..), or -1
    int slotCount = 0;        // at most kMaxContacts
    int slotsIgnored = 0;     // slots beyond kMaxContacts
};
// `collections[0]` is the application collection; a parent comes before its children.
ContactSlots FindContactSlots(const std::vector<SlotCollection>& collections,
                              const std::vector<SlotFieldUsage>& fields);

// Checks what every user of a layout relies on: 1..kMaxContacts fingers, each
// with X and Y; every field 1..32 bits wide and inside the report; a report of at
// most kMaxLayoutReportBytes; a logical range with min < max for X and Y. False with
// the reason in words.
bool CheckContactLayout(const ContactLayout& layout, std::string& reason);

// What discovery asks of a touch screen: Tip Switch, Contact Identifier, X and Y in
// its first contact slot. False with the missing usages named, for the log.
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
    DecodedContact slots[kMaxContacts];
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
