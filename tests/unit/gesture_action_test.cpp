#include "gesture/gesture_action.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/recording_input_sink.h"

namespace tactra {
namespace {

using Events = std::vector<InputEvent>;

Events Play(int32_t kind, int32_t code, int32_t up) {
    RecordingInputSink sink;
    DoGestureAction(sink, kind, code, up);
    return sink.Events();
}

std::string Describe(const Events& events) {
    std::string s;
    for (const InputEvent& e : events) s += e.ToString() + "; ";
    return s;
}

const InputEvent kCtrl = KeyDown(kVkControl);
const InputEvent kAlt = KeyDown(kVkLMenu);
const InputEvent kShift = KeyDown(kVkShift);

// The modifier keys of each set, in press order (index = set).
const Events kModifiers[9] = {
    {},
    {},
    {kCtrl},
    {kAlt},
    {kShift},
    {kCtrl, kAlt},
    {kShift, kCtrl},
    {kShift, kAlt},
    {kShift, kCtrl, kAlt},
};

TEST(DoGestureAction, EveryCaseFromMinusOneToSeventeen) {
    for (int32_t kind = -1; kind <= 17; ++kind) {
        SCOPED_TRACE(kind);
        Events expected;
        if (kind >= 1 && kind <= 8) {
            expected = kModifiers[kind];
            expected.push_back(Mouse(kMouseEventWheel, 0, 0, 120));
        } else if (kind >= 9 && kind <= 16) {
            expected = kModifiers[kind - 8];
            expected.push_back(KeyDown(65));
            expected.push_back(KeyUp(65));
        }
        const Events actual = Play(kind, kind <= 8 ? 2048 : 65, 1);
        EXPECT_EQ(actual, expected) << Describe(actual);
    }
}

TEST(DoGestureAction, WheelDirectionIsForwardOnlyForOne) {
    EXPECT_EQ(Play(2, 2048, 1), (Events{kCtrl, Mouse(kMouseEventWheel, 0, 0, 120)}));
    EXPECT_EQ(Play(2, 2048, 0), (Events{kCtrl, Mouse(kMouseEventWheel, 0, 0, -120)}));
    EXPECT_EQ(Play(1, 2048, 2), (Events{Mouse(kMouseEventWheel, 0, 0, -120)}));
    EXPECT_EQ(Play(1, 2048, -1), (Events{Mouse(kMouseEventWheel, 0, 0, -120)}));
}

TEST(DoGestureAction, WheelCaseWithOtherCodeSendsTwoRawMouseEvents) {
    EXPECT_EQ(Play(4, 2, 1), (Events{kShift, Mouse(2), Mouse(3)}));
    EXPECT_EQ(Play(1, 8, 0), (Events{Mouse(8), Mouse(9)}));
    EXPECT_EQ(Play(1, 0, 1), (Events{Mouse(0), Mouse(1)}));
}

TEST(DoGestureAction, KeyIsTheLowEightBitsOfTheCode) {
    EXPECT_EQ(Play(9, 34, 0), (Events{KeyDown(34), KeyUp(34)}));
    EXPECT_EQ(Play(9, 0x141, 0), (Events{KeyDown(0x41), KeyUp(0x41)}));
    EXPECT_EQ(Play(10, 0xFF4C, 7), (Events{kCtrl, KeyDown(0x4C), KeyUp(0x4C)}));
    EXPECT_EQ(Play(14, 109, 0), (Events{kShift, kCtrl, KeyDown(109), KeyUp(109)}));
}

TEST(DoGestureAction, ModifiersStayDownUntilReleased) {
    RecordingInputSink sink;
    DoGestureAction(sink, 16, 65, 0);
    EXPECT_TRUE(sink.IsKeyDown(kVkShift));
    EXPECT_TRUE(sink.IsKeyDown(kVkControl));
    EXPECT_TRUE(sink.IsKeyDown(kVkLMenu));
    sink.Clear();
    ReleaseHeldModifiers(sink);
    EXPECT_EQ(sink.Events(), (Events{KeyUp(kVkControl), KeyUp(kVkLMenu), KeyUp(kVkShift)}));
    sink.Clear();
    ReleaseHeldModifiers(sink);
    EXPECT_TRUE(sink.Events().empty()) << "only keys reported down are released";
}

TEST(DoGestureAction, ReleaseFollowsTheReportedKeyStateNotTheActionsPressed) {
    RecordingInputSink sink;
    sink.SetKeyState(kVkShift, true);  // held by the user
    ReleaseHeldModifiers(sink);
    EXPECT_EQ(sink.Events(), (Events{KeyUp(kVkShift)}));
}

// A flick's action is released at once: exactly the keys its action pressed,
// Ctrl, Alt, Shift in this order, whatever the user holds.
TEST(ReleaseActionModifiers, ReleasesWhatTheActionPressedForEveryCase) {
    for (int32_t kind = -1; kind <= 17; ++kind) {
        SCOPED_TRACE(kind);
        RecordingInputSink sink;
        sink.SetKeyState(kVkShift, kind == 2);  // the user's own Shift is not released
        GestureAction a;
        a.kind = kind;
        a.code = kind <= 8 ? 2048 : 65;
        DoGestureAction(sink, a);
        Events expected;
        for (uint8_t vk : {kVkControl, kVkLMenu, kVkShift}) {
            for (const InputEvent& e : sink.Events()) {
                if (e == KeyDown(vk)) expected.push_back(KeyUp(vk));
            }
        }
        sink.Clear();
        ReleaseActionModifiers(sink, a);
        EXPECT_EQ(sink.Events(), expected) << Describe(sink.Events());
    }
}

}  // namespace
}  // namespace tactra
