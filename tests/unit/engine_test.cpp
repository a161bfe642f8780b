#include "gesture/engine.h"

#include <gtest/gtest.h>

#include "device/mapping/touch_priority.h"
#include "platform/diagnostic_log.h"
#include "platform/recording_input_sink.h"
#include "tests/support/fake_display.h"

using namespace tactra;

namespace {

class NoProfiles : public ProfileSource {
public:
    void RefreshProfileSections() override { ++refreshes; }
    const std::vector<std::string>& Sections() const override { return sections; }
    void ReadProfile(const std::string& section, AppProfile& p) const override {
        read.push_back(section);
        p.actions[kZoomIn] = {10, 76, p.actions[kZoomIn].up};
    }
    std::vector<std::string> sections;
    mutable std::vector<std::string> read;
    int refreshes = 0;
};

class Foreground : public ForegroundApp {
public:
    bool ReadModuleName(std::string& n) override {
        if (!readable) return false;
        n = file;
        return true;
    }
    bool ReadWindowTitle(std::string& t) override {
        t = title;
        return true;
    }
    bool readable = true;
    std::string file = "app.exe";
    std::string title = "Some Title";
};

struct Engine {
    VirtualClock clock;
    RecordingInputSink sink{&clock};
    Foreground fg;
    tactra::testing::FakeDisplay display;
    NoProfiles profiles;
    GestureState s;
    EnginePorts ports;
    std::vector<Gesture> gestures;
    Engine() {
        ports.clock = &clock;
        ports.sink = &sink;
        ports.foreground = &fg;
        ports.display = &display;
        ports.profiles = &profiles;
        ports.onGesture = [this](Gesture g) { gestures.push_back(g); };
    }
    // Pixel positions; flags as the reader builds them.
    void Batch(uint32_t tick, uint32_t f1, int x1, int y1, uint32_t f2, int x2, int y2) {
        clock.Set(tick);
        TOUCHINPUT r[2] = {};
        r[0].x = x1 * 100;
        r[0].y = y1 * 100;
        r[0].dwFlags = f1;
        r[1].x = x2 * 100;
        r[1].y = y2 * 100;
        r[1].dwFlags = f2;
        EXPECT_EQ(OnTouchInput(s, ports, r), 1);
    }
};

}  // namespace

TEST(TouchFlags, ReductionTestsDownThenMoveThenInRange) {
    EXPECT_EQ(ReduceTouchFlags(0x1A), TouchPhase::kDown);
    EXPECT_EQ(ReduceTouchFlags(0x19), TouchPhase::kMove);
    EXPECT_EQ(ReduceTouchFlags(0x1C), TouchPhase::kUp);
    EXPECT_EQ(ReduceTouchFlags(0x0C), TouchPhase::kUp);
    EXPECT_EQ(ReduceTouchFlags(0x04), TouchPhase::kUp);
    EXPECT_EQ(ReduceTouchFlags(0x08), TouchPhase::kInRange);
    EXPECT_EQ(ReduceTouchFlags(0x00), TouchPhase::kUp);
    EXPECT_EQ(ReduceTouchFlags(0x03), TouchPhase::kDown);  // DOWN wins over MOVE
}

TEST(Angles, DirectionAndDifference) {
    EXPECT_DOUBLE_EQ(VectorAngle(1, 0), 0.0);
    EXPECT_DOUBLE_EQ(VectorAngle(0, 1), 90.0);
    EXPECT_DOUBLE_EQ(VectorAngle(-1, 0), 180.0);
    EXPECT_DOUBLE_EQ(VectorAngle(0, -1), 270.0);
    EXPECT_NEAR(VectorAngle(1, -1), 315.0, 1e-9);
    EXPECT_NEAR(AngleDifference(350.0, 10.0), 20.0, 1e-9);
    EXPECT_NEAR(AngleDifference(10.0, 350.0), -20.0, 1e-9);
    EXPECT_DOUBLE_EQ(AngleDifference(0.0, 180.0), -180.0);
}

TEST(Dispatcher, StatusTextShowsNegativePositionsAsZero) {
    FingerSample sample;
    sample.x = -3;
    sample.y = 17;
    sample.phase = TouchPhase::kDown;
    EXPECT_EQ(SampleStatusText(1, sample), "X1-2[0] Y1[17]");
    EXPECT_EQ(sample.x, -3);
}

TEST(Dispatcher, OnlyFingerTwoNewClearsBothMarksAndSendsNothing) {
    Engine e;
    e.s.fingers[kFinger1].newSample = false;
    e.s.fingers[kFinger2].newSample = true;
    e.s.samples[kFinger1].phase = TouchPhase::kInRange;
    MTouchEventDispatch(e.s, e.ports);
    EXPECT_FALSE(e.s.fingers[kFinger1].newSample);
    EXPECT_FALSE(e.s.fingers[kFinger2].newSample);
    EXPECT_TRUE(e.sink.Events().empty());
}

