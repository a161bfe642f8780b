// Gesture actions: a wheel step or a key press, each with a set of Shift, Ctrl and
// Alt, played into the input stream.
#pragma once

#include <cstdint>

#include "platform/input_sink.h"

namespace tactra {

// One gesture's action, stored in a profile as the keys Case, Code and Up
// (iCase, iCode and bUp in the main dialog's vocabulary).
struct GestureAction {
    // 0: no action; 1..8: a wheel step with modifier set `kind`; 9..16: a key press
    // with modifier set `kind` - 8.
    int32_t kind = 0;
    int32_t code = 0;  // kWheelActionCode for a wheel step; the virtual key for 9..16
    int32_t up = 0;    // wheel direction: 1 forward, anything else back

    bool operator==(const GestureAction& o) const {
        return kind == o.kind && code == o.code && up == o.up;
    }
};

constexpr int32_t kWheelActionCode = 2048;  // the wheel event's flag value

// The eight gestures; their names double as the profile keys' prefixes. A plain
// enum: it indexes a profile's actions and the names.
enum Gesture {
    kZoomIn,
    kZoomOut,
    kRotateAC,
    kRotateCL,
    kFlickUp,
    kFlickDown,
    kFlickLeft,
    kFlickRight,
    kGestureCount
};
constexpr const char* kGestureNames[kGestureCount] = {
    "ZoomIn", "ZoomOut", "RotateAC", "RotateCL", "FlickUp", "FlickDown", "FlickLeft", "FlickRight"};

// A profile's actions, indexed by Gesture.
struct AppProfile {
    GestureAction actions[kGestureCount];
};

// The keys of a modifier set: 1 none, 2 Ctrl, 3 Alt, 4 Shift, 5 Ctrl+Alt,
// 6 Shift+Ctrl, 7 Shift+Alt, 8 all three. Alt is the left Alt key.
struct ModifierKeys {
    bool shift = false;
    bool ctrl = false;
    bool alt = false;

    bool operator==(const ModifierKeys& o) const {
        return shift == o.shift && ctrl == o.ctrl && alt == o.alt;
    }
};

// The keys of set 1..8; none for any other value.
ModifierKeys ModifierSetKeys(int32_t modifierSet);

// The modifier set an action plays with: 1..8 for cases 1..16, 0 (none) otherwise.
int32_t ActionModifierSet(const GestureAction& a);

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
