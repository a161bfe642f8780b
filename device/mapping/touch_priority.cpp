#include "device/mapping/touch_priority.h"

namespace tactra {

bool BatchTouches(const TOUCHINPUT* records, int count) {
    for (int i = 0; i < count; ++i) {
        if ((records[i].dwFlags & (kTouchEventDown | kTouchEventMove)) != 0 &&
            (records[i].dwFlags & kTouchEventUp) == 0)
            return true;
    }
    return false;
}

PriorityVerdict TouchPriority::Admit(int device, const TOUCHINPUT* records, int count) {
    if (device < 0 || device >= kMaxTouchDevices) return PriorityVerdict::kIgnore;
    const size_t d = static_cast<size_t>(device);
    const bool touching = BatchTouches(records, count);
    const bool wasTouching = touching_[d];
    touching_[d] = touching;
    if (owner_ == kNobody && !passedOver_[d]) owner_ = device;
    if (owner_ == device) {
        if (!touching) owner_ = kNobody;
        return PriorityVerdict::kDrive;
    }
    // Another device drives, or this touch began while one did: ignored to its end.
    const bool first = !passedOver_[d] || !wasTouching;
    passedOver_[d] = touching;
    if (!touching) return PriorityVerdict::kIgnore;
    return first ? PriorityVerdict::kIgnoreFirst : PriorityVerdict::kIgnore;
}

void TouchPriority::Release(int device) {
    if (device < 0 || device >= kMaxTouchDevices) return;
    touching_[static_cast<size_t>(device)] = false;
    passedOver_[static_cast<size_t>(device)] = false;
    if (owner_ == device) owner_ = kNobody;
}

void TouchPriority::Reset() {
    owner_ = kNobody;
    passedOver_.fill(false);
    // A touch on a device when the switch turns on is passed over by its engine.
}

}  // namespace tactra
