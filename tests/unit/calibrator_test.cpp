// The calibration program's rules: where its targets lie in every orientation, the
// touch sequence with its time-out, the check of the points, the check screen's
// mapping and its buttons.
#include "device/mapping/calibrator.h"

#include <gtest/gtest.h>

#include "device/panel/touch_report.h"

namespace tactra {

// Found by argument-dependent lookup, so beside the types.
bool operator==(ScreenPoint a, ScreenPoint b) { return a.x == b.x && a.y == b.y; }
std::ostream& operator<<(std::ostream& out, ScreenPoint p) {
    return out << "(" << p.x << ", " << p.y << ")";
}
bool operator==(CalibrateCall a, CalibrateCall b) { return a.type == b.type && a.point == b.point; }
std::ostream& operator<<(std::ostream& out, CalibrateCall c) {
    return out << "{" << c.type << ", " << c.point << "}";
}

namespace {

DisplayState Screen(int32_t w, int32_t h, int32_t orientation) {
    DisplayState s;
    s.width = w;
    s.height = h;
    s.orientation = orientation;
    return s;
}

TEST(CalibrationTargets, UnturnedScreenHasThemOneEighthInAndInTheCentre) {
    const DisplayState s = Screen(1024, 768, 0);
    EXPECT_EQ(CalibrationTargetPosition(s, 1), (ScreenPoint{128, 96}));
    EXPECT_EQ(CalibrationTargetPosition(s, 2), (ScreenPoint{896, 96}));
    EXPECT_EQ(CalibrationTargetPosition(s, 3), (ScreenPoint{128, 672}));
    EXPECT_EQ(CalibrationTargetPosition(s, 4), (ScreenPoint{896, 672}));
    EXPECT_EQ(CalibrationTargetPosition(s, 5), (ScreenPoint{512, 384}));
}

// A touch on the panel's raw share (fx, fy) arrives as a record scaled to the mode's
// width and height; wherever the turned screen draws target k, a touch there must
// be the panel's position of target k.
TEST(CalibrationTargets, EveryOrientationPutsEachTargetOnItsPanelPosition) {
    const int eighthsX[] = {1, 7, 1, 7, 4};
    const int eighthsY[] = {1, 1, 7, 7, 4};
    struct Case {
        DisplayState screen;
        ScreenPoint first;  // where target 1 (the panel's top left) is drawn
    };
    const Case cases[] = {
        {Screen(1024, 768, 0), {128, 96}},
        {Screen(768, 1024, 1), {672, 128}},  // the panel's top left is at the top right
        {Screen(1024, 768, 2), {896, 672}},  // ... at the bottom right
        {Screen(768, 1024, 3), {96, 896}},   // ... at the bottom left
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.screen.orientation);
        EXPECT_EQ(CalibrationTargetPosition(c.screen, 1), c.first);
        for (int k = 1; k <= kCalibrationTargetCount; ++k) {
            const int32_t x = c.screen.width * 100 * eighthsX[k - 1] / 8;
            const int32_t y = c.screen.height * 100 * eighthsY[k - 1] / 8;
            EXPECT_EQ(RecordToScreen(c.screen, x, y), CalibrationTargetPosition(c.screen, k)) << k;
            // All five stay on the screen.
            const ScreenPoint p = CalibrationTargetPosition(c.screen, k);
            EXPECT_TRUE(p.x > 0 && p.x < c.screen.width && p.y > 0 && p.y < c.screen.height);
        }
    }
}

TEST(CalibrationTargets, CheckScreenMappingOfUnusualRecords) {
    // Orientation 0 is the record in pixels, truncated toward zero.
    EXPECT_EQ(RecordToScreen(Screen(1024, 768, 0), -150, 38450), (ScreenPoint{-1, 384}));
    // Far beyond the screen and a failed display query stay defined.
    const ScreenPoint far = RecordToScreen(Screen(768, 1024, 1), INT32_MAX, INT32_MIN);
    EXPECT_GT(far.x, 1000000);
    EXPECT_GT(far.y, 1000000);
    EXPECT_EQ(RecordToScreen(Screen(0, 0, 0), 5000, 7000), (ScreenPoint{50, 70}));
    // An orientation outside 0..3 is drawn unturned.
    EXPECT_EQ(CalibrationTargetPosition(Screen(1024, 768, 7), 1), (ScreenPoint{128, 96}));
}

constexpr uint32_t kDown = 0x1A;
constexpr uint32_t kMove = 0x19;
constexpr uint32_t kLift = 0x1C;
constexpr uint32_t kNothing = 0x04;

using Call = CalibrateCall;

TEST(CalibrationSequence, EachTouchBecomesDownMovesAndUpOfItsTarget) {
    CalibrationSequence s;
    s.Start(1000);
    EXPECT_EQ(s.Target(), 1);
    EXPECT_EQ(s.OnTouch(kNothing, 1010), (Call{0, 0}));
    for (int k = 1; k <= kCalibrationTargetCount; ++k) {
        EXPECT_EQ(s.OnTouch(kDown, 1100), (Call{2, k}));
        EXPECT_EQ(s.OnTouch(kMove, 1150), (Call{1, k}));
        EXPECT_EQ(s.OnTouch(kMove, 1160), (Call{1, k}));
        EXPECT_FALSE(s.Finished());
        EXPECT_EQ(s.OnTouch(kLift, 1200), (Call{4, k}));
        EXPECT_EQ(s.OnTouch(kNothing, 1210), (Call{0, 0}));
    }
    EXPECT_TRUE(s.Finished());
    EXPECT_EQ(s.OnTouch(kDown, 1300), (Call{0, 0}));
    // Starting again begins with target 1.
    s.Start(2000);
    EXPECT_EQ(s.Target(), 1);
    EXPECT_EQ(s.OnTouch(kDown, 2100), (Call{2, 1}));
}

TEST(CalibrationSequence, ATouchAlreadyDownIsPassedOverUntilItEnds) {
    CalibrationSequence s;
    s.Start(0);
    EXPECT_EQ(s.OnTouch(kMove, 10), (Call{0, 0}));
    EXPECT_EQ(s.OnTouch(kLift, 20), (Call{0, 0}));
    EXPECT_EQ(s.Target(), 1);
    // A second down without a lift starts the target's point afresh.
    EXPECT_EQ(s.OnTouch(kDown, 30), (Call{2, 1}));
    EXPECT_EQ(s.OnTouch(kDown, 40), (Call{2, 1}));
    EXPECT_EQ(s.OnTouch(kLift, 50), (Call{4, 1}));
    EXPECT_EQ(s.Target(), 2);
}

TEST(CalibrationSequence, ThirtySecondsWithoutATouchTimeOut) {
    CalibrationSequence s;
    s.Start(UINT32_MAX - 1000);  // across the tick counter's wrap
    EXPECT_FALSE(s.TimedOut(UINT32_MAX - 1000 + kCalibrationTimeoutMs - 1));
    EXPECT_TRUE(s.TimedOut(UINT32_MAX - 1000 + kCalibrationTimeoutMs));
    // Every contact counts as activity; the panel's "nothing touches" does not.
    s.Start(0);
    s.OnTouch(kDown, 20000);
    s.OnTouch(kNothing, 40000);
    EXPECT_FALSE(s.TimedOut(49999));
    EXPECT_TRUE(s.TimedOut(50000));
    s.OnTouch(kLift, 50000);
    EXPECT_FALSE(s.TimedOut(79999));
    // Once all targets are done the program has moved on.
    for (int k = 2; k <= kCalibrationTargetCount; ++k) {
        s.OnTouch(kDown, 50000);
        s.OnTouch(kLift, 50000);
    }
    EXPECT_FALSE(s.TimedOut(200000));
}

TEST(CalibrationCheck, RefusesPointsThatCannotBeThePanelsCorners) {
    struct Row {
        CalibrationPoint p[5];
        CalibrationCheck expected;
    };
    const Row rows[] = {
        // The worked example and the ideal targets of a 0..4095 panel.
        {{{600, 500}, {3500, 520}, {580, 3600}, {3520, 3580}, {2048, 2048}}, CalibrationCheck::kOk},
        {{{512, 512}, {3584, 512}, {512, 3584}, {3584, 3584}, {2048, 2048}}, CalibrationCheck::kOk},
        // Every touch on one spot, and 1 and 2 or 1 and 3 just under a quarter apart.
        {{{2000, 2000}, {2000, 2000}, {2000, 2000}, {2000, 2000}, {2000, 2000}},
         CalibrationCheck::kTargetsTooClose},
        {{{600, 500}, {1623, 500}, {580, 3600}, {3520, 3580}, {0, 0}},
         CalibrationCheck::kTargetsTooClose},
        {{{600, 500}, {3500, 520}, {600, 1523}, {3520, 3580}, {0, 0}},
         CalibrationCheck::kTargetsTooClose},
        // Exactly a quarter apart is accepted.
        {{{600, 500}, {1624, 500}, {600, 1524}, {1624, 1524}, {0, 0}}, CalibrationCheck::kOk},
        // kMinTargetDistance (1024) off the axes, where each difference alone is under it: the
        // nearest integer distances on either side (933² + 422² = 1024² - 3, 904² + 481² =
        // 1024² + 1), for 1 and 2 and for 1 and 3.
        {{{600, 500}, {1533, 922}, {580, 3600}, {3520, 3580}, {0, 0}},
         CalibrationCheck::kTargetsTooClose},
        {{{600, 500}, {1504, 981}, {580, 3600}, {3520, 3580}, {0, 0}}, CalibrationCheck::kOk},
        {{{600, 500}, {3500, 520}, {1022, 1433}, {3520, 3580}, {0, 0}},
         CalibrationCheck::kTargetsTooClose},
        {{{600, 500}, {3500, 520}, {1081, 1404}, {3520, 3580}, {0, 0}}, CalibrationCheck::kOk},
        // Equal limits count as reversed; one unit apart they are kept (MinX 1488, MaxX 1488
        // or 1489; then MinY 1488, MaxY 1488 or 1489).
        {{{2000, 500}, {976, 600}, {2000, 3600}, {976, 3600}, {0, 0}},
         CalibrationCheck::kLimitsReversed},
        {{{2000, 500}, {977, 600}, {2000, 3600}, {977, 3600}, {0, 0}}, CalibrationCheck::kOk},
        {{{500, 2000}, {3600, 2000}, {600, 976}, {3600, 976}, {0, 0}},
         CalibrationCheck::kLimitsReversed},
        {{{500, 2000}, {3600, 2000}, {600, 977}, {3600, 977}, {0, 0}}, CalibrationCheck::kOk},
        // Left and right, or top and bottom, swapped: the limits come out reversed.
        {{{3500, 500}, {600, 520}, {3520, 3600}, {580, 3580}, {2048, 2048}},
         CalibrationCheck::kLimitsReversed},
        {{{600, 3600}, {3500, 3580}, {580, 500}, {3520, 520}, {2048, 2048}},
         CalibrationCheck::kLimitsReversed},
        // Extreme values do not overflow the distance.
        {{{INT32_MAX, INT32_MAX}, {INT32_MIN, INT32_MAX}, {INT32_MAX, INT32_MIN}, {0, 0}, {0, 0}},
         CalibrationCheck::kLimitsReversed},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(CheckCalibrationPoints(row.p), row.expected)
            << row.p[0].x << "," << row.p[0].y << " " << row.p[1].x << "," << row.p[1].y;
    }
    EXPECT_STREQ(CalibrationCheckMessage(CalibrationCheck::kOk), "");
    EXPECT_NE(std::string(CalibrationCheckMessage(CalibrationCheck::kTargetsTooClose)), "");
    EXPECT_NE(std::string(CalibrationCheckMessage(CalibrationCheck::kLimitsReversed)), "");
}

TEST(CalibrationCheckScreen, ButtonsLieApartAndClearOfEveryTarget) {
    for (const DisplayState& s : {Screen(640, 480, 0), Screen(1024, 768, 0), Screen(768, 1024, 1),
                                  Screen(1920, 1080, 2), Screen(600, 800, 3)}) {
        const CheckScreenLayout layout = LayOutCheckScreen(s.width, s.height);
        EXPECT_LE(layout.accept.right, layout.retry.left);
        for (const ScreenRect& r : {layout.accept, layout.retry}) {
            EXPECT_TRUE(r.left >= 0 && r.right <= s.width && r.top >= 0 && r.bottom <= s.height);
            for (int k = 1; k <= kCalibrationTargetCount; ++k) {
                // The target's cross, 30 pixels each way, stays outside the button.
                const ScreenPoint t = CalibrationTargetPosition(s, k);
                const ScreenRect cross{t.x - 30, t.y - 30, t.x + 31, t.y + 31};
                const bool overlap = cross.left < r.right && r.left < cross.right &&
                                     cross.top < r.bottom && r.top < cross.bottom;
                EXPECT_FALSE(overlap) << s.width << "x" << s.height << " target " << k;
            }
        }
        const ScreenPoint inside{layout.accept.left, layout.accept.top};
        EXPECT_TRUE(layout.accept.Contains(inside));
        EXPECT_FALSE(layout.accept.Contains({layout.accept.right, layout.accept.top}));
    }
}

}  // namespace
}  // namespace tactra