TEST(Dispatcher, EveryBatchRefreshesAndMatchesTheForegroundApplication) {
    Engine e;
    e.profiles.sections = {"other.exe", "Title", "app.exe"};
    e.Batch(0, 0x1A, 10, 10, 0x04, 0, 0);
    e.Batch(8, 0x19, 10, 10, 0x04, 0, 0);
    EXPECT_EQ(e.profiles.refreshes, 2);
    EXPECT_EQ(e.profiles.read,
              (std::vector<std::string>{"Title", "Title"}));  // key word first in order
    EXPECT_EQ(e.s.profile.actions[kZoomIn], (GestureAction{10, 76, 0}));

    // An unreadable process is "<unknown>"; without a match Case and Code are
    // cleared and Up is kept.
    e.fg.readable = false;
    e.fg.title = "nothing";
    e.s.profile.actions[kFlickUp] = {1, 2048, 1};
    e.Batch(16, 0x19, 10, 10, 0x04, 0, 0);
    EXPECT_EQ(e.s.fileName, "<unknown>");
    EXPECT_EQ(e.s.profile.actions[kFlickUp], (GestureAction{0, 0, 1}));
    EXPECT_EQ(e.s.matchedSection, -1);
}

TEST(Dispatcher, TwoFingersBothPastTheDownPhaseReachTheRecogniser) {
    Engine e;
    // Fingers 200 px apart touch 100 ms apart; turned 60 degrees once both are
    // past 300 ms. The first evaluation with both new comes at 400 ms.
    e.Batch(0, 0x1A, 412, 384, 0x04, 0, 0);
    e.Batch(100, 0x19, 412, 384, 0x0A, 612, 384);
    e.Batch(350, 0x19, 462, 297, 0x09, 562, 471);  // finger 2 still in its down phase
    EXPECT_TRUE(e.gestures.empty());
    EXPECT_EQ(e.s.twoFinger.mode, TwoFingerMode::kNone);
    e.Batch(400, 0x19, 462, 297, 0x09, 562, 471);
    EXPECT_EQ(e.gestures, std::vector<Gesture>{kRotateCL});
    EXPECT_EQ(e.s.twoFinger.mode, TwoFingerMode::kRotating);
    EXPECT_EQ(e.s.fingers[kFinger1].anchorX, 462);  // re-anchored
    // A lift ends the gesture.
    e.Batch(420, 0x19, 462, 297, 0x0C, 562, 471);
    EXPECT_EQ(e.s.twoFinger.mode, TwoFingerMode::kNone);
}

namespace {

constexpr uint32_t kDown1 = 0x1A, kMove1 = 0x19, kUp1 = 0x1C;
constexpr uint32_t kDown2 = 0x0A, kMove2 = 0x09, kUp2 = 0x0C, kAbsent2 = 0x04;

size_t CountMouse(const RecordingInputSink& sink, uint32_t flags) {
    size_t n = 0;
    for (const InputEvent& e : sink.Events()) {
        if (e.kind == InputEvent::Kind::kMouse && e.flags == flags) ++n;
    }
    return n;
}

}  // namespace

