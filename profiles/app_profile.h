// A profile's gesture actions as "Tactra.ini" stores them: the eight gestures, an
// action's Case, Code and Up, and the modifier sets the cases stand for.
#pragma once

#include <cstdint>

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

}  // namespace tactra
