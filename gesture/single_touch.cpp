// One finger: mouse emulation (move, click, double click, drag, right click by
// holding), the one-finger flick, and the flick tests on finger 1's record, which a
// two-finger pan's step also uses.
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

// Holding still for kHoldRightClickMs: one right click per touch.
void RightClickByHolding(GestureState& s, EnginePorts& ports, bool still) {
    if (!still || s.rightClickSent) return;
    s.rightClickSent = true;
    SendRightClick(ports);
}

// A touch-down soon after a tap's click is clicked at once: the second click of a
// double tap. Returns whether it was sent. It needs an earlier click to pair with.
bool DoubleTapClick(GestureState& s, EnginePorts& ports, uint32_t now) {
    const FingerSample& sample = s.samples[kFinger1];
    if (s.fingers[kFinger1].phase != TouchPhase::kDown || s.click != ClickState::kClicked ||
        now - s.lastClickTick >= kDoubleTapMs) {
        return false;
    }
    SendAbsolute(s, ports, kMouseEventMove, sample.x, sample.y);
    SendAbsolute(s, ports, kMouseEventLeftDown, sample.x, sample.y);
    SendAbsolute(s, ports, kMouseEventLeftUp, sample.x, sample.y);
    SetClick(s, ports, ClickState::kDoubleClicked);
    return true;
}

// Finger 1 in range without contact soon after its touch-down: the button of a
// drag is released, while the pointer goes on following.
void ReleaseInRange(GestureState& s, EnginePorts& ports, uint32_t elapsed) {
    if (elapsed >= kInRangeReleaseMs) return;
    const FingerSample& sample = s.samples[kFinger1];
    SendAbsolute(s, ports, kMouseEventLeftUp, sample.x, sample.y);
    SetPointer(s, ports, WithoutButton(s.pointer));
}

// Finger 1 moved off its touch point with no button held: a drag starts where the
// finger touched down.
void StartDrag(GestureState& s, EnginePorts& ports) {
    const FingerRecord& f = s.fingers[kFinger1];
    SendAbsolute(s, ports, kMouseEventLeftDown, f.anchorX, f.anchorY);
    SetPointer(s, ports, PointerState::kDragging);
}

// The click of a tap at finger 1's lift (a move and a release alone after a move):
// unless a drag holds the button or holding has right-clicked.
void ClickOnLift(GestureState& s, EnginePorts& ports, uint32_t now, bool moved) {
    if (s.mouseMode != kMouseModeEmulate || HoldsButton(s.pointer) || s.rightClickSent) return;
    const FingerSample& sample = s.samples[kFinger1];
    SendAbsolute(s, ports, kMouseEventMove, sample.x, sample.y);
    if (!moved) SendAbsolute(s, ports, kMouseEventLeftDown, sample.x, sample.y);
    SendAbsolute(s, ports, kMouseEventLeftUp, sample.x, sample.y);
    s.lastClickTick = now;
    SetClick(s, ports, ClickState::kClicked);
}

// A quick, moved touch is a one-finger flick along its longer extent.
void FlickOnLift(GestureState& s, EnginePorts& ports, uint32_t elapsed, bool moved) {
    if (elapsed >= kFlickMaxMs || !moved) return;
    const FingerRecord& f = s.fingers[kFinger1];
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

}  // namespace

void SingleTouchHold(GestureState& s, EnginePorts& ports) {
    const FingerRecord& f = s.fingers[kFinger1];
    const uint32_t now = Now(ports);
    const uint32_t elapsed = now - f.downTick;
    if (elapsed >= kHoldRightClickMs) {
        RightClickByHolding(s, ports, Still(f));
        return;
    }
    if (DoubleTapClick(s, ports, now)) return;
    if (HoldsButton(s.pointer)) {
        if (f.phase == TouchPhase::kInRange) ReleaseInRange(s, ports, elapsed);
        return;
    }
    if (!Still(f)) StartDrag(s, ports);
}

void SingleTouchRelease(GestureState& s, EnginePorts& ports) {
    const FingerRecord& f = s.fingers[kFinger1];
    const uint32_t now = Now(ports);
    const bool moved = !Still(f);
    ClickOnLift(s, ports, now, moved);
    FlickOnLift(s, ports, now - f.downTick, moved);
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
