// The "WM_TOUCH" handler, the per-finger record updates and the contact state
// machine.
#include <cstdio>
#include <limits>

#include "gesture/engine.h"
#include "gesture/engine_internal.h"

namespace tactra {

using namespace engine_detail;

namespace engine_detail {

namespace {

int32_t ScaleAbsolute(int32_t pixel, int32_t extent) {
    const int64_t v = static_cast<int64_t>(pixel) * 65536 / extent;
    if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

}  // namespace

void SendAbsolute(GestureState& s, EnginePorts& ports, uint32_t flags, int32_t X, int32_t Y) {
    // Without a known screen size there is no absolute position to send.
    if (s.display.width == 0 || s.display.height == 0) return;
    ports.sink->MouseEvent(kMouseEventAbsolute | flags, ScaleAbsolute(X, s.display.width),
                           ScaleAbsolute(Y, s.display.height), 0);
}

void SendRightClick(EnginePorts& ports) {
    ports.sink->MouseEvent(kMouseEventRightDown, 0, 0, 0);
    ports.sink->MouseEvent(kMouseEventRightUp, 0, 0, 0);
}

void PlayGesture(GestureState& s, EnginePorts& ports, Gesture g) {
    if (ports.onGesture) ports.onGesture(g);
    DoGestureAction(*ports.sink, s.profile.actions[g]);
}

}  // namespace engine_detail

namespace {

void FillSample(const GestureState& s, const TOUCHINPUT& record, MTOUCHINPUT& sample) {
    // For an unknown orientation the position of the previous batch stays.
    TransformToScreen(s.display, record.x, record.y, sample.x, sample.y);
    sample.dwFlags = ReduceTouchFlags(record.dwFlags);
}

// A lift while a two-finger gesture is in progress ends it: held modifiers are
// released and the modes cleared.
void EndGesture(GestureState& s, EnginePorts& ports) {
    if (!s.GestureInProgress()) return;
    ReleaseHeldModifiers(*ports.sink);
    s.m_bRotating = s.m_bZooming = s.m_bPanning = false;
}

void TouchDown(MTOUCHINPUT& f, const MTOUCHINPUT& sample, uint32_t now) {
    f.x = f.xUp = sample.x;
    f.y = f.yUp = sample.y;
    f.dwFlags = kGestureDown;
    f.bNewSample = 1;
    f.dwDownTime = static_cast<int32_t>(now);
    f.xMax = f.xMin = f.yMax = f.yMin = 0;
}

void Move(MTOUCHINPUT& f, const MTOUCHINPUT& sample, uint32_t elapsed) {
    if (elapsed < kDownPhaseMs) {
        f.dwFlags = kGestureDown;
    } else {
        f.dwFlags = kGestureMove;
        f.bNewSample = 1;
    }
    f.xUp = sample.x;
    f.yUp = sample.y;
    const int64_t dx = static_cast<int64_t>(f.xUp) - f.x;
    const int64_t dy = static_cast<int64_t>(f.yUp) - f.y;
    // Positions are pixels of at most a few million, so differences fit.
    if (dx > f.xMax) {
        f.xMax = static_cast<int32_t>(dx);
    } else if (dx < f.xMin) {
        f.xMin = static_cast<int32_t>(dx);
    }
    if (dy > f.yMax) {
        f.yMax = static_cast<int32_t>(dy);
    } else if (dy < f.yMin) {
        f.yMin = static_cast<int32_t>(dy);
    }
}

}  // namespace

int OnTouchInput(GestureState& s, EnginePorts& ports, const TOUCHINPUT* records) {
    ports.profiles->RefreshProfileSections();
    SelectAppProfile(s, ports);
    ReadDisplayMode(*ports.display, s.display);
    FillSample(s, records[0], s.m_TouchInput1);
    FillSample(s, records[1], s.m_TouchInput2);
    MTouchEventInput1(s, ports);
    MTouchEventInput2(s, ports);
    MTouchEventDispatch(s, ports);
    return 1;
}

void MTouchEventInput1(GestureState& s, EnginePorts& ports) {
    MTOUCHINPUT& f = s.m_MTouchInput1;
    const MTOUCHINPUT& sample = s.m_TouchInput1;
    const bool emulate = s.m_iMouseFlags == kMouseModeEmulate;
    switch (sample.dwFlags) {
        case kGestureInRange:
            f.dwFlags = kGestureInRange;
            break;
        case kGestureDown:
            TouchDown(f, sample, Now(ports));
            f.bAux = 0;                   // two-finger tap mark
            s.m_MTouchInput2.bAux = 0;    // second-finger-seen mark
            s.iRight = 0;
            if (emulate) SendAbsolute(s, ports, kMouseEventMove, sample.x, sample.y);
            break;
        case kGestureUp:
            f.xUp = sample.x;
            f.yUp = sample.y;
            f.dwFlags = kGestureUp;
            EndGesture(s, ports);
            s.m_bDragging = false;
            if (emulate && s.mouse_down) {
                SendAbsolute(s, ports, kMouseEventLeftUp, sample.x, sample.y);
                s.mouse_down = false;
            }
            break;
        case kGestureMove:
            Move(f, sample, Since(ports, f.dwDownTime));
            if (emulate && s.m_bDragging) {
                SendAbsolute(s, ports, kMouseEventMove, sample.x, sample.y);
            }
            break;
        default:
            break;
    }
}

void MTouchEventInput2(GestureState& s, EnginePorts& ports) {
    MTOUCHINPUT& f = s.m_MTouchInput2;
    const MTOUCHINPUT& sample = s.m_TouchInput2;
    switch (sample.dwFlags) {
        case kGestureInRange:
            f.dwFlags = kGestureInRange;
            break;
        case kGestureDown:
            TouchDown(f, sample, Now(ports));
            f.bAux = 1;
            break;
        case kGestureUp: {
            // A one-finger batch carries finger 2 as up every time; only a real
            // lift can complete a two-finger tap.
            const bool lifted = f.dwFlags != kGestureUp;
            f.xUp = sample.x;
            f.yUp = sample.y;
            f.dwFlags = kGestureUp;
            EndGesture(s, ports);
            if (lifted && Since(ports, f.dwDownTime) <= kTwoFingerTapMaxMs) {
                s.m_MTouchInput1.bAux = 1;
            }
            break;
        }
        case kGestureMove:
            Move(f, sample, Since(ports, f.dwDownTime));
            break;
        default:
            break;
    }
}

void MTouchEventDispatch(GestureState& s, EnginePorts& ports) {
    MTOUCHINPUT& f1 = s.m_MTouchInput1;
    MTOUCHINPUT& f2 = s.m_MTouchInput2;
    if (f1.bNewSample == 0) {
        if (f2.bNewSample == 1) f1.bNewSample = f2.bNewSample = 0;
        return;
    }
    if (f1.bAux != 0 && !s.GestureInProgress()) {
        const int64_t dx = Abs64(static_cast<int64_t>(f1.xUp) - f1.x);
        const int64_t dy = Abs64(static_cast<int64_t>(f1.yUp) - f1.y);
        if (dx < kTwoFingerTapSlopPx && dy < kTwoFingerTapSlopPx) SendRightClick(ports);
        f1.bAux = 0;
        // Finger 2's samples are consumed too, or the next move of finger 1 would
        // run the two-finger recogniser against a lifted finger.
        f1.bNewSample = f2.bNewSample = 0;
        return;
    }
    if (f2.bNewSample == 1) {
        if (f1.dwFlags == kGestureDown || f2.dwFlags == kGestureDown) return;
        MultiTouchGesture(s, ports);
        // Samples still pending from a finger's down phase can reach the recogniser
        // in the batch that lifts it. The lift has already ended any gesture, so a
        // step taken now must not leave its mode or modifier keys behind.
        if (f1.dwFlags == kGestureUp || f2.dwFlags == kGestureUp) EndGesture(s, ports);
        f1.bNewSample = f2.bNewSample = 0;
        return;
    }
    if (f2.bAux != 0 || s.GestureInProgress()) return;
    if (f1.dwFlags == kGestureUp) {
        if (f2.dwFlags == kGestureUp) {
            SingleTouchRelease(s, ports);
            f1.bNewSample = 0;
        }
        return;
    }
    if (f2.dwFlags == kGestureUp && s.m_iMouseFlags == kMouseModeEmulate) SingleTouchHold(s, ports);
}

std::string SampleStatusText(int finger, const MTOUCHINPUT& sample) {
    char text[96];
    std::snprintf(text, sizeof text, "X%d-%d[%d] Y%d[%d]", finger, static_cast<int>(sample.dwFlags),
                  static_cast<int>(sample.x < 0 ? 0 : sample.x), finger,
                  static_cast<int>(sample.y < 0 ? 0 : sample.y));
    return text;
}

}  // namespace tactra
