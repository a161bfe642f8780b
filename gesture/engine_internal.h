// Helpers shared by the engine's files.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "gesture/engine.h"

namespace tactra {
namespace engine_detail {

inline uint32_t Now(EnginePorts& ports) { return ports.clock->TickCount(); }

// Milliseconds since a tick, as an unsigned 32-bit difference: right across the
// tick count's wrap.
inline uint32_t Since(EnginePorts& ports, uint32_t tick) { return Now(ports) - tick; }

inline int64_t Abs64(int64_t v) { return v < 0 ? -v : v; }

// An absolute mouse event at screen pixel (x, y); not sent while the display's
// width or height is 0.
void SendAbsolute(GestureState& s, EnginePorts& ports, uint32_t flags, int32_t x, int32_t y);
void SendRightClick(EnginePorts& ports);
// Announces the gesture and plays the current profile's action for it.
void PlayGesture(GestureState& s, EnginePorts& ports, Gesture g);

// The state machines' transitions; each change is told to ports.onStateChange.
void SetContact(GestureState& s, EnginePorts& ports, ContactState next);
void SetPointer(GestureState& s, EnginePorts& ports, PointerState next);
void SetClick(GestureState& s, EnginePorts& ports, ClickState next);
// Enters a two-finger mode; the first one entered is what the gesture began as.
void EnterMode(GestureState& s, EnginePorts& ports, TwoFingerMode mode);
// A lift while a two-finger gesture is in progress ends it: held modifiers are
// released and the mode cleared.
void EndGesture(GestureState& s, EnginePorts& ports);

inline bool HoldsButton(PointerState p) {
    return p == PointerState::kDragging || p == PointerState::kButtonHeld ||
           p == PointerState::kPressed;
}
inline bool FollowsFinger(PointerState p) {
    return p == PointerState::kDragging || p == PointerState::kHovering ||
           p == PointerState::kPressed || p == PointerState::kPointing;
}
// The pointer once the button is released, and once it stops following finger 1.
inline PointerState WithoutButton(PointerState p) {
    return FollowsFinger(p) ? PointerState::kHovering : PointerState::kFree;
}
inline PointerState WithoutFollowing(PointerState p) {
    return HoldsButton(p) ? PointerState::kButtonHeld : PointerState::kFree;
}

}  // namespace engine_detail
}  // namespace tactra
