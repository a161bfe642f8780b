// Per-device deviations from the standard description of a touch screen, as data:
// one table (quirks.cpp) keyed by USB vendor and product ID. A device that needs
// one gets a row there, and a trace in tests/traces that shows it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tactra {

// The bit that says a slot carries a contact.
enum class ValidBit {
    kTipSwitch,   // every slot within the frame's count is a contact; Tip Switch says touching
    kInRange,     // a slot is a contact only while In Range is set
    kConfidence,  // a slot is a contact only while Confidence is set (palms are not)
};

struct DeviceQuirks {
    ValidBit validBit = ValidBit::kTipSwitch;
    bool contactIdUnusable = false;  // the slot's position in the frame identifies a contact
    bool idsStartAtOne = false;      // identifier 0 marks an empty slot
    bool noContactCount = false;     // the Contact Count field is not to be trusted
    bool swapXY = false;             // applied first, then the inversions
    bool invertX = false;
    bool invertY = false;
    bool liftWhenNotSeen = false;  // every report is a whole frame, even without a count

    bool operator==(const DeviceQuirks& o) const {
        return validBit == o.validBit && contactIdUnusable == o.contactIdUnusable &&
               idsStartAtOne == o.idsStartAtOne && noContactCount == o.noContactCount &&
               swapXY == o.swapXY && invertX == o.invertX && invertY == o.invertY &&
               liftWhenNotSeen == o.liftWhenNotSeen;
    }
};

struct QuirkRow {
    uint16_t vendorId;
    uint16_t productId;
    const char* device;  // maker and model, for the log
    DeviceQuirks quirks;
};

// The table's rows, in order.
const QuirkRow* QuirkTable(size_t& count);
// The row of that device, or nullptr when it needs none.
const QuirkRow* FindQuirkRow(uint16_t vendorId, uint16_t productId);
// Its quirks, or the standard behaviour (all defaults) when it has no row.
DeviceQuirks FindQuirks(uint16_t vendorId, uint16_t productId);

}  // namespace tactra
