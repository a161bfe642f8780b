// Touch priority between several touch devices: one device drives the pointer and
// the gestures at a time, so that two hands on two screens never fight over one
// pointer nor mix into one gesture. The first device to touch owns the input until
// all its contacts have lifted; another device's touch meanwhile is ignored, and
// passed over until it lifts, also when the owner lifts first, so that no half
// touch ever reaches an engine. With one device nothing is ever ignored.
#pragma once

#include <array>

#include "device/mapping/device_sections.h"  // kMaxTouchDevices
#include "device/panel/touch_report.h"

namespace tactra {

enum class PriorityVerdict {
    kDrive,        // the batch goes to its device's engine
    kIgnore,       // the batch is dropped: another device drives, or this touch is passed over
    kIgnoreFirst,  // as kIgnore, the first batch of a touch passed over (worth a log line)
};

class TouchPriority {
public:
    // No device owns the input.
    static constexpr int kNobody = -1;

    // A batch of `count` records from device `device` (0 .. kMaxTouchDevices - 1).
    PriorityVerdict Admit(int device, const TOUCHINPUT* records, int count);
    // The device's reading ended: it owns nothing and touches nothing any more.
    void Release(int device);
    // The touch switch: every device starts afresh (the engines let go themselves).
    void Reset();

    int Owner() const { return owner_; }

private:
    int owner_ = kNobody;
    // Each device's touch as its latest batch left it, and whether that touch is
    // being passed over.
    std::array<bool, kMaxTouchDevices> touching_{};
    std::array<bool, kMaxTouchDevices> passedOver_{};
};

// Whether a contact of the batch is still on the device after it.
bool BatchTouches(const TOUCHINPUT* records, int count);

}  // namespace tactra
