// One finger: mouse emulation (move, click, double click, drag, right click by
// holding) and the flick tests, which the two-finger recogniser also uses.
#include "gesture/engine.h"
#include "gesture/engine_internal.h"

namespace tactra {

using namespace engine_detail;

namespace {

bool Moved(const MTOUCHINPUT& f) {
    return Abs64(static_cast<int64_t>(f.xUp) - f.x) > kStillSlopPx ||
           Abs64(static_cast<int64_t>(f.yUp) - f.y) > kStillSlopPx;
}

int64_t XRange(const MTOUCHINPUT& f) { return static_cast<int64_t>(f.xMax) - f.xMin; }
int64_t YRange(const MTOUCHINPUT& f) { return static_cast<int64_t>(f.yMax) - f.yMin; }

// Releases, in the order Ctrl, left Alt, Shift, the modifiers that the action
// pressed, so that a flick never leaves a key held down.
void ReleaseActionModifiers(EnginePorts& ports, const GestureAction& a) {
    if (a.iCase < 1 || a.iCase > 16) return;
    const int32_t set = a.iCase <= 8 ? a.iCase : a.iCase - 8;
    const bool ctrl = set == 2 || set == 5 || set == 6 || set == 8;
    const bool alt = set == 3 || set == 5 || set == 7 || set == 8;
    const bool shift = set == 4 || set >= 6;
    if (ctrl) ports.sink->KeyEvent(kVkControl, true);
    if (alt) ports.sink->KeyEvent(kVkLMenu, true);
    if (shift) ports.sink->KeyEvent(kVkShift, true);
}

}  // namespace

void SingleTouchHold(GestureState& s, EnginePorts& ports) {
    MTOUCHINPUT& f = s.m_MTouchInput1;
    const MTOUCHINPUT& sample = s.m_TouchInput1;
    const uint32_t now = Now(ports);
    const uint32_t elapsed = now - static_cast<uint32_t>(f.dwDownTime);
    const bool still = Abs64(static_cast<int64_t>(f.x) - f.xUp) <= kStillSlopPx &&
                       Abs64(static_cast<int64_t>(f.y) - f.yUp) <= kStillSlopPx;

    if (elapsed >= kHoldRightClickMs) {
        if (still && s.iRight == 0) {
            s.iRight = 1;
            SendRightClick(ports);
        }
        return;
    }
    // The immediate click of a double tap needs an earlier click to pair with.
    if (f.dwFlags == kGestureDown && s.m_bClickSent &&
        now - s.m_dwLastClickTime < kDoubleTapMs && !s.m_bDoubleClicked) {
        SendAbsolute(s, ports, kMouseEventMove, sample.x, sample.y);
        SendAbsolute(s, ports, kMouseEventLeftDown, sample.x, sample.y);
        SendAbsolute(s, ports, kMouseEventLeftUp, sample.x, sample.y);
        s.m_bDoubleClicked = true;
        return;
    }
    if (f.dwFlags == kGestureInRange) {
        if (s.mouse_down) {
            if (elapsed < kInRangeReleaseMs) {
                SendAbsolute(s, ports, kMouseEventLeftUp, sample.x, sample.y);
                s.mouse_down = false;
            }
            return;
        }
    } else if (s.mouse_down) {
        return;
    }
    if (still) return;
    // A drag starts where the finger touched down.
    SendAbsolute(s, ports, kMouseEventLeftDown, f.x, f.y);
    s.m_bDragging = true;
    s.mouse_down = true;
}

void SingleTouchRelease(GestureState& s, EnginePorts& ports) {
    const MTOUCHINPUT& f = s.m_MTouchInput1;
    const MTOUCHINPUT& sample = s.m_TouchInput1;
    const uint32_t now = Now(ports);
    const bool moved = Moved(f);
    if (s.m_iMouseFlags == kMouseModeEmulate && !s.mouse_down && s.iRight == 0) {
        SendAbsolute(s, ports, kMouseEventMove, sample.x, sample.y);
        if (!moved) SendAbsolute(s, ports, kMouseEventLeftDown, sample.x, sample.y);
        SendAbsolute(s, ports, kMouseEventLeftUp, sample.x, sample.y);
        s.m_dwLastClickTime = now;
        s.m_bDoubleClicked = false;
        s.m_bClickSent = true;
    }
    const uint32_t elapsed = now - static_cast<uint32_t>(f.dwDownTime);
    if (elapsed >= kFlickMaxMs || !moved) return;
    const int64_t xRange = XRange(f);
    const int64_t yRange = YRange(f);
    Gesture played = kGestureCount;
    if (xRange > yRange && xRange > kFlickMinRangePx) {
        played = FlickHorizontal(s, ports);
    } else if (yRange > xRange && yRange > kFlickMinRangePx) {
        played = FlickVertical(s, ports);
    }
    if (played != kGestureCount) ReleaseActionModifiers(ports, s.profile.actions[played]);
}

Gesture FlickHorizontal(GestureState& s, EnginePorts& ports) {
    const MTOUCHINPUT& f = s.m_MTouchInput1;
    if (2 * YRange(f) >= XRange(f)) return kGestureCount;
    const Gesture g = f.x > f.xUp ? kFlickLeft : kFlickRight;
    PlayGesture(s, ports, g);
    return g;
}

Gesture FlickVertical(GestureState& s, EnginePorts& ports) {
    const MTOUCHINPUT& f = s.m_MTouchInput1;
    if (2 * YRange(f) <= XRange(f)) return kGestureCount;
    const Gesture g = f.y > f.yUp ? kFlickUp : kFlickDown;
    PlayGesture(s, ports, g);
    return g;
}

}  // namespace tactra