// Tick counts wrap after 49.7 days; every time limit is an unsigned difference, so
// a touch that spans the wrap behaves like any other.
TEST(Dispatcher, TimeLimitsHoldAcrossTheTickCountWrap) {
    const uint32_t t0 = 0xFFFFFF00u;  // 256 ms before the wrap
    {
        // Held still: still in the down phase 200 ms after the down (no new sample
        // from the move), moving after 300, one right click from 1500 ms on.
        Engine e;
        e.Batch(t0, kDown1, 500, 400, kAbsent2, 0, 0);
        e.Batch(t0 + 200, kMove1, 500, 400, kAbsent2, 0, 0);
        EXPECT_EQ(e.s.fingers[kFinger1].phase, TouchPhase::kDown);
        e.Batch(t0 + 320, kMove1, 500, 400, kAbsent2, 0, 0);
        EXPECT_EQ(e.s.fingers[kFinger1].phase, TouchPhase::kMove);
        e.Batch(t0 + 1499, kMove1, 500, 400, kAbsent2, 0, 0);
        EXPECT_EQ(CountMouse(e.sink, kMouseEventRightDown), 0u);
        e.Batch(t0 + 1500, kMove1, 500, 400, kAbsent2, 0, 0);
        e.Batch(t0 + 9000, kMove1, 500, 400, kAbsent2, 0, 0);
        EXPECT_EQ(CountMouse(e.sink, kMouseEventRightDown), 1u);
    }
    {
        // A click just before the wrap and a touch 120 ms later, after it: the
        // immediate click of a double tap.
        Engine e;
        e.Batch(t0, kDown1, 500, 400, kAbsent2, 0, 0);
        e.Batch(t0 + 200, kUp1, 500, 400, kAbsent2, 0, 0);  // click at 0xFFFFFFC8
        const size_t downs = CountMouse(e.sink, kMouseEventAbsolute | kMouseEventLeftDown);
        e.Batch(t0 + 320, kDown1, 500, 400, kAbsent2, 0, 0);  // tick 0x40
        EXPECT_EQ(CountMouse(e.sink, kMouseEventAbsolute | kMouseEventLeftDown), downs + 1);
        EXPECT_EQ(e.s.click, ClickState::kDoubleClicked);
    }
    {
        // Finger 2 tapped for 200 ms across the wrap: one right click; a flick
        // lifted 250 ms after a down before the wrap is still quick.
        Engine e;
        e.Batch(t0 - 1000, kDown1, 500, 400, kAbsent2, 0, 0);
        e.Batch(t0 + 150, kMove1, 500, 400, kDown2, 700, 400);
        e.Batch(t0 + 250, kMove1, 500, 400, kMove2, 700, 400);
        e.Batch(t0 + 350, kMove1, 500, 400, kUp2, 700, 400);  // tick 0x5E
        EXPECT_EQ(CountMouse(e.sink, kMouseEventRightDown), 1u);
    }
    {
        Engine e;
        e.s.mouseMode = kMouseModeOsPointer;
        e.Batch(t0 + 100, kDown1, 500, 400, kAbsent2, 0, 0);
        e.Batch(t0 + 250, kMove1, 560, 400, kAbsent2, 0, 0);
        e.Batch(t0 + 349, kUp1, 560, 400, kAbsent2, 0, 0);  // 249 ms, after the wrap
        EXPECT_EQ(e.gestures, std::vector<Gesture>{kFlickRight});
    }
}

// kInRangeReleaseMs (200): a record in range without contact releases the drag's button
// only within 200 ms of the touch-down. No panel report gives such a record (the reader
// marks a lift UP), so no trace reaches this limit; its edge is pinned here.
TEST(SingleTouch, InRangeReleasesTheButtonOnlyBefore200Ms) {
    constexpr uint32_t kInRange1 = 0x18;  // INRANGE | PRIMARY, neither DOWN, MOVE nor UP
    for (const uint32_t tick : {199u, 200u}) {
        Engine e;
        e.Batch(0, kDown1, 500, 400, kAbsent2, 0, 0);
        e.Batch(50, kMove1, 540, 400, kAbsent2, 0, 0);  // 40 px: a drag holds the button
        ASSERT_EQ(e.s.pointer, PointerState::kDragging);
        e.Batch(tick, kInRange1, 540, 400, kAbsent2, 0, 0);
        const bool released = tick == 199u;
        EXPECT_EQ(CountMouse(e.sink, kMouseEventAbsolute | kMouseEventLeftUp), released ? 1u : 0u)
            << tick;
        // Released, the pointer still follows the finger.
        EXPECT_EQ(e.s.pointer, released ? PointerState::kHovering : PointerState::kDragging)
            << tick;
    }
}

// The positions follow the display mode read for the same batch; a failed read
// keeps the last mode, and an orientation outside 0..3 keeps the last positions.
TEST(Dispatcher, DisplayModeReadForEveryBatch) {
    Engine e;
    e.display.mode = {768, 1024, 1};
    e.Batch(0, kDown1, 384, 512, kAbsent2, 0, 0);
    EXPECT_EQ(e.s.samples[kFinger1].x, 256);
    EXPECT_EQ(e.s.samples[kFinger1].y, 384);
    e.display.fails = true;
    e.Batch(10, kMove1, 100, 200, kAbsent2, 0, 0);
    EXPECT_EQ(e.s.samples[kFinger1].x, 768 - 200);  // still portrait, orientation 1
    EXPECT_EQ(e.s.samples[kFinger1].y, 100);
    e.display.fails = false;
    e.display.mode = {1024, 768, 5};
    e.Batch(20, kMove1, 300, 300, kAbsent2, 0, 0);
    EXPECT_EQ(e.s.samples[kFinger1].x, 568);  // unchanged from the previous batch
    EXPECT_EQ(e.s.samples[kFinger1].y, 100);
    EXPECT_EQ(e.s.samples[kFinger1].phase, TouchPhase::kMove);
    EXPECT_EQ(e.s.display.width, 1024);  // the new size is still taken
    e.display.mode = {1024, 768, 2};
    e.Batch(30, kMove1, 0, 0, kAbsent2, 0, 0);
    EXPECT_EQ(e.s.samples[kFinger1].x, 1024);
    EXPECT_EQ(e.s.samples[kFinger1].y, 768);
}

