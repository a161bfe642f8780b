// One finger: mouse emulation (move, click, double click, drag, right click by
// holding), the one-finger flick, and the flick tests on finger 1's record, which a
// two-finger pan's step also uses.
#include "gesture/engine.h"
#include "gesture/engine_internal.h"

namespace tactra {

using namespace engine_detail;

namespace {

// Within the still radius (kStillSlopPx without settings) of the anchor in both axes.
bool Still(const GestureState& s, const FingerRecord& f) {
    const int32_t radius = s.settings.holdRadiusPx;
    return Abs64(static_cast<int64_t>(f.anchorX) - f.lastX) <= radius &&
           Abs64(static_cast<int64_t>(f.anchorY) - f.lastY) <= radius;
}

int64_t XRange(const FingerRecord& f) { return static_cast<int64_t>(f.maxDx) - f.minDx; }
int64_t YRange(const FingerRecord& f) { return static_cast<int64_t>(f.maxDy) - f.minDy; }

// Holding still for the hold time (kHoldRightClickMs without settings): one right
// click per touch, unless the device's settings turn it off.
void RightClickByHolding(GestureState& s, EnginePorts& ports, bool still) {
    if (!still || s.rightClickSent || !s.settings.holdRightClick) return;
    s.rightClickSent = true;
    SendRightClick(ports);
}

// A touch-down soon after a tap's click (within the double tap's time, kDoubleTapMs
// without settings, and its area when the settings give one) is clicked at once: the
// second click of a double tap. Returns whether it was sent. It needs an earlier click
// to pair with.
bool DoubleTapClick(GestureState& s, EnginePorts& ports, uint32_t now) {
    const FingerSample& sample = s.samples[kFinger1];
    if (s.fingers[kFinger1].phase != TouchPhase::kDown || s.click != ClickState::kClicked ||
        now - s.lastClickTick >= s.settings.doubleTapMs) {
        return false;
    }
    const int32_t area = s.settings.doubleTapAreaPx;
    if (area > 0 && (Abs64(static_cast<int64_t>(sample.x) - s.lastClickX) > area ||
                     Abs64(static_cast<int64_t>(sample.y) - s.lastClickY) > area)) {
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
// unless a drag holds the button or holding has right-clicked. In the click modes
// "on touch" and "pointer only" the lift clicks nothing: the button went down at the
// touch, or never goes down.
void ClickOnLift(GestureState& s, EnginePorts& ports, uint32_t now, bool moved) {
    if (s.mouseMode != kMouseModeEmulate || HoldsButton(s.pointer) || s.rightClickSent ||
        s.settings.clickMode != ClickMode::kOnLift)
        return;
    const FingerSample& sample = s.samples[kFinger1];
    SendAbsolute(s, ports, kMouseEventMove, sample.x, sample.y);
    if (!moved) SendAbsolute(s, ports, kMouseEventLeftDown, sample.x, sample.y);
    SendAbsolute(s, ports, kMouseEventLeftUp, sample.x, sample.y);
    s.lastClickTick = now;
    s.lastClickX = sample.x;
    s.lastClickY = sample.y;
    SetClick(s, ports, ClickState::kClicked);
}

// A quick, moved touch is a one-finger flick along its longer extent (none on a
// device whose settings turn gestures off).
void FlickOnLift(GestureState& s, EnginePorts& ports, uint32_t elapsed, bool moved) {
    if (elapsed >= kFlickMaxMs || !moved || !s.settings.gestures) return;
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
    // "On touch" pressed the button at the touch-down, "pointer only" never does: the
    // pointer follows, and neither holding, a double tap nor a drag has more to do.
    if (s.pointer == PointerState::kPressed || s.pointer == PointerState::kPointing) return;
    const uint32_t now = Now(ports);
    const uint32_t elapsed = now - f.downTick;
    if (elapsed >= s.settings.holdTimeMs) {
        RightClickByHolding(s, ports, Still(s, f));
        return;
    }
    if (DoubleTapClick(s, ports, now)) return;
    if (HoldsButton(s.pointer)) {
        if (f.phase == TouchPhase::kInRange) ReleaseInRange(s, ports, elapsed);
        return;
    }
    if (!Still(s, f)) StartDrag(s, ports);
}

void SingleTouchRelease(GestureState& s, EnginePorts& ports) {
    const FingerRecord& f = s.fingers[kFinger1];
    const uint32_t now = Now(ports);
    const bool moved = !Still(s, f);
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
