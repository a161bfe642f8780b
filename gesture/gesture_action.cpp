#include "gesture/gesture_action.h"

#include <initializer_list>

namespace tactra {

void PressModifierSet(InputSink& sink, int32_t modifierSet) {
    // Keys per set, in press order; 0 ends a list.
    static const uint8_t kSets[8][3] = {
        {0, 0, 0},                            // 1: none
        {kVkControl, 0, 0},                   // 2
        {kVkLMenu, 0, 0},                     // 3
        {kVkShift, 0, 0},                     // 4
        {kVkControl, kVkLMenu, 0},            // 5
        {kVkShift, kVkControl, 0},            // 6
        {kVkShift, kVkLMenu, 0},              // 7
        {kVkShift, kVkControl, kVkLMenu},     // 8
    };
    if (modifierSet < 1 || modifierSet > 8) return;
    for (uint8_t vk : kSets[modifierSet - 1]) {
        if (vk == 0) break;
        sink.KeyEvent(vk, false);
    }
}

void DoGestureAction(InputSink& sink, int32_t iCase, int32_t iCode, int32_t bUp) {
    if (iCase < 1 || iCase > 16) return;
    if (iCase <= 8) {
        PressModifierSet(sink, iCase);
        if (iCode == kWheelActionCode) {
            sink.MouseEvent(kMouseEventWheel, 0, 0, bUp == 1 ? kWheelDelta : -kWheelDelta);
        } else {
            // Only a hand-edited profile holds such a code: a pair of raw mouse events.
            const uint32_t flags = static_cast<uint32_t>(iCode);
            sink.MouseEvent(flags, 0, 0, 0);
            sink.MouseEvent(flags + 1, 0, 0, 0);
        }
        return;
    }
    PressModifierSet(sink, iCase - 8);
    const uint8_t vk = static_cast<uint8_t>(iCode & 0xFF);
    sink.KeyEvent(vk, false);
    sink.KeyEvent(vk, true);
}

void ReleaseHeldModifiers(InputSink& sink) {
    for (uint8_t vk : {kVkControl, kVkLMenu, kVkShift}) {
        if (sink.IsKeyDown(vk)) sink.KeyEvent(vk, true);
    }
}

}  // namespace tactra
