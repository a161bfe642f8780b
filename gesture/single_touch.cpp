// One finger: mouse emulation (move, click, double click, drag, right click by
// holding) and the flick tests, which the two-finger recogniser also uses.
#include "gesture/engine.h"
#include "gesture/engine_internal.h"

namespace tactra {

using namespace engine_detail;

namespace {

// Within kStillSlopPx of the anchor in both axes.
bool Still(const FingerRecord& f) {
    return Abs64(static_cast<int64_t>(f.anchorX) - f.lastX) <= kStillSlopPx &&
           Abs64(static_cast<int64_t>(f.anchorY) - f.lastY) <= kStillSlopPx;
}

int64_t XRange(const FingerRecord& f) { return static_cast<int64_t>(f.maxDx) - f.minDx; }
int64_t YRange(const FingerRecord& f) { return static_cast<int64_t>(f.maxDy) - f.minDy; }

}  // namespace

void SingleTouchHold(GestureState& s, EnginePorts& ports) {
    const FingerRecord& f = s.fingers[kFinger1];
    const FingerSample& sample = s.samples[kFinger1];
    const uint32_t now = Now(ports);
    const uint32_t elapsed = now - f.downTick;
    const bool still = Still(f);

    if (elapsed >= kHoldRightClickMs) {
        if (still && !s.rightClickSent) {
            s.rightClickSent = true;
            SendRightClick(ports);
        }
        return;
    }
    // The immediate click of a double tap needs an earlier click to pair with.
    if (f.phase == TouchPhase::kDown && s.clickSent && now - s.lastClickTick < kDoubleTapMs &&
        !s.doubleClicked) {
        SendAbsolute(s, ports, kMouseEventMove, sample.x, sample.y);
        SendAbsolute(s, ports, kMouseEventLeftDown, sample.x, sample.y);
        SendAbsolute(s, ports, kMouseEventLeftUp, sample.x, sample.y);
        s.doubleClicked = true;
        return;
    }
    if (f.phase == TouchPhase::kInRange) {
        if (s.leftButtonDown) {
            if (elapsed < kInRangeReleaseMs) {
                SendAbsolute(s, ports, kMouseEventLeftUp, sample.x, sample.y);
                s.leftButtonDown = false;
            }
            return;
        }
    } else if (s.leftButtonDown) {
        return;
    }
    if (still) return;
    // A drag starts where the finger touched down.
    SendAbsolute(s, ports, kMouseEventLeftDown, f.anchorX, f.anchorY);
    s.dragging = true;
    s.leftButtonDown = true;
}

void SingleTouchRelease(GestureState& s, EnginePorts& ports) {
    const FingerRecord& f = s.fingers[kFinger1];
    const FingerSample& sample = s.samples[kFinger1];
    const uint32_t now = Now(ports);
    const bool moved = !Still(f);
    if (s.mouseMode == kMouseModeEmulate && !s.leftButtonDown && !s.rightClickSent) {
        SendAbsolute(s, ports, kMouseEventMove, sample.x, sample.y);
        if (!moved) SendAbsolute(s, ports, kMouseEventLeftDown, sample.x, sample.y);
        SendAbsolute(s, ports, kMouseEventLeftUp, sample.x, sample.y);
        s.lastClickTick = now;
        s.doubleClicked = false;
        s.clickSent = true;
    }
    const uint32_t elapsed = now - f.downTick;
    if (elapsed >= kFlickMaxMs || !moved) return;
    const int64_t xRange = XRange(f);
    const int64_t yRange = YRange(f);
    Gesture played = kGestureCount;
    if (xRange > yRange && xRange > kFlickMinRangePx) {
        played = FlickHorizontal(s, ports);
    } else if (yRange > xRange && yRange > kFlickMinRangePx) {
        played = FlickVertical(s, ports);
    }
    // A flick is one step: the modifiers its action pressed are not left down.
    if (played != kGestureCount) ReleaseActionModifiers(*ports.sink, s.profile.actions[played]);
}

Gesture FlickHorizontal(GestureState& s, EnginePorts& ports) {
    const FingerRecord& f = s.fingers[kFinger1];
    if (2 * YRange(f) >= XRange(f)) return kGestureCount;
    const Gesture g = f.anchorX > f.lastX ? kFlickLeft : kFlickRight;
    PlayGesture(s, ports, g);
    return g;
}

Gesture FlickVertical(GestureState& s, EnginePorts& ports) {
    const FingerRecord& f = s.fingers[kFinger1];
    if (2 * YRange(f) <= XRange(f)) return kGestureCount;
    const Gesture g = f.anchorY > f.lastY ? kFlickUp : kFlickDown;
    PlayGesture(s, ports, g);
    return g;
}

}  // namespace tactra
