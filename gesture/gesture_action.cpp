#include "gesture/gesture_action.h"

namespace tactra {

namespace {

// Modifiers are released in this order, whoever pressed them.
constexpr uint8_t kReleaseOrder[3] = {kVkControl, kVkLMenu, kVkShift};

bool Holds(const ModifierKeys& keys, uint8_t vk) {
    return vk == kVkShift ? keys.shift : (vk == kVkControl ? keys.ctrl : keys.alt);
}

}  // namespace

void PressModifierSet(InputSink& sink, int32_t modifierSet) {
    const ModifierKeys keys = ModifierSetKeys(modifierSet);
    if (keys.shift) sink.KeyEvent(kVkShift, false);
    if (keys.ctrl) sink.KeyEvent(kVkControl, false);
    if (keys.alt) sink.KeyEvent(kVkLMenu, false);
}

void DoGestureAction(InputSink& sink, int32_t kind, int32_t code, int32_t up) {
    if (kind < 1 || kind > 16) return;
    if (kind <= 8) {
        PressModifierSet(sink, kind);
        if (code == kWheelActionCode) {
            sink.MouseEvent(kMouseEventWheel, 0, 0, up == 1 ? kWheelDelta : -kWheelDelta);
        } else {
            // Only a hand-edited profile holds such a code: a pair of raw mouse events.
            const uint32_t flags = static_cast<uint32_t>(code);
            sink.MouseEvent(flags, 0, 0, 0);
            sink.MouseEvent(flags + 1, 0, 0, 0);
        }
        return;
    }
    PressModifierSet(sink, kind - 8);
    const uint8_t vk = static_cast<uint8_t>(code & 0xFF);
    sink.KeyEvent(vk, false);
    sink.KeyEvent(vk, true);
}

void ReleaseHeldModifiers(InputSink& sink) {
    for (uint8_t vk : kReleaseOrder) {
        if (sink.IsKeyDown(vk)) sink.KeyEvent(vk, true);
    }
}

void ReleaseActionModifiers(InputSink& sink, const GestureAction& a) {
    const ModifierKeys keys = ModifierSetKeys(ActionModifierSet(a));
    for (uint8_t vk : kReleaseOrder) {
        if (Holds(keys, vk)) sink.KeyEvent(vk, true);
    }
}

}  // namespace tactra
