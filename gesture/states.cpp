// The engine's state machines: the names of their states and the transitions,
// each told to whoever listens (tactra-replay --states, the verbose log).
#include "gesture/engine.h"
#include "gesture/engine_internal.h"
#include "gesture/gesture_action.h"

namespace tactra {

namespace {

const char* ModeName(TwoFingerMode mode) {
    switch (mode) {
        case TwoFingerMode::kRotating:
            return "rotating";
        case TwoFingerMode::kZooming:
            return "zooming";
        case TwoFingerMode::kPanning:
            return "panning";
        case TwoFingerMode::kNone:
            break;
    }
    return "none";
}

void Tell(EnginePorts& ports, const char* from, const char* to) {
    if (from != to) ports.onStateChange(from, to);
}

}  // namespace

const char* ContactStateName(const GestureState& s) {
    if (s.twoFinger.InProgress()) return ModeName(s.twoFinger.mode);
    switch (s.contact) {
        case ContactState::kOneFinger:
            return "one-finger";
        case ContactState::kTwoFingers:
            return "two-fingers";
        case ContactState::kRightClickDue:
            return "right-click-due";
        case ContactState::kRightClickDueOneFinger:
            return "right-click-due-one-finger";
        case ContactState::kPassingOver:
            return "passing-over";
    }
    return "?";
}

const char* StateName(PointerState state) {
    switch (state) {
        case PointerState::kFree:
            return "pointer-free";
        case PointerState::kDragging:
            return "dragging";
        case PointerState::kHovering:
            return "hovering";
        case PointerState::kButtonHeld:
            return "button-held";
        case PointerState::kPressed:
            return "pressed";
        case PointerState::kPointing:
            return "pointing";
    }
    return "?";
}

const char* StateName(ClickState state) {
    switch (state) {
        case ClickState::kNone:
            return "no-click";
        case ClickState::kClicked:
            return "clicked";
        case ClickState::kDoubleClicked:
            return "double-clicked";
    }
    return "?";
}

namespace engine_detail {

void SetContact(GestureState& s, EnginePorts& ports, ContactState next) {
    if (!ports.onStateChange) {
        s.contact = next;
        return;
    }
    const char* from = ContactStateName(s);
    s.contact = next;
    Tell(ports, from, ContactStateName(s));
}

void SetPointer(GestureState& s, EnginePorts& ports, PointerState next) {
    if (ports.onStateChange) Tell(ports, StateName(s.pointer), StateName(next));
    s.pointer = next;
}

void SetClick(GestureState& s, EnginePorts& ports, ClickState next) {
    if (ports.onStateChange) Tell(ports, StateName(s.click), StateName(next));
    s.click = next;
}

void EnterMode(GestureState& s, EnginePorts& ports, TwoFingerMode mode) {
    const char* from = ports.onStateChange ? ContactStateName(s) : nullptr;
    TwoFingerGesture& g = s.twoFinger;
    if (g.mode == TwoFingerMode::kNone) g.began = mode;
    g.mode = mode;
    if (from) Tell(ports, from, ContactStateName(s));
}

void EndGesture(GestureState& s, EnginePorts& ports) {
    if (!s.twoFinger.InProgress()) return;
    ReleaseHeldModifiers(*ports.sink);
    const char* from = ports.onStateChange ? ContactStateName(s) : nullptr;
    s.twoFinger.mode = s.twoFinger.began = TwoFingerMode::kNone;
    if (from) Tell(ports, from, ContactStateName(s));
}

}  // namespace engine_detail
}  // namespace tactra
