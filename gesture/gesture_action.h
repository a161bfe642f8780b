// Gesture actions played into the input stream: a wheel step or a key press, each
// with its set of Shift, Ctrl and Alt (the action's stored form is in
// profiles/app_profile.h).
#pragma once

#include <cstdint>

#include "platform/input_sink.h"
#include "profiles/app_profile.h"

namespace tactra {

// Presses the keys of set 1..8, Shift before Ctrl before Alt.
void PressModifierSet(InputSink& sink, int32_t modifierSet);

// Plays one action. Modifiers it presses stay down; see ReleaseHeldModifiers.
void DoGestureAction(InputSink& sink, int32_t kind, int32_t code, int32_t up);
inline void DoGestureAction(InputSink& sink, const GestureAction& a) {
    DoGestureAction(sink, a.kind, a.code, a.up);
}

// Releases Ctrl, left Alt and Shift, in this order, each only if the system
// reports it as down.
void ReleaseHeldModifiers(InputSink& sink);

// Releases the modifiers that the action pressed, in the order Ctrl, left Alt,
// Shift, whatever the system reports.
void ReleaseActionModifiers(InputSink& sink, const GestureAction& a);

}  // namespace tactra
