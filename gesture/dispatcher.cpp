// The "WM_TOUCH" handler, the per-finger record updates and the contact state
// machine with its handlers.
#include <cstdio>
#include <limits>

#include "gesture/engine.h"
#include "gesture/engine_internal.h"

namespace tactra {

using namespace engine_detail;

namespace engine_detail {

void SendAbsolute(GestureState& s, EnginePorts& ports, uint32_t flags, int32_t x, int32_t y) {
    // Without a known screen size there is no absolute position to send; a button
    // release still goes out, where the pointer is, or the button would stay down.
    if (s.display.width == 0 || s.display.height == 0) {
        if (flags & kMouseEventLeftUp) ports.sink->MouseEvent(kMouseEventLeftUp, 0, 0, 0);
        return;
    }
    if (s.display.onMonitor) {
        const DisplayState& d = s.display;
        const DesktopRect& v = d.virtualScreen;
        ports.sink->MouseEvent(
            kMouseEventAbsolute | kMouseEventVirtualDesk | flags,
            VirtualDeskMouseCoordinate(x, d.monitorLeft, static_cast<uint32_t>(d.width), v.left,
                                       v.width),
            VirtualDeskMouseCoordinate(y, d.monitorTop, static_cast<uint32_t>(d.height), v.top,
                                       v.height),
            0);
        return;
    }
    ports.sink->MouseEvent(kMouseEventAbsolute | flags, AbsoluteMouseCoordinate(x, s.display.width),
                           AbsoluteMouseCoordinate(y, s.display.height), 0);
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

void FillSample(const GestureState& s, const TOUCHINPUT& record, FingerSample& sample) {
    // For an unknown orientation the position of the previous batch stays.
    TransformToScreen(s.display, record.x, record.y, sample.x, sample.y);
    sample.phase = ReduceTouchFlags(record.dwFlags);
}

// The engine forgets a touch: fingers up, no marks, no gesture, no button.
void ForgetTouch(GestureState& s, EnginePorts& ports) {
    for (FingerRecord& f : s.fingers) f = FingerRecord();
    SetContact(s, ports, ContactState::kOneFinger);
    s.twoFinger = TwoFingerGesture();
    SetPointer(s, ports, PointerState::kFree);
    s.rightClickSent = false;
}

bool AllLifted(const GestureState& s) {
    return s.samples[kFinger1].phase == TouchPhase::kUp &&
           s.samples[kFinger2].phase == TouchPhase::kUp;
}

void TouchDown(FingerRecord& f, const FingerSample& sample, uint32_t now) {
    f.anchorX = f.lastX = sample.x;
    f.anchorY = f.lastY = sample.y;
    f.phase = TouchPhase::kDown;
    f.newSample = true;
    f.downTick = now;
    f.maxDx = f.minDx = f.maxDy = f.minDy = 0;
}

void Move(FingerRecord& f, const FingerSample& sample, uint32_t elapsed) {
    if (elapsed < kDownPhaseMs) {
        f.phase = TouchPhase::kDown;
    } else {
        f.phase = TouchPhase::kMove;
        f.newSample = true;
    }
    f.lastX = sample.x;
    f.lastY = sample.y;
    const int64_t dx = static_cast<int64_t>(f.lastX) - f.anchorX;
    const int64_t dy = static_cast<int64_t>(f.lastY) - f.anchorY;
    // Positions are pixels of at most a few million, so differences fit.
    if (dx > f.maxDx) {
        f.maxDx = static_cast<int32_t>(dx);
    } else if (dx < f.minDx) {
        f.minDx = static_cast<int32_t>(dx);
    }
    if (dy > f.maxDy) {
        f.maxDy = static_cast<int32_t>(dy);
    } else if (dy < f.minDy) {
        f.minDy = static_cast<int32_t>(dy);
    }
}

// The contact state after finger 2 touches down, and after its quick lift.
ContactState AfterSecondDown(ContactState c) {
    if (c == ContactState::kOneFinger) return ContactState::kTwoFingers;
    if (c == ContactState::kRightClickDueOneFinger) return ContactState::kRightClickDue;
    return c;
}

ContactState AfterSecondTap(ContactState c) {
    if (c == ContactState::kOneFinger) return ContactState::kRightClickDueOneFinger;
    if (c == ContactState::kTwoFingers) return ContactState::kRightClickDue;
    return c;
}

// Both fingers' samples have been judged.
void Consume(GestureState& s) {
    s.fingers[kFinger1].newSample = s.fingers[kFinger2].newSample = false;
}

// Both fingers have new samples: one step of the two-finger recogniser, once
// neither finger is in its down phase.
void TwoFingerStep(GestureState& s, EnginePorts& ports) {
    const FingerRecord& f1 = s.fingers[kFinger1];
    const FingerRecord& f2 = s.fingers[kFinger2];
    if (f1.phase == TouchPhase::kDown || f2.phase == TouchPhase::kDown) return;
    MultiTouchGesture(s, ports);
    // Samples still pending from a finger's down phase can reach the recogniser
    // in the batch that lifts it. The lift has already ended any gesture, so a
    // step taken now must not leave its mode or modifier keys behind.
    if (f1.phase == TouchPhase::kUp || f2.phase == TouchPhase::kUp) EndGesture(s, ports);
    Consume(s);
}

// The handlers of the contact states, each returning the next state.

// Finger 2's new samples go to the two-finger recogniser (finger 2 can be moving
// from a touch that began before finger 1's); otherwise, outside a gesture, finger
// 1 alone is the mouse: a lift of both fingers releases, a touch holds.
ContactState OnOneFinger(GestureState& s, EnginePorts& ports) {
    FingerRecord& f1 = s.fingers[kFinger1];
    const FingerRecord& f2 = s.fingers[kFinger2];
    if (f2.newSample) {
        TwoFingerStep(s, ports);
    } else if (s.twoFinger.InProgress()) {
        // One-finger handling waits for the gesture's end.
    } else if (f1.phase == TouchPhase::kUp) {
        if (f2.phase == TouchPhase::kUp) {
            SingleTouchRelease(s, ports);
            f1.newSample = false;
        }
    } else if (f2.phase == TouchPhase::kUp && s.mouseMode == kMouseModeEmulate) {
        SingleTouchHold(s, ports);
    }
    return ContactState::kOneFinger;
}

ContactState OnTwoFingers(GestureState& s, EnginePorts& ports) {
    if (s.fingers[kFinger2].newSample) TwoFingerStep(s, ports);
    return ContactState::kTwoFingers;
}

// Finger 1's sample decides the right click of a two-finger tap: sent unless
// finger 1 has moved from its anchor.
ContactState OnRightClickDue(GestureState& s, EnginePorts& ports) {
    const bool oneFinger = s.contact == ContactState::kRightClickDueOneFinger;
    if (s.twoFinger.InProgress()) {
        // Undecided while a gesture lasts (a lift that marks a tap also ends one).
        if (s.fingers[kFinger2].newSample) TwoFingerStep(s, ports);
        return s.contact;
    }
    const FingerRecord& f1 = s.fingers[kFinger1];
    const int64_t dx = Abs64(static_cast<int64_t>(f1.lastX) - f1.anchorX);
    const int64_t dy = Abs64(static_cast<int64_t>(f1.lastY) - f1.anchorY);
    if (dx < kTwoFingerTapSlopPx && dy < kTwoFingerTapSlopPx) SendRightClick(ports);
    // Finger 2's samples are consumed too, or the next move of finger 1 would run
    // the two-finger recogniser against a lifted finger.
    Consume(s);
    return oneFinger ? ContactState::kOneFinger : ContactState::kTwoFingers;
}

}  // namespace

int OnTouchInput(GestureState& s, EnginePorts& ports, const TOUCHINPUT* records) {
    ports.profiles->RefreshProfileSections();
    SelectAppProfile(s, ports);
    const DisplayTarget target = ReadDisplayTarget(*ports.display, s.monitor.Name(), s.display);
    if (target != DisplayTarget::kFailed) s.monitor.Saw(target == DisplayTarget::kMonitor);
    FillSample(s, records[0], s.samples[kFinger1]);
    FillSample(s, records[1], s.samples[kFinger2]);
    // Gestures off: finger 1 alone is the mouse; a second finger is not there.
    if (!s.settings.gestures) s.samples[kFinger2].phase = TouchPhase::kUp;
    if (!s.touchEnabled) return 1;
    if (s.contact == ContactState::kPassingOver) {
        // The lift that ends the passed-over touch is passed over too.
        if (AllLifted(s)) SetContact(s, ports, ContactState::kOneFinger);
        return 1;
    }
    MTouchEventInput(s, ports, kFinger1);
    MTouchEventInput(s, ports, kFinger2);
    MTouchEventDispatch(s, ports);
    // Finger 2's samples have had their batch once it is up: left pending, they
    // would meet finger 1's next touch, from anchors of a touch long gone.
    if (s.fingers[kFinger2].phase == TouchPhase::kUp) s.fingers[kFinger2].newSample = false;
    return 1;
}

void SetTouchEnabled(GestureState& s, EnginePorts& ports, bool enabled) {
    if (enabled == s.touchEnabled) return;
    s.touchEnabled = enabled;
    if (enabled) {
        if (!AllLifted(s)) SetContact(s, ports, ContactState::kPassingOver);
        return;
    }
    LetGo(s, ports);
}

void LetGo(GestureState& s, EnginePorts& ports) {
    EndGesture(s, ports);
    // Released where the pointer is: a drag's moves have already taken it there.
    if (HoldsButton(s.pointer)) ports.sink->MouseEvent(kMouseEventLeftUp, 0, 0, 0);
    ForgetTouch(s, ports);
}

namespace {

// Finger 1's touch-down in the click modes that do not wait for the lift: "on touch"
// presses the button there, "pointer only" lets the pointer follow.
void PressOrPoint(GestureState& s, EnginePorts& ports, const FingerSample& sample) {
    if (HoldsButton(s.pointer)) return;
    switch (s.settings.clickMode) {
        case ClickMode::kOnLift:
            return;
        case ClickMode::kOnTouch:
            SendAbsolute(s, ports, kMouseEventLeftDown, sample.x, sample.y);
            SetPointer(s, ports, PointerState::kPressed);
            return;
        case ClickMode::kPointerOnly:
            SetPointer(s, ports, PointerState::kPointing);
            return;
    }
}

}  // namespace

// Both fingers' records follow their samples alike. Finger 1 alone drives the
// mouse and starts a new touch (contact state and right click reset); finger 2's
// down and its quick lift move the contact state on.
void MTouchEventInput(GestureState& s, EnginePorts& ports, int finger) {
    FingerRecord& f = s.fingers[finger];
    const FingerSample& sample = s.samples[finger];
    const bool first = finger == kFinger1;
    const bool mouse = first && s.mouseMode == kMouseModeEmulate;
    switch (sample.phase) {
        case TouchPhase::kInRange:
            f.phase = TouchPhase::kInRange;
            break;
        case TouchPhase::kDown:
            TouchDown(f, sample, Now(ports));
            if (first) {
                SetContact(s, ports, ContactState::kOneFinger);
                s.rightClickSent = false;
            } else {
                SetContact(s, ports, AfterSecondDown(s.contact));
            }
            if (mouse) {
                SendAbsolute(s, ports, kMouseEventMove, sample.x, sample.y);
                PressOrPoint(s, ports, sample);
            }
            break;
        case TouchPhase::kUp: {
            // A one-finger batch carries finger 2 as up every time; only a real
            // lift can complete a two-finger tap.
            const bool lifted = f.phase != TouchPhase::kUp;
            f.lastX = sample.x;
            f.lastY = sample.y;
            f.phase = TouchPhase::kUp;
            EndGesture(s, ports);
            if (first) {
                // The pointer stops following; the emulation's button is released.
                PointerState pointer = WithoutFollowing(s.pointer);
                if (mouse && HoldsButton(pointer)) {
                    SendAbsolute(s, ports, kMouseEventLeftUp, sample.x, sample.y);
                    pointer = WithoutButton(pointer);
                }
                SetPointer(s, ports, pointer);
            } else if (lifted && Since(ports, f.downTick) <= kTwoFingerTapMaxMs) {
                SetContact(s, ports, AfterSecondTap(s.contact));
            }
            break;
        }
        case TouchPhase::kMove:
            Move(f, sample, Since(ports, f.downTick));
            if (mouse && FollowsFinger(s.pointer)) {
                SendAbsolute(s, ports, kMouseEventMove, sample.x, sample.y);
            }
            break;
    }
}

// The contact state machine: finger 1's new sample is judged by the handler of the
// current state, which returns the next.
void MTouchEventDispatch(GestureState& s, EnginePorts& ports) {
    if (!s.fingers[kFinger1].newSample) {
        // Finger 2's samples without finger 1's are consumed unjudged.
        if (s.fingers[kFinger2].newSample) Consume(s);
        return;
    }
    ContactState next = s.contact;
    switch (s.contact) {
        case ContactState::kOneFinger:
            next = OnOneFinger(s, ports);
            break;
        case ContactState::kTwoFingers:
            next = OnTwoFingers(s, ports);
            break;
        case ContactState::kRightClickDue:
        case ContactState::kRightClickDueOneFinger:
            next = OnRightClickDue(s, ports);
            break;
        case ContactState::kPassingOver:
            break;  // no batch reaches the dispatcher then
    }
    SetContact(s, ports, next);
}

std::string SampleStatusText(int finger, const FingerSample& sample) {
    char text[96];
    std::snprintf(text, sizeof text, "X%d-%d[%d] Y%d[%d]", finger, static_cast<int>(sample.phase),
                  static_cast<int>(sample.x < 0 ? 0 : sample.x), finger,
                  static_cast<int>(sample.y < 0 ? 0 : sample.y));
    return text;
}

}  // namespace tactra