// A chosen monitor takes the positions while it is attached (its size, its own
// orientation, events over the virtual desktop); otherwise the primary display's
// mode does, as without a monitor. Each change is logged once.
TEST(Dispatcher, ChosenMonitorWhileAttachedElseThePrimaryDisplayLoggedOnceEachWay) {
    Engine e;
    std::vector<std::string> log;
    ProcessLog().SetDebugOutput([&](const char* line) { log.push_back(line); });
    const MonitorInfo primary{"\\\\.\\DISPLAY1", {0, 0, 1024, 768}, 0, true};
    const MonitorInfo upsideDown{"\\\\.\\DISPLAY2", {-1280, -256, 1280, 1024}, 2, false};
    e.display.hasDesktop = true;
    e.display.layout.monitors = {primary, upsideDown};
    e.display.layout.virtualScreen = {-1280, -256, 2304, 1024};
    e.s.monitor.Choose("\\\\.\\display2");

    // Turned half round on the monitor: (100, 100) is its pixel (1180, 924).
    const auto tap = [&](uint32_t tick) {
        e.Batch(tick, kDown1, 100, 100, kAbsent2, 0, 0);
        e.Batch(tick + 80, kUp1, 100, 100, kAbsent2, 0, 0);
    };
    tap(0);
    e.display.layout.monitors = {primary};
    e.display.layout.virtualScreen = {0, 0, 1024, 768};
    tap(300);
    e.display.hasDesktop = false;  // the monitors cannot be listed: as not attached
    tap(600);
    e.display.hasDesktop = true;
    e.display.layout.monitors = {primary, upsideDown};
    e.display.layout.virtualScreen = {-1280, -256, 2304, 1024};
    e.Batch(900, kDown1, 100, 100, kAbsent2, 0, 0);
    ProcessLog().SetDebugOutput(nullptr);

    std::vector<InputEvent> expected;
    for (const uint32_t flags : {0xC001u, 0xC001u, 0xC002u, 0xC004u}) {
        expected.push_back(Mouse(flags, 33565, 59136));
    }
    for (int i = 0; i < 2; ++i) {
        for (const uint32_t flags : {0x8001u, 0x8001u, 0x8002u, 0x8004u}) {
            expected.push_back(Mouse(flags, 6400, 8533));
        }
    }
    expected.push_back(Mouse(0xC001, 33565, 59136));
    EXPECT_EQ(e.sink.Events(), expected);
    EXPECT_EQ(log,
              (std::vector<std::string>{
                  "Monitor \\\\.\\display2 is not attached: touch goes to the primary monitor\r\n",
                  "Monitor \\\\.\\display2 is attached again: touch goes to it\r\n"}));
}

// Touch priority, batch by batch: who drives, who is ignored, and when a passed-over
// touch may drive again.
TEST(TouchPriority, FirstToTouchDrivesUntilItLifts) {
    const auto batch = [](bool touching) {
        TOUCHINPUT r = {};
        r.dwFlags = touching ? kTouchEventMove : kTouchEventUp;
        return r;
    };
    constexpr auto D = PriorityVerdict::kDrive;
    constexpr auto I = PriorityVerdict::kIgnore;
    constexpr auto F = PriorityVerdict::kIgnoreFirst;
    const struct {
        int device;
        bool touching;
        PriorityVerdict verdict;
        int owner;
    } steps[] = {
        {0, true, D, 0},   {1, true, F, 0},   {1, true, I, 0},  // B waits for A
        {0, false, D, -1},                                      // A lifts
        {1, true, I, -1},  {1, false, I, -1},                   // B's touch passed over to its end
        {1, true, D, 1},   {0, true, F, 1},   {1, false, D, -1},  // B drives; A waits
        {0, false, I, -1}, {0, false, D, -1},                     // an up alone drives nothing away
        {2, true, D, 2},   {9, true, I, 2},   {-1, true, I, 2},   // out of range: never
    };
    TouchPriority priority;
    for (const auto& step : steps) {
        SCOPED_TRACE(::testing::Message()
                     << "device " << step.device << " touching " << step.touching);
        const TOUCHINPUT r = batch(step.touching);
        EXPECT_EQ(priority.Admit(step.device, &r, 1), step.verdict);
        EXPECT_EQ(priority.Owner(), step.owner);
    }
    // Unplugged while it drives: the others may touch at once.
    priority.Release(2);
    const TOUCHINPUT down = batch(true);
    EXPECT_EQ(priority.Admit(0, &down, 1), D);
    priority.Reset();
    EXPECT_EQ(priority.Owner(), TouchPriority::kNobody);
}
