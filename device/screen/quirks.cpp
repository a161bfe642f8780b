#include "device/screen/quirks.h"

namespace tactra {

namespace {

DeviceQuirks ValidWhen(ValidBit bit, bool contactIdUnusable = false) {
    DeviceQuirks q;
    q.validBit = bit;
    q.contactIdUnusable = contactIdUnusable;
    return q;
}

// One row per device that deviates from the standard; keep them sorted by vendor and
// product. Each row has a trace in tests/traces named after the device.
const QuirkRow kQuirkRows[] = {
    // Quanta 0408:3001: Confidence, not Tip Switch, tells a contact, as the Linux
    // kernel's generic driver treats this screen (tests/traces/generic-quanta-3001.trace).
    {0x0408, 0x3001, "Quanta 0408:3001", ValidWhen(ValidBit::kConfidence)},
    // PixArt 093A:8002: In Range tells a contact and the slot's position identifies
    // it, as the Linux kernel's generic driver treats this screen
    // (tests/traces/generic-pixart.trace).
    {0x093A, 0x8002, "PixArt 093A:8002", ValidWhen(ValidBit::kInRange, true)},
};

}  // namespace

const QuirkRow* QuirkTable(size_t& count) {
    count = sizeof kQuirkRows / sizeof kQuirkRows[0];
    return kQuirkRows;
}

const QuirkRow* FindQuirkRow(uint16_t vendorId, uint16_t productId) {
    for (const QuirkRow& row : kQuirkRows) {
        if (row.vendorId == vendorId && row.productId == productId) return &row;
    }
    return nullptr;
}

DeviceQuirks FindQuirks(uint16_t vendorId, uint16_t productId) {
    const QuirkRow* row = FindQuirkRow(vendorId, productId);
    return row != nullptr ? row->quirks : DeviceQuirks();
}

}  // namespace tactra
