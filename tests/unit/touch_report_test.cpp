#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "device/panel/touch_report.h"
#include "device/trace/trace.h"

namespace tactra {
namespace {

PanelInputReport Report(bool t1, bool t2, uint8_t id1 = 0, uint8_t id2 = 1) {
    PanelInputReport r;
    r.reportId = 1;
    r.contact1.status = t1 ? 1 : 0;
    r.contact1.id = id1;
    r.contact2.status = t2 ? 1 : 0;
    r.contact2.id = id2;
    return r;
}

struct Rig {
    explicit Rig(ReaderRule rule) : builder(rule) { std::memset(records, 0xAB, sizeof records); }
    int Feed(bool t1, bool t2, MappedPoint p1 = {100, 200}, MappedPoint p2 = {300, 400},
             uint32_t tick = 1000) {
        return builder.Build(Report(t1, t2, 7, 9), p1, p2, handle, tick, records);
    }
    BatchBuilder builder;
    TOUCHINPUT records[kTouchRecordCapacity];
    void* handle = reinterpret_cast<void*>(0x1234);
};

TEST(PanelReport, DecodesLittleEndianFieldsAndIgnoresBytesPastThirteen) {
    const uint8_t bytes[] = {0x01, 0x03, 0x05, 0x34, 0x12, 0xFF, 0x0F, 0x00,
                             0x06, 0x01, 0x80, 0x00, 0x00, 0xEE, 0xEE};
    PanelInputReport r;
    ASSERT_EQ(DecodePanelReport(bytes, sizeof bytes, r), DecodeResult::kOk);
    EXPECT_EQ(r.reportId, 1);
    EXPECT_TRUE(r.contact1.Touching());  // status 3: only bit 0 counts
    EXPECT_EQ(r.contact1.id, 5);
    EXPECT_EQ(r.contact1.x, 0x1234);
    EXPECT_EQ(r.contact1.y, 0x0FFF);
    EXPECT_FALSE(r.contact2.Touching());
    EXPECT_EQ(r.contact2.id, 6);
    EXPECT_EQ(r.contact2.x, 0x8001);
    EXPECT_EQ(r.contact2.y, 0);
}

TEST(PanelReport, ShortReportIsRefusedWithoutReadingPastItsEnd) {
    // Heap copies of exact length let AddressSanitizer catch any read beyond them.
    for (size_t len = 0; len < kPanelReportMinLength; ++len) {
        std::vector<uint8_t> bytes(len, 0x01);
        PanelInputReport r;
        r.reportId = 42;
        EXPECT_EQ(DecodePanelReport(bytes.data(), bytes.size(), r), DecodeResult::kTooShort);
        EXPECT_EQ(r.reportId, 42) << "nothing is written on refusal";
    }
    PanelInputReport r;
    EXPECT_EQ(DecodePanelReport(nullptr, 13, r), DecodeResult::kTooShort);
    std::vector<uint8_t> exact(13, 0);
    EXPECT_EQ(DecodePanelReport(exact.data(), exact.size(), r), DecodeResult::kOk);
}

// Every row of the flag table, for both readers; they differ only where contact 1
// is not touching now or before.
TEST(BatchBuilder, FlagTableForBothReaders) {
    struct Row {
        bool before1, now1, before2, now2;
        int tactraCount;
        uint32_t flags1, flags2;
        int libraryCount;
    };
    const Row rows[] = {
        {false, true, false, false, 1, 0x1A, 0x04, 1},
        {true, true, false, false, 1, 0x19, 0x04, 1},
        {true, false, false, false, 1, 0x1C, 0x04, 1},
        {false, false, false, false, 0, 0x04, 0x04, 1},
        {true, true, false, true, 2, 0x19, 0x0A, 2},
        {true, true, true, true, 2, 0x19, 0x09, 2},
        {true, true, true, false, 2, 0x19, 0x0C, 2},
        {false, false, false, true, 0, 0x04, 0x0A, 2},
        {false, false, true, true, 0, 0x04, 0x09, 2},
        {false, false, true, false, 0, 0x04, 0x0C, 2},
    };
    for (ReaderRule rule : {ReaderRule::kTactra, ReaderRule::kLibrary}) {
        const bool tactra = rule == ReaderRule::kTactra;
        for (const Row& row : rows) {
            SCOPED_TRACE(::testing::Message() << (tactra ? "tactra " : "library ") << row.before1
                                              << row.now1 << row.before2 << row.now2);
            Rig rig(rule);
            // Bring both slots into their "before" states; contact 2's state only
            // changes in a report that is delivered, so contact 1 touches first.
            if (row.before1 || row.before2) {
                rig.Feed(true, row.before2);
                if (!row.before1) rig.Feed(false, row.before2);
                if (!row.before1) rig.Feed(false, row.before2);
            }
            ASSERT_EQ(rig.builder.Touching1(), row.before1);
            ASSERT_EQ(rig.builder.Touching2(), row.before2);
            const int count = rig.Feed(row.now1, row.now2, {11, 12}, {21, 22}, 5000);
            EXPECT_EQ(count, tactra ? row.tactraCount : row.libraryCount);
            if (count == 0) continue;
            EXPECT_EQ(rig.records[0].dwFlags, row.flags1);
            EXPECT_EQ(rig.records[1].dwFlags, row.flags2);
            EXPECT_EQ(rig.records[0].x, 11);
            EXPECT_EQ(rig.records[1].y, 22);
        }
    }
}

TEST(BatchBuilder, TactraSuppressesReportWithContactOneIdleAndKeepsState) {
    Rig rig(ReaderRule::kTactra);
    // Contact 2 alone: nothing delivered, contact 2's state unchanged.
    EXPECT_EQ(rig.Feed(false, true), 0);
    EXPECT_FALSE(rig.builder.Touching1());
    EXPECT_FALSE(rig.builder.Touching2());
    // Finger 1 down, finger 2 down, finger 1 lifts: finger 2 is no longer reported.
    EXPECT_EQ(rig.Feed(true, true), 2);
    EXPECT_EQ(rig.Feed(false, true), 2);
    EXPECT_EQ(rig.records[0].dwFlags, 0x1Cu);
    EXPECT_EQ(rig.records[1].dwFlags, 0x09u);
    EXPECT_EQ(rig.Feed(false, true), 0);
    EXPECT_EQ(rig.Feed(false, false), 0);
    EXPECT_TRUE(rig.builder.Touching2()) << "a suppressed report changes no state";
}

TEST(BatchBuilder, LibraryDeliversContactTwoAloneBehindAnUpRecord) {
    Rig rig(ReaderRule::kLibrary);
    EXPECT_EQ(rig.Feed(false, false), 1);
    EXPECT_EQ(rig.records[0].dwFlags, 0x04u);
    const uint32_t keptId = rig.records[0].dwID;  // untouched: 0xABABABAB from the fill
    EXPECT_EQ(rig.Feed(false, true, {1, 2}, {3, 4}), 2);
    EXPECT_EQ(rig.records[0].dwFlags, 0x04u);
    EXPECT_EQ(rig.records[0].x, 1);
    EXPECT_EQ(rig.records[0].dwID, keptId) << "an idle contact 1 writes only x, y, dwFlags";
    EXPECT_EQ(rig.records[1].dwFlags, 0x0Au);
    EXPECT_EQ(rig.records[1].dwID, 9u);
    EXPECT_TRUE(rig.builder.Touching2());
}

TEST(BatchBuilder, BothLiftedAtOnceThenNothing) {
    Rig rig(ReaderRule::kTactra);
    rig.Feed(true, true);
    EXPECT_EQ(rig.Feed(false, false), 2);
    EXPECT_EQ(rig.records[0].dwFlags, 0x1Cu);
    EXPECT_EQ(rig.records[1].dwFlags, 0x0Cu);
    EXPECT_EQ(rig.Feed(false, false), 0);
}

TEST(BatchBuilder, DeliveredRecordsCarryEveryFieldAndSlotTwoOfAOneRecordBatch) {
    Rig rig(ReaderRule::kTactra);
    EXPECT_EQ(rig.Feed(true, false, {-5, 7}, {300, 400}, 77), 1);
    const TOUCHINPUT& r1 = rig.records[0];
    EXPECT_EQ(r1.x, -5) << "no clamping in this layer";
    EXPECT_EQ(r1.y, 7);
    EXPECT_EQ(r1.hSource, rig.handle);
    EXPECT_EQ(r1.dwID, 7u);
    EXPECT_EQ(r1.dwFlags, 0x1Au);
    EXPECT_EQ(r1.dwMask, 0u);
    EXPECT_EQ(r1.dwTime, 77u);
    EXPECT_EQ(r1.cxContact, 0u);
    EXPECT_EQ(r1.cyContact, 0u);
    // Slot 2 is not part of the batch but holds contact 2's position and UP.
    const TOUCHINPUT& r2 = rig.records[1];
    EXPECT_EQ(r2.x, 300);
    EXPECT_EQ(r2.y, 400);
    EXPECT_EQ(r2.dwFlags, 0x04u);
    EXPECT_EQ(r2.dwID, 0xABABABABu);
    EXPECT_EQ(r2.dwTime, 0xABABABABu);
    // Second finger added.
    EXPECT_EQ(rig.Feed(true, true, {1, 1}, {2, 2}, 78), 2);
    EXPECT_EQ(rig.records[0].dwFlags, 0x19u);
    EXPECT_EQ(rig.records[1].dwFlags, 0x0Au);
    EXPECT_EQ(rig.records[1].dwID, 9u);
    EXPECT_EQ(rig.records[1].dwTime, 78u);
}

TEST(BatchBuilder, RecordsAreDecodedFromTraceTouchShorthand) {
    // `touch` keeps a lifted contact at its previous raw position.
    std::vector<TraceStep> steps;
    TraceError error;
    ASSERT_TRUE(ParseTrace("touch 10,20 30,40\ntouch - 50,60\n", {}, steps, error));
    PanelInputReport r;
    ASSERT_EQ(DecodePanelReport(steps[1].bytes.data(), steps[1].bytes.size(), r),
              DecodeResult::kOk);
    EXPECT_FALSE(r.contact1.Touching());
    EXPECT_EQ(r.contact1.x, 10);
    EXPECT_EQ(r.contact1.y, 20);
    EXPECT_TRUE(r.contact2.Touching());
    EXPECT_EQ(r.contact2.id, 1);
    EXPECT_EQ(r.contact2.x, 50);
}

}  // namespace
}  // namespace tactra
