// Gesture actions: a wheel step or a key press, each with a set of Shift, Ctrl and
// Alt, played into the input stream.
#pragma once

#include <cstdint>

#include "platform/input_sink.h"

namespace tactra {

struct GestureAction {
    int32_t iCase = 0;  // 0: no action; 1..8 wheel with modifier set iCase; 9..16 key with set iCase-8
    int32_t iCode = 0;  // 2048 (wheel) for 1..8; the virtual key for 9..16
    int32_t bUp = 0;    // wheel direction: 1 forward, anything else back

    bool operator==(const GestureAction& o) const {
        return iCase == o.iCase && iCode == o.iCode && bUp == o.bUp;
    }
};

constexpr int32_t kWheelActionCode = 2048;  // the wheel event's flag value

// The eight gestures; their names double as the profile keys' prefixes.
enum Gesture { kZoomIn, kZoomOut, kRotateAC, kRotateCL, kFlickUp, kFlickDown, kFlickLeft, kFlickRight,
               kGestureCount };
constexpr const char* kGestureNames[kGestureCount] = {
    "ZoomIn", "ZoomOut", "RotateAC", "RotateCL", "FlickUp", "FlickDown", "FlickLeft", "FlickRight"};

// A profile's actions, indexed by Gesture.
struct AppProfile {
    GestureAction actions[kGestureCount];
};

// Presses the modifier set (1..8) in its order: Shift before Ctrl before Alt,
// except set 5, which is Ctrl then Alt.
void PressModifierSet(InputSink& sink, int32_t modifierSet);

// Plays one action. Modifiers it presses stay down; see ReleaseHeldModifiers.
void DoGestureAction(InputSink& sink, int32_t iCase, int32_t iCode, int32_t bUp);
inline void DoGestureAction(InputSink& sink, const GestureAction& a) {
    DoGestureAction(sink, a.iCase, a.iCode, a.bUp);
}

// Releases Ctrl, left Alt and Shift, in this order, each only if the system
// reports it as down.
void ReleaseHeldModifiers(InputSink& sink);

}  // namespace tactra
