#include "gesture/finger.h"

#include "device/panel/touch_report.h"

namespace tactra {

TouchPhase ReduceTouchFlags(uint32_t dwFlags) {
    if (dwFlags & kTouchEventDown) return TouchPhase::kDown;
    if (dwFlags & kTouchEventMove) return TouchPhase::kMove;
    if ((dwFlags & kTouchEventInRange) && !(dwFlags & kTouchEventUp)) return TouchPhase::kInRange;
    return TouchPhase::kUp;
}

}  // namespace tactra
