// A HID touch screen described by its contact layout: its reports are gathered into
// frames (parallel, hybrid or one contact per report), its contacts tracked by their
// identifiers, and each frame handed on as a two-contact report in the panel's own
// form (device/panel/touch_report.h), so that the one path from a report to a batch
// (device/mapping/report_pipeline.h) serves it unchanged. Time is passed in; nothing here
// reads a clock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "device/screen/contact_layout.h"
#include "device/screen/quirks.h"
#include "device/panel/touch_report.h"

namespace tactra {

// A touching contact not reported for longer than this is lifted.
constexpr uint32_t kContactTimeoutMs = 100;
// The panel range a screen's positions are scaled to, unless told another.
constexpr int32_t kGenericPanelMax = 4095;

struct GenericScreenCounters {
    uint32_t frames = 0;           // frames handed on
    uint32_t tooShort = 0;         // reports dropped: shorter than the layout's
    uint32_t unknownReportId = 0;  // reports dropped: another report ID
    uint32_t ignoredContacts = 0;  // touching contacts beyond the two, summed over frames
    uint32_t liftedNotSeen = 0;    // contacts lifted because a whole frame left them out
    uint32_t liftedTimedOut = 0;   // contacts lifted after kContactTimeoutMs of silence
    uint32_t abandonedFrames = 0;  // frames a new frame cut short, their contacts handed on
    bool framePerReport = false;   // every frame was cut short: each report is read as one
};

// Frames cut short in a row, none completed between, after which a screen is read one
// frame per report for good: a device with fewer slots than the contacts it announces.
constexpr int kRestartsForFramePerReport = 3;

// The counters in words, for the diagnostic log's verbose lines.
std::string DescribeScreenCounters(const GenericScreenCounters& counters);

enum class ScreenOutcome {
    kFrame,            // a frame is complete: the report holds it
    kPending,          // a hybrid frame waits for its next report
    kTooShort,         // dropped and counted
    kUnknownReportId,  // dropped and counted
    kUnusableLayout,   // the layout failed CheckContactLayout: nothing is decoded
};

class GenericTouchScreen {
public:
    // A layout that fails CheckContactLayout (the parsers never give one) is kept but
    // never decoded: every report is refused with kUnusableLayout.
    GenericTouchScreen(const ContactLayout& layout, const DeviceQuirks& quirks);

    // The panel range positions are scaled to (default kGenericPanelMax each).
    void SetPanelRange(int32_t maxX, int32_t maxY);

    // One input report as the device sends it. On kFrame, `report` holds Tactra's
    // two contacts (report ID 1, raw positions in the panel range).
    ScreenOutcome Feed(const uint8_t* data, size_t length, uint32_t tick, PanelInputReport& report);

    // Lifts the contacts silent for longer than kContactTimeoutMs at `tick`; true,
    // with the report to hand on, when one of them was in Tactra's two.
    bool Expire(uint32_t tick, PanelInputReport& report);

    const GenericScreenCounters& Counters() const { return counters_; }
    // Touching contacts the latest frame left out of the two.
    int IgnoredInLastFrame() const { return ignoredLast_; }
    const ContactLayout& Layout() const { return layout_; }

private:
    struct Entry {
        uint32_t key = 0;
        bool touching = false;
        uint16_t x = 0;
        uint16_t y = 0;
    };
    struct Contact {
        uint32_t key = 0;
        bool touching = false;
        uint16_t x = 0;
        uint16_t y = 0;
        uint32_t lastSeen = 0;
        uint32_t arrival = 0;
    };
    struct Slot {
        int contact = -1;  // index in contacts_, -1: free
        uint8_t id = 0;
        uint16_t x = 0;
        uint16_t y = 0;
    };

    void AddEntry(const DecodedContact& c, int finger, uint32_t position);
    void Commit(bool liftNotSeen, uint32_t tick, PanelInputReport& report);
    int Find(uint32_t key) const;

    ContactLayout layout_;
    DeviceQuirks quirks_;
    bool usable_ = false;
    int32_t panelMaxX_ = kGenericPanelMax;
    int32_t panelMaxY_ = kGenericPanelMax;

    // The frame being gathered.
    Entry entries_[kMaxContacts];
    int entryCount_ = 0;
    bool pending_ = false;
    int32_t expected_ = 0;
    int32_t received_ = 0;
    int restartsInRow_ = 0;

    Contact contacts_[kMaxContacts];
    int contactCount_ = 0;
    uint32_t nextArrival_ = 0;
    Slot slots_[2];

    GenericScreenCounters counters_;
    int ignoredLast_ = 0;
    DecodedReport decoded_;
};

}  // namespace tactra
