// Touch screens described by their report descriptors: the parser's refusals and
// the items it must get right, the layout's text form, the bit extraction, and the
// frames and quirks of GenericTouchScreen. Whole sessions are in
// tests/traces/generic-*.trace.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "device/screen/contact_layout.h"
#include "device/screen/generic_screen.h"
#include "device/screen/quirks.h"
#include "device/screen/report_descriptor.h"
#include "device/trace/trace.h"

namespace tactra {
namespace {

using Bytes = std::vector<uint8_t>;

// A minimal screen: report ID 1, per finger Tip Switch (1 bit, 7 padding), Contact
// Identifier (8 bits, 0..255 written "25 FF"), X and Y (16 bits each, 0..4095); a Contact Count
// byte at the end; Device Mode in report 2. `fingers` Finger collections.
Bytes Screen(int fingers) {
    Bytes d = {0x05, 0x0D, 0x09, 0x04, 0xA1, 0x01, 0x85, 0x01};
    for (int i = 0; i < fingers; ++i) {
        const Bytes finger = {0x05, 0x0D, 0x09, 0x22, 0xA1, 0x02, 0x09, 0x42, 0x15, 0x00,
                              0x25, 0x01, 0x75, 0x01, 0x95, 0x01, 0x81, 0x02, 0x75, 0x07,
                              0x81, 0x03, 0x09, 0x51, 0x75, 0x08, 0x25, 0xFF, 0x81, 0x02,
                              0x05, 0x01, 0x26, 0xFF, 0x0F, 0x75, 0x10, 0x09, 0x30, 0x81,
                              0x02, 0x09, 0x31, 0x81, 0x02, 0xC0};
        d.insert(d.end(), finger.begin(), finger.end());
    }
    const Bytes tail = {0x05, 0x0D, 0x09, 0x54, 0x75, 0x08, 0x25, 0x0A, 0x81, 0x02, 0x85,
                        0x02, 0x09, 0x55, 0xB1, 0x02, 0xC0, 0x09, 0x0E, 0xA1, 0x01, 0x85,
                        0x03, 0x09, 0x52, 0x75, 0x08, 0x95, 0x01, 0xB1, 0x02, 0xC0};
    d.insert(d.end(), tail.begin(), tail.end());
    return d;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// How a slot's collection opens: named Finger on the Digitizers page, usage 0x22 left
// on the Generic Desktop page, unnamed logical, unnamed physical.
const Bytes kFingerNamed = {0x05, 0x0D, 0x09, 0x22, 0xA1, 0x02};
const Bytes kFingerDesktopPage = {0x05, 0x01, 0x09, 0x22, 0xA1, 0x02};
const Bytes kUnnamedLogical = {0xA1, 0x02};
const Bytes kUnnamedPhysical = {0xA1, 0x00};
// One slot's fields as Screen() lays them out (6 bytes), `inner` added at its end.
Bytes Slot(const Bytes& opener, const Bytes& inner = {}) {
    const Bytes fields = {0x05, 0x0D, 0x09, 0x42, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95,
                          0x01, 0x81, 0x02, 0x75, 0x07, 0x81, 0x03, 0x09, 0x51, 0x75, 0x08,
                          0x25, 0xFF, 0x81, 0x02, 0x05, 0x01, 0x26, 0xFF, 0x0F, 0x75, 0x10,
                          0x09, 0x30, 0x81, 0x02, 0x09, 0x31, 0x81, 0x02};
    return opener + fields + inner + Bytes{0xC0};
}
const Bytes kContactCount = {0x05, 0x0D, 0x09, 0x54, 0x75, 0x08, 0x25, 0x0A, 0x81, 0x02};
// A Touch Screen application collection, report ID 1, around `inner`.
Bytes TouchScreen(const Bytes& inner) {
    return Bytes{0x05, 0x0D, 0x09, 0x04, 0xA1, 0x01, 0x85, 0x01} + inner + Bytes{0xC0};
}
Bytes Repeat(const Bytes& b, int n) {
    Bytes out;
    for (int i = 0; i < n; ++i) out = out + b;
    return out;
}

bool Parse(const Bytes& d, ContactLayout& layout, std::string& reason) {
    return ParseReportDescriptor(d.data(), d.size(), layout, reason);
}

TEST(ReportDescriptor, ReadsFieldsCountAndDeviceMode) {
    ContactLayout l;
    std::string reason;
    ASSERT_TRUE(Parse(Screen(2), l, reason)) << reason;
    EXPECT_EQ(l.reportId, 1);
    EXPECT_EQ(l.fingerCount, 2);
    EXPECT_EQ(l.inputReportLength, 1 + 2 * 6 + 1);
    EXPECT_EQ(l.fingers[1].tipSwitch.bitPosition, 8u + 48u);
    EXPECT_EQ(l.fingers[1].x.bitPosition, 8u + 48u + 16u);
    EXPECT_EQ(l.fingers[1].y.logicalMax, 4095);
    EXPECT_EQ(l.fingers[0].contactId.logicalMax,
              255);  // "25 FF" beside a minimum of 0 is 255, not -1
    EXPECT_EQ(l.contactCount.bitPosition, 8u + 96u);
    EXPECT_EQ(l.contactCountMaximum, 10);
    ASSERT_TRUE(l.deviceMode.present);
    EXPECT_EQ(l.deviceMode.reportId, 3);
    EXPECT_EQ(l.deviceMode.bitPosition, 8u);
    EXPECT_EQ(l.deviceMode.reportLength, 2);
    EXPECT_EQ(MakeDeviceModeReport(l, kDeviceModeMultiInput), (Bytes{3, 2}));
    std::string missing;
    EXPECT_TRUE(LayoutHasRequiredUsages(l, missing)) << missing;
}

TEST(ReportDescriptor, PushPopUsageRangesAndSignedFields) {
    // One finger: Push, a 12-bit signed X (-2048..2047), Pop back to 16 bits for Y;
    // Tip Switch and In Range from a usage range; no report IDs; a 4-byte usage.
    const Bytes d = {0x05, 0x0D, 0x09, 0x04, 0xA1, 0x01, 0x09, 0x22, 0xA1, 0x02, 0x19, 0x32,
                     0x29, 0x33, 0x09, 0x42, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x03,
                     0x81, 0x02, 0x95, 0x01, 0x75, 0x05, 0x81, 0x03, 0x75, 0x10, 0x16, 0x00,
                     0x00, 0x26, 0xFF, 0x0F, 0xA4, 0x75, 0x0C, 0x16, 0x00, 0xF8, 0x26, 0xFF,
                     0x07, 0x0B, 0x30, 0x00, 0x01, 0x00, 0x81, 0x02, 0x75, 0x04, 0x81, 0x03,
                     0xB4, 0x05, 0x01, 0x09, 0x31, 0x81, 0x02, 0xC0, 0xC0};
    ContactLayout l;
    std::string reason;
    ASSERT_TRUE(Parse(d, l, reason)) << reason;
    EXPECT_EQ(l.reportId, 0);
    EXPECT_EQ(l.inputReportLength, 5);
    EXPECT_EQ(l.fingers[0].inRange.bitPosition, 0u);  // usages 0x32..0x33 then 0x42
    EXPECT_EQ(l.fingers[0].tipSwitch.bitPosition, 2u);
    EXPECT_EQ(l.fingers[0].x.bitPosition, 8u);
    EXPECT_EQ(l.fingers[0].x.bitSize, 12);
    EXPECT_TRUE(l.fingers[0].x.isSigned);
    EXPECT_EQ(l.fingers[0].x.logicalMin, -2048);
    EXPECT_EQ(l.fingers[0].y.bitPosition, 24u);
    EXPECT_EQ(l.fingers[0].y.bitSize, 16);  // Pop restored the size and range
    EXPECT_EQ(l.fingers[0].y.logicalMax, 4095);
    EXPECT_FALSE(l.contactCount.Present());
    EXPECT_FALSE(l.deviceMode.present);
    EXPECT_TRUE(MakeDeviceModeReport(l, kDeviceModeMultiInput).empty());
    std::string missing;
    EXPECT_FALSE(LayoutHasRequiredUsages(l, missing));
    EXPECT_EQ(missing, "Contact Identifier");
}

// Slots are found by their fields, whatever names their collections, and only the
// touch report's length is bounded.
TEST(ReportDescriptor, FindsSlotsByTheirFields) {
    // A vendor's diagnostics beside the screen: report 5, 4096 bytes.
    const Bytes vendor4k = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x05, 0x15, 0x00, 0x26,
                            0xFF, 0x00, 0x75, 0x08, 0x96, 0x00, 0x10, 0x09, 0x01, 0x81, 0x02, 0xC0};
    // A Device Mode in a feature report of 5000 bytes: left out, the screen kept.
    const Bytes hugeMode = {0x05, 0x0D, 0x09, 0x0E, 0xA1, 0x01, 0x85, 0x03, 0x09,
                            0x52, 0x75, 0x08, 0x95, 0x01, 0xB1, 0x02, 0x06, 0x00,
                            0xFF, 0x09, 0x01, 0x96, 0x87, 0x13, 0xB1, 0x02, 0xC0};
    const Bytes wrapperOpen = kUnnamedLogical;
    struct Case {
        const char* what;
        Bytes descriptor;
        int slots;
        int ignored;
        uint32_t countBit;  // 0: no Contact Count
        bool deviceMode;
    } cases[] = {
        {"named Finger", TouchScreen(Repeat(Slot(kFingerNamed), 2) + kContactCount), 2, 0, 8 + 96,
         false},
        {"usage 0x22 on the Generic Desktop page",
         TouchScreen(Repeat(Slot(kFingerDesktopPage), 2) + kContactCount), 2, 0, 8 + 96, false},
        {"unnamed logical and physical collections",
         TouchScreen(Slot(kUnnamedLogical) + Slot(kUnnamedPhysical) + kContactCount), 2, 0, 8 + 96,
         false},
        {"slots inside one logical wrapper",
         TouchScreen(wrapperOpen + Repeat(Slot(kFingerNamed), 3) + Bytes{0xC0} + kContactCount), 3,
         0, 8 + 144, false},
        {"X and Y in a physical collection inside the slot",
         TouchScreen(
             Repeat(kFingerNamed + Bytes{0x09, 0x42, 0x15, 0x00, 0x25, 0x01, 0x75, 0x08, 0x95,
                                         0x01, 0x81, 0x02, 0x09, 0x51, 0x81, 0x02, 0xA1, 0x00,
                                         0x05, 0x01, 0x26, 0xFF, 0x0F, 0x75, 0x10, 0x09, 0x30,
                                         0x81, 0x02, 0x09, 0x31, 0x81, 0x02, 0xC0, 0xC0},
                    2)),
         2, 0, 0, false},
        {"Contact Count inside the first slot",
         TouchScreen(Slot(kFingerNamed, kContactCount) + Slot(kFingerNamed)), 2, 0, 8 + 48, false},
        {"20 slots", TouchScreen(Repeat(Slot(kFingerNamed), 20) + kContactCount), 20, 0,
         8 + 20 * 48, false},
        {"40 slots: the first 32 kept", TouchScreen(Repeat(Slot(kFingerNamed), 40) + kContactCount),
         kMaxContacts, 8, 8 + 40 * 48, false},
        {"a 4 KB report of another collection",
         vendor4k + TouchScreen(Repeat(Slot(kFingerNamed), 2) + kContactCount) + vendor4k, 2, 0,
         8 + 96, false},
        {"a Device Mode report too long to write",
         TouchScreen(Slot(kFingerNamed) + kContactCount) + hugeMode, 1, 0, 8 + 48, false},
        {"a pen's 64-bit serial number beside the screen",
         TouchScreen(Slot(kFingerNamed) + kContactCount) +
             Bytes{0x05, 0x0D, 0x09, 0x02, 0xA1, 0x01, 0x85, 0x02, 0x09, 0x20, 0xA1,
                   0x00, 0x09, 0x5B, 0x75, 0x40, 0x95, 0x01, 0x81, 0x02, 0xC0, 0xC0},
         1, 0, 8 + 48, false},
        {"X and Y each with a Report Count of 2: the first of each",
         TouchScreen(
             Repeat(kFingerNamed + Bytes{0x09, 0x42, 0x15, 0x00, 0x25, 0x01, 0x75, 0x08, 0x95,
                                         0x01, 0x81, 0x02, 0x09, 0x51, 0x81, 0x02, 0x05, 0x01,
                                         0x26, 0xFF, 0x0F, 0x75, 0x10, 0x95, 0x02, 0x09, 0x30,
                                         0x81, 0x02, 0x09, 0x31, 0x81, 0x02, 0xC0},
                    2) +
             Bytes{0x95, 0x01} + kContactCount),
         2, 0, 8 + 2 * 80, false},
        {"a Device Mode report of its own",
         TouchScreen(Slot(kFingerNamed)) + Bytes{0x05, 0x0D, 0x09, 0x0E, 0xA1, 0x01, 0x85, 0x03,
                                                 0x09, 0x52, 0x75, 0x08, 0x95, 0x01, 0xB1, 0x02,
                                                 0xC0},
         1, 0, 0, true},
    };
    for (const Case& c : cases) {
        ContactLayout l;
        std::string reason;
        ASSERT_TRUE(Parse(c.descriptor, l, reason)) << c.what << ": " << reason;
        EXPECT_EQ(l.fingerCount, c.slots) << c.what;
        EXPECT_EQ(l.slotsIgnored, c.ignored) << c.what;
        EXPECT_EQ(l.reportId, 1) << c.what;
        EXPECT_EQ(l.contactCount.Present() ? l.contactCount.bitPosition : 0u, c.countBit) << c.what;
        EXPECT_EQ(l.deviceMode.present, c.deviceMode) << c.what;
        // Every slot has its own four fields, in the order they are described.
        for (int i = 1; i < l.fingerCount; ++i) {
            EXPECT_GT(l.fingers[i].x.bitPosition, l.fingers[i - 1].y.bitPosition) << c.what;
            EXPECT_TRUE(l.fingers[i].tipSwitch.Present() && l.fingers[i].contactId.Present())
                << c.what;
        }
    }
}

TEST(ReportDescriptor, RefusesWhatItCannotUse) {
    Bytes truncated = Screen(1);
    truncated.resize(truncated.size() - 3);  // ends inside "85 03"... and open collections
    Bytes cut = {0x05, 0x0D, 0x09, 0x04, 0xA1, 0x01, 0x26, 0xFF};
    Bytes wide = Screen(1);
    wide[44] = 0x21;  // X's report size 16 -> 33
    Bytes deep(static_cast<size_t>(kMaxCollectionDepth + 1) * 2, 0xA1);
    for (size_t i = 1; i < deep.size(); i += 2) deep[i] = 0x02;
    Bytes pushes(static_cast<size_t>(kMaxGlobalStackDepth + 1), 0xA4);
    // A slot, then 512 bytes of padding in the same (touch) report.
    Bytes longReport =
        TouchScreen(Slot(kFingerNamed) + Bytes{0x75, 0x08, 0x96, 0x00, 0x02, 0x81, 0x03});
    Bytes mouse = {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x30,
                   0x75, 0x10, 0x95, 0x01, 0x81, 0x02, 0xC0};
    Bytes noY = {0x05, 0x0D, 0x09, 0x04, 0xA1, 0x01, 0x09, 0x22, 0xA1, 0x02, 0x05, 0x01, 0x26,
                 0xFF, 0x0F, 0x75, 0x10, 0x95, 0x01, 0x09, 0x30, 0x81, 0x02, 0xC0, 0xC0};
    struct Case {
        const char* what;
        Bytes bytes;
        const char* reason;
    } cases[] = {
        {"cut inside an item", cut, "cut short"},
        {"collections left open", truncated, "not closed"},
        {"a field of 33 bits", wide, "wider than 32"},
        {"nesting too deep", deep, "nested deeper"},
        {"Push too deep", pushes, "Push nested deeper"},
        {"Pop without Push", {0xB4}, "Pop without Push"},
        {"End Collection alone", {0xC0}, "without a Collection"},
        {"a report too long", longReport, "longer than"},
        {"report ID 0", {0x85, 0x00}, "report ID 0"},
        {"a mouse, no touch screen", mouse, "no contact slot"},
        {"a finger without Y", noY, "no contact slot"},
        {"X and Y without Tip Switch, In Range, Confidence or Identifier",
         TouchScreen(Bytes{0xA1, 0x02, 0x05, 0x01, 0x26, 0xFF, 0x0F, 0x75, 0x10, 0x95,
                           0x01, 0x09, 0x30, 0x81, 0x02, 0x09, 0x31, 0x81, 0x02, 0xC0}),
         "no contact slot"},
        {"a long item cut short", {0xFE, 0x05, 0x00, 0x01}, "cut short"},
        {"nothing", {}, "no contact slot"},
    };
    for (const Case& c : cases) {
        ContactLayout l;
        l.reportId = 77;
        std::string reason;
        EXPECT_FALSE(Parse(c.bytes, l, reason)) << c.what;
        EXPECT_NE(reason.find(c.reason), std::string::npos) << c.what << ": " << reason;
        EXPECT_EQ(l.reportId, 77) << c.what << ": the layout is left as it was";
    }
}

TEST(ContactLayoutText, RoundTripsAndRefusesMalformedText) {
    for (int fingers : {1, 2, kMaxContacts}) {
        ContactLayout l;
        std::string reason;
        ASSERT_TRUE(Parse(Screen(fingers), l, reason)) << reason;
        l.fingers[0].x.logicalMin = -5;  // a signed field, too
        l.fingers[0].x.isSigned = true;
        const std::string text = FormatContactLayout(l);
        ContactLayout back;
        ASSERT_TRUE(ParseContactLayout(text, back, reason)) << text << ": " << reason;
        EXPECT_TRUE(back == l) << text;
        EXPECT_EQ(FormatContactLayout(back), text);
    }
    const char* bad[] = {
        "bytes=14 finger x=8:16:0:10 y=24:16:0:10",                    // no id
        "id=1 finger x=8:16:0:10 y=24:16:0:10",                        // no bytes
        "id=1 bytes=14",                                               // no finger
        "id=1 bytes=14 finger x=8:16:0:10",                            // no Y
        "id=1 bytes=14 finger x=8:33:0:10 y=24:16:0:10",               // too wide
        "id=1 bytes=4 finger x=8:16:0:10 y=24:16:0:10",                // Y past the end
        "id=1 bytes=14 finger x=8:16:10:10 y=24:16:0:10",              // empty range
        "id=1 bytes=14 finger x=8:16:0 y=24:16:0:10",                  // three numbers
        "id=1 bytes=14 finger z=8:16:0:10 y=24:16:0:10",               // unknown field
        "id=1 bytes=14 mode=2:0:8:0 finger x=8:16:0:10 y=24:16:0:10",  // mode of 0 bytes
        "id=1 bytes=14 colour=3 finger x=8:16:0:10 y=24:16:0:10",      // unknown word
        "id=256 bytes=14 finger x=8:16:0:10 y=24:16:0:10",             // ID out of range
    };
    for (const char* text : bad) {
        ContactLayout l;
        std::string reason;
        EXPECT_FALSE(ParseContactLayout(text, l, reason)) << text;
        EXPECT_FALSE(reason.empty()) << text;
    }
}

TEST(ContactLayoutDecode, ExtractsBitsAndDropsForeignOrShortReports) {
    const uint8_t data[] = {0xA5, 0x3C, 0xFF, 0x80, 0x01};
    struct Case {
        uint32_t position;
        uint8_t size;
        bool isSigned;
        int64_t value;
    } cases[] = {
        {0, 1, false, 1},           {1, 3, false, 2},
        {4, 8, false, 0xCA},        {8, 16, false, 0xFF3C},
        {8, 16, true, -196},        {12, 12, true, -13},
        {0, 32, false, 0x80FF3CA5}, {0, 32, true, static_cast<int32_t>(0x80FF3CA5)},
        {7, 32, false, 0x0301FE79}, {39, 1, false, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ExtractField(data, c.position, c.size, c.isSigned), c.value)
            << c.position << "+" << int(c.size);
    }
    ContactLayout l;
    std::string reason;
    ASSERT_TRUE(Parse(Screen(2), l, reason));
    Bytes report(l.inputReportLength, 0);
    report[0] = 1;
    report[1] = 1;
    report[2] = 9;
    report[3] = 0x34;
    report[4] = 0x02;
    report[13] = 1;
    DecodedReport out;
    ASSERT_EQ(DecodeContactReport(l, report.data(), report.size(), out), LayoutDecodeResult::kOk);
    EXPECT_TRUE(out.slots[0].tipSwitch);
    EXPECT_EQ(out.slots[0].id, 9u);
    EXPECT_EQ(out.slots[0].x, 0x234);
    EXPECT_EQ(out.contactCount, 1);
    EXPECT_EQ(DecodeContactReport(l, report.data(), report.size() - 1, out),
              LayoutDecodeResult::kTooShort);
    report[0] = 2;
    EXPECT_EQ(DecodeContactReport(l, report.data(), report.size(), out),
              LayoutDecodeResult::kUnknownReportId);
}

// Feeds frames of (id, x, y, tip) contacts to a two-slot screen with a count.
struct Rig {
    explicit Rig(DeviceQuirks q = DeviceQuirks(), int fingers = 2, int32_t yMax = 4095) {
        std::string reason;
        EXPECT_TRUE(Parse(Screen(fingers), layout, reason));
        for (int i = 0; i < fingers; ++i) layout.fingers[i].y.logicalMax = yMax;
        screen = std::make_unique<GenericTouchScreen>(layout, q);
    }
    struct C {
        uint8_t id;
        uint16_t x, y;
        bool tip;
    };
    // One report holding `slots` (count written only when `count` >= 0).
    ScreenOutcome Report(std::vector<C> slots, int count, uint32_t tick) {
        Bytes r(layout.inputReportLength, 0);
        r[0] = 1;
        for (size_t i = 0; i < slots.size(); ++i) {
            uint8_t* p = &r[1 + 6 * i];
            p[0] = slots[i].tip ? 1 : 0;
            p[1] = slots[i].id;
            p[2] = slots[i].x & 0xFF;
            p[3] = slots[i].x >> 8;
            p[4] = slots[i].y & 0xFF;
            p[5] = slots[i].y >> 8;
        }
        r.back() = static_cast<uint8_t>(count < 0 ? 0 : count);
        return screen->Feed(r.data(), r.size(), tick, out);
    }
    ContactLayout layout;
    std::unique_ptr<GenericTouchScreen> screen;
    PanelInputReport out;
};

TEST(GenericTouchScreen, QuirksMapPositionsAndIds) {
    struct Case {
        const char* what;
        DeviceQuirks q;
        uint16_t x, y;
        uint8_t id;
        uint16_t wantX, wantY;
        uint8_t wantId;
        bool touching;
    };
    DeviceQuirks swap, invert, fromOne, slotIds;
    swap.swapXY = true;
    invert.invertX = invert.invertY = true;
    fromOne.idsStartAtOne = true;
    slotIds.contactIdUnusable = true;
    const Case cases[] = {
        {"standard", DeviceQuirks(), 4095, 1000, 7, 4095, 1000, 7, true},
        {"X and Y swapped", swap, 4095, 1000, 7, 1000, 4095, 7, true},
        {"both inverted", invert, 4095, 1000, 7, 0, 3095, 7, true},
        {"ids from 1", fromOne, 10, 20, 3, 10, 20, 2, true},
        {"id 0 is an empty slot", fromOne, 10, 20, 0, 0, 0, 0, false},
        {"slot position", slotIds, 10, 20, 200, 10, 20, 0, true},
    };
    for (const Case& c : cases) {
        Rig rig(c.q);
        ASSERT_EQ(rig.Report({{c.id, c.x, c.y, true}}, 1, 0), ScreenOutcome::kFrame) << c.what;
        // Y's range halved: a swap takes each position with its own range.
        Rig narrowY(c.q, 2, 2047);
        ASSERT_EQ(narrowY.Report({{c.id, c.x, uint16_t(c.y / 2), true}}, 1, 0),
                  ScreenOutcome::kFrame);
        EXPECT_EQ(narrowY.out.contact1.Touching(), c.touching) << c.what;
        if (c.touching) {
            EXPECT_NEAR(narrowY.out.contact1.x, c.wantX, 2) << c.what << ", Y of 0..2047";
            EXPECT_NEAR(narrowY.out.contact1.y, c.wantY, 2) << c.what << ", Y of 0..2047";
        }
        EXPECT_EQ(rig.out.contact1.Touching(), c.touching) << c.what;
        if (!c.touching) continue;
        EXPECT_EQ(rig.out.contact1.x, c.wantX) << c.what;
        EXPECT_EQ(rig.out.contact1.y, c.wantY) << c.what;
        EXPECT_EQ(rig.out.contact1.id, c.wantId) << c.what;
    }
}

TEST(GenericTouchScreen, FramesTrackingAndLifts) {
    {  // finger 1 stays finger 1; a third waits for a free slot, counted meanwhile
        Rig rig(DeviceQuirks(), 3);
        rig.Report({{5, 100, 100, true}}, 1, 0);
        rig.Report({{9, 200, 200, true}, {5, 100, 100, true}}, 2, 10);
        EXPECT_EQ(rig.out.contact1.id, 5);
        EXPECT_EQ(rig.out.contact2.id, 9);
        rig.Report({{9, 200, 200, true}, {7, 300, 300, true}, {5, 100, 100, true}}, 3, 20);
        EXPECT_EQ(rig.screen->IgnoredInLastFrame(), 1);
        rig.Report({{9, 200, 200, true}, {7, 300, 300, true}, {5, 100, 100, false}}, 3, 30);
        EXPECT_FALSE(rig.out.contact1.Touching());  // the up of 5 first ...
        EXPECT_EQ(rig.out.contact1.x, 100);
        rig.Report({{9, 200, 200, true}, {7, 300, 300, true}}, 2, 40);
        EXPECT_TRUE(rig.out.contact1.Touching());  // ... then 7 takes the free slot
        EXPECT_EQ(rig.out.contact1.id, 7);
        EXPECT_EQ(rig.out.contact2.id, 9);
        EXPECT_EQ(rig.screen->Counters().ignoredContacts, 2u);
    }
    {  // hybrid: the frame waits for its second report; a new count cuts it short,
       // and what it gathered goes on at once
        Rig rig;
        EXPECT_EQ(rig.Report({{1, 10, 10, true}, {2, 20, 20, true}}, 3, 0),
                  ScreenOutcome::kPending);
        EXPECT_EQ(rig.Report({{3, 30, 30, true}}, 0, 1), ScreenOutcome::kFrame);
        EXPECT_TRUE(rig.out.contact1.Touching() && rig.out.contact2.Touching());
        EXPECT_EQ(rig.Report({{1, 10, 10, true}, {2, 20, 20, true}}, 3, 8),
                  ScreenOutcome::kPending);
        EXPECT_EQ(rig.Report({{1, 11, 10, true}, {2, 21, 20, true}}, 3, 16), ScreenOutcome::kFrame);
        EXPECT_EQ(rig.out.contact1.x, 11);
        EXPECT_TRUE(rig.out.contact2.Touching());  // 3 was left out, not lifted
        EXPECT_EQ(rig.screen->Counters().abandonedFrames, 1u);
        // A frame that completes ends the run of cut frames.
        EXPECT_EQ(rig.Report({{3, 31, 30, true}}, 0, 24), ScreenOutcome::kFrame);
        EXPECT_FALSE(rig.screen->Counters().framePerReport);
    }
    {  // one slot, every report announcing two: read one frame per report for good
        Rig rig(DeviceQuirks(), 1);
        const ScreenOutcome want[] = {ScreenOutcome::kPending, ScreenOutcome::kFrame,
                                      ScreenOutcome::kFrame, ScreenOutcome::kFrame,
                                      ScreenOutcome::kFrame};
        for (int i = 0; i < 5; ++i) {
            const uint8_t id = static_cast<uint8_t>(i % 2);
            EXPECT_EQ(rig.Report({{id, uint16_t(100 + i), 100, true}}, 2, 10u * i), want[i]) << i;
            EXPECT_EQ(rig.screen->Counters().framePerReport, i >= 3) << i;
        }
        EXPECT_TRUE(rig.out.contact1.Touching() && rig.out.contact2.Touching());
        EXPECT_EQ(rig.out.contact1.x, 104);         // id 0, from this report
        EXPECT_EQ(rig.out.contact2.x, 103);         // id 1, from the one before
        rig.Report({{1, 103, 100, false}}, 2, 50);  // 1's own up lifts it
        EXPECT_FALSE(rig.out.contact2.Touching());
        EXPECT_TRUE(rig.out.contact1.Touching());
        rig.Report({}, 0, 60);  // a count of 0: nothing touches
        EXPECT_FALSE(rig.out.contact1.Touching());
    }
    {  // within a frame an empty slot does not lift a touching one of the same id,
       // whichever comes first
        Rig rig;
        rig.Report({{4, 10, 10, true}, {4, 0, 0, false}}, 2, 0);
        EXPECT_TRUE(rig.out.contact1.Touching());
        EXPECT_EQ(rig.out.contact1.x, 10);
        rig.Report({{4, 0, 0, false}, {4, 12, 10, true}}, 2, 10);
        EXPECT_TRUE(rig.out.contact1.Touching());
        EXPECT_EQ(rig.out.contact1.x, 12);
    }
    {  // a whole frame without a contact lifts it; without a count only silence does
        Rig rig;
        rig.Report({{1, 10, 10, true}, {2, 20, 20, true}}, 2, 0);
        rig.Report({{1, 10, 10, true}}, 1, 10);
        EXPECT_FALSE(rig.out.contact2.Touching());
        EXPECT_EQ(rig.screen->Counters().liftedNotSeen, 1u);

        DeviceQuirks noCount;
        noCount.noContactCount = true;
        Rig quiet(noCount);
        quiet.Report({{1, 10, 10, true}, {2, 20, 20, true}}, 2, 0);
        quiet.Report({{1, 10, 10, true}}, 0, 10);
        EXPECT_TRUE(quiet.out.contact2.Touching());  // not known to be a whole frame
        EXPECT_FALSE(quiet.screen->Expire(100, quiet.out));
        ASSERT_TRUE(quiet.screen->Expire(101, quiet.out));  // 101 ms without contact 2
        EXPECT_TRUE(quiet.out.contact1.Touching());
        EXPECT_FALSE(quiet.out.contact2.Touching());
        EXPECT_EQ(quiet.screen->Counters().liftedTimedOut, 1u);

        noCount.liftWhenNotSeen = true;
        Rig strict(noCount);
        strict.Report({{1, 10, 10, true}, {2, 20, 20, true}}, 0, 0);
        strict.Report({{1, 10, 10, true}}, 0, 10);
        EXPECT_FALSE(strict.out.contact2.Touching());
    }
    {  // dropped reports are counted and change nothing
        Rig rig;
        const uint8_t foreign[14] = {2};
        const uint8_t shortOne[3] = {1, 1, 0};
        EXPECT_EQ(rig.screen->Feed(foreign, sizeof foreign, 0, rig.out),
                  ScreenOutcome::kUnknownReportId);
        EXPECT_EQ(rig.screen->Feed(shortOne, sizeof shortOne, 0, rig.out),
                  ScreenOutcome::kTooShort);
        EXPECT_EQ(rig.screen->Counters().unknownReportId, 1u);
        EXPECT_EQ(rig.screen->Counters().tooShort, 1u);
        EXPECT_EQ(rig.screen->Counters().frames, 0u);

        ContactLayout broken = rig.layout;
        broken.fingers[1].y.bitPosition = 8 * 200;  // past the report's end
        GenericTouchScreen refused(broken, DeviceQuirks());
        const Bytes whole(rig.layout.inputReportLength, 1);
        EXPECT_EQ(refused.Feed(whole.data(), whole.size(), 0, rig.out),
                  ScreenOutcome::kUnusableLayout);
    }
}

TEST(QuirkTable, RowsAreUniqueAndFound) {
    size_t count = 0;
    const QuirkRow* rows = QuirkTable(count);
    ASSERT_GT(count, 0u);
    for (size_t i = 0; i < count; ++i) {
        for (size_t j = i + 1; j < count; ++j) {
            EXPECT_FALSE(rows[i].vendorId == rows[j].vendorId &&
                         rows[i].productId == rows[j].productId)
                << rows[i].device;
        }
        EXPECT_EQ(FindQuirkRow(rows[i].vendorId, rows[i].productId), &rows[i]);
        // A row is its vendor's and product's: the vendor's other products are standard.
        const uint16_t other = static_cast<uint16_t>(rows[i].productId ^ 0x5A5A);
        if (FindQuirkRow(rows[i].vendorId, other) == nullptr) {
            EXPECT_TRUE(FindQuirks(rows[i].vendorId, other) == DeviceQuirks()) << rows[i].device;
        }
    }
    EXPECT_TRUE(FindQuirks(0xFFFF, 0xFFFF) == DeviceQuirks());
}

TEST(TraceScreenDirectives, CheckedWhenParsed) {
    struct Case {
        const char* text;
        const char* reason;  // nullptr: accepted
    } cases[] = {
        {"input 01 02", "needs a 'descriptor' or 'layout'"},
        {"descriptor 05 0D 09 04 A1 01 C0", "unusable descriptor"},
        {"layout id=1 bytes=2 finger", "unusable layout"},
        {"layout id=1 bytes=5 finger x=0:16:0:9 y=16:16:0:9\ninput", "needs the report's bytes"},
        {"layout id=1 bytes=5 finger x=0:16:0:9 y=16:16:0:9\ninput 01 0G", "bad report byte"},
        {"ids 0x10000 1", "bad vendor ID"},
        {"ids 0x0408 0x3001\nlayout id=0 bytes=4 finger x=0:16:0:9 y=16:16:0:9\ninput 01", nullptr},
    };
    for (const Case& c : cases) {
        std::vector<TraceStep> steps;
        TraceError error;
        const bool ok = ParseTrace(c.text, TraceOptions(), steps, error);
        EXPECT_EQ(ok, c.reason == nullptr) << c.text;
        if (c.reason != nullptr) {
            EXPECT_NE(error.reason.find(c.reason), std::string::npos)
                << c.text << ": " << error.reason;
        }
    }
}

}  // namespace
}  // namespace tactra
