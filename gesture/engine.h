// The gesture engine: the dispatcher of touch batches, its state machines (the
// contact, the two-finger mode, the emulated pointer, the pairing of clicks), the
// one- and two-finger recognisers and the choice of the foreground
// application's profile. Its state is plain data that the main dialog owns; the
// outside world is reached only through the ports.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "device/mapping/monitor.h"
#include "device/panel/panel.h"  // the mouse modes (kMouseModeOsPointer, ...)
#include "device/mapping/rotation.h"
#include "device/mapping/touch_settings.h"
#include "device/panel/touch_report.h"
#include "gesture/finger.h"
#include "gesture/gesture_action.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/foreground.h"
#include "platform/input_sink.h"

namespace tactra {

// Thresholds of the contact state machine and the one-finger handling. Those a
// device's settings may change (TouchSettings, device/mapping/touch_settings.h) are
// its defaults: the engine reads them from GestureState::settings.
constexpr uint32_t kDownPhaseMs = 300;        // moves before this stay in the down phase
constexpr uint32_t kTwoFingerTapMaxMs = 200;  // finger 2 lifted within this: a tap (inclusive)
constexpr int32_t kTwoFingerTapSlopPx = 30;   // finger 1 must stay closer than this
constexpr uint32_t kHoldRightClickMs = 1500;  // holding still this long: right click
constexpr int32_t kStillSlopPx = 30;          // within this of the touch point: not moved
constexpr uint32_t kDoubleTapMs = 150;        // touch this soon after a click: immediate click
static_assert(TouchSettings().holdTimeMs == kHoldRightClickMs &&
                  TouchSettings().holdRadiusPx == kStillSlopPx &&
                  TouchSettings().doubleTapMs == kDoubleTapMs,
              "a device without settings behaves as the thresholds say");
constexpr uint32_t kInRangeReleaseMs = 200;  // in range this soon after down: release the button
constexpr uint32_t kFlickMaxMs = 300;        // a one-finger flick lifts before this
constexpr int32_t kFlickMinRangePx = 30;     // a one-finger flick's extent exceeds this

// Thresholds of the two-finger recogniser.
constexpr int32_t kDirectionMovePx = 30;  // displacement that counts as moved in a direction
constexpr double kRotateEnterDeg = 40.0;
constexpr double kRotateStepDeg = 45.0;
constexpr double kRotateMinSeparationPx = 100.0;
constexpr int32_t kZoomMinExtentPx = 30;
constexpr double kZoomEnterPx = 20.0;
constexpr double kZoomStepPx = 40.0;
constexpr int32_t kTwoFingerFlickPx = 100;

// The application name used when the foreground process cannot be identified.
constexpr const char kUnknownApplication[] = "<unknown>";

// Where profiles come from: the section list of "Tactra.ini" and the actions of
// one section.
class ProfileSource {
public:
    virtual ~ProfileSource() = default;
    // Re-reads the section list (writing the default file when it is missing).
    virtual void RefreshProfileSections() = 0;
    virtual const std::vector<std::string>& Sections() const = 0;
    // The first section, in file order, named after the program file `file` or after
    // key words in the window title `title`; -1 when none matches.
    virtual int FindSection(const std::string& file, const std::string& title);
    // Loads a section's actions: Case and Code always, Up only for wheel actions
    // (otherwise the Up field is left unchanged).
    virtual void ReadProfile(const std::string& section, AppProfile& profile) const = 0;
};

struct EnginePorts {
    Clock* clock = nullptr;
    InputSink* sink = nullptr;
    ForegroundApp* foreground = nullptr;
    Display* display = nullptr;
    ProfileSource* profiles = nullptr;
    // Told just before a gesture's action is played (even an empty one).
    std::function<void(Gesture)> onGesture;
    // Told of every change of a state machine, by the states' names (StateName).
    std::function<void(const char* from, const char* to)> onStateChange;
};

// The contact state machine: what the dispatcher knows of the touch beyond the
// fingers' records. Finger 1's touch-down starts kOneFinger; finger 2's touch-down
// during that touch leads to kTwoFingers, and its quick lift (within
// kTwoFingerTapMaxMs of its touch-down) to a right click that finger 1's next
// sample decides.
enum class ContactState {
    // Finger 1's touch has met no second finger: one-finger handling is on.
    kOneFinger,
    // Finger 2 touched down during finger 1's touch: one-finger handling stays off
    // until finger 1 touches down again.
    kTwoFingers,
    // Finger 2 tapped during finger 1's touch: a right click is due at finger 1's
    // next sample, unless finger 1 has moved; then kTwoFingers.
    kRightClickDue,
    // The same for a finger 2 that touched down before finger 1's touch; then
    // kOneFinger.
    kRightClickDueOneFinger,
    // Touch came back on while a finger was on the panel: that touch is passed over
    // until every finger has lifted; then kOneFinger.
    kPassingOver,
};

// The mouse emulation's left button and whether finger 1's moves move the pointer.
enum class PointerState {
    kFree,      // no button held; finger 1's moves leave the pointer alone
    kDragging,  // the button is held and the pointer follows finger 1
    // The button was released while finger 1 hovered in range; the pointer still
    // follows finger 1.
    kHovering,
    // The button is still held but the pointer no longer follows: finger 1 lifted
    // while the engine did not emulate the mouse.
    kButtonHeld,
    // Click mode "on touch": the button went down where finger 1 touched and the
    // pointer follows it until it lifts, where the button goes up.
    kPressed,
    // Click mode "pointer only": the pointer follows finger 1, no button at all.
    kPointing,
};

// The pairing of clicks into a double tap.
enum class ClickState {
    kNone,           // no click sent yet: there is nothing to pair a touch with
    kClicked,        // a click was sent at lastClickTick
    kDoubleClicked,  // the immediate click of a double tap followed it
};

// The two-finger gesture in progress. Rotation and zoom exclude each other; a pan
// to the right or down may take over from either, and what the gesture began as
// still restrains the pans that follow: none to the left or up after a rotation,
// none to the left after a zoom. A lift of either finger ends the gesture.
// Each mode has its handler in the two-finger recogniser.
enum class TwoFingerMode { kNone, kRotating, kZooming, kPanning };

struct TwoFingerGesture {
    TwoFingerMode mode = TwoFingerMode::kNone;   // the current mode
    TwoFingerMode began = TwoFingerMode::kNone;  // the first mode of this gesture

    bool InProgress() const { return mode != TwoFingerMode::kNone; }
    bool BeganAs(TwoFingerMode m) const { return began == m; }
};

// All the engine's state: plain data that the main dialog owns.
//
// The main dialog's member names, for readers who know them:
//   samples[kFinger1], samples[kFinger2]      m_TouchInput1, m_TouchInput2
//   fingers[kFinger1], fingers[kFinger2]      m_MTouchInput1, m_MTouchInput2, whose
//       x, y, dwFlags, dwDownTime, xUp, yUp, xMax .. yMin, bNewSample are here
//       anchorX, anchorY, phase, downTick, lastX, lastY, maxDx .. minDy, newSample
//   contact: a right click is due             bAux of m_MTouchInput1
//   contact: finger 2 touched during finger 1 bAux of m_MTouchInput2
//   twoFinger.BeganAs(kRotating)              m_bRotating
//   twoFinger.BeganAs(kZooming)               m_bZooming
//   twoFinger.mode == kPanning                m_bPanning
//   pointer holds the button, follows         mouse_down, m_bDragging
//   rightClickSent                            iRight
//   lastClickTick, click                      m_dwLastClickTime, m_bDoubleClicked
//   mouseMode, fileName, windowTitle          m_iMouseFlags, m_strFileName, m_strTitleName
struct GestureState {
    // The current batch's samples, indexed by kFinger1, kFinger2.
    std::array<FingerSample, kFingerCount> samples{};
    // The record of each finger's touch.
    std::array<FingerRecord, kFingerCount> fingers{};

    ContactState contact = ContactState::kOneFinger;
    TwoFingerGesture twoFinger;

    // The mouse emulation.
    PointerState pointer = PointerState::kFree;
    // The right click of holding still was sent during finger 1's current touch
    // (a fact of that touch, reset at its touch-down).
    bool rightClickSent = false;
    ClickState click = ClickState::kNone;
    uint32_t lastClickTick = 0;  // meaningful once click is not kNone
    int32_t lastClickX = 0;      // where that click was, for the double tap's area
    int32_t lastClickY = 0;

    // The device's settings: click mode, holding, double tap, gestures.
    TouchSettings settings;

    int32_t mouseMode = kMouseModeEmulate;
    DisplayState display;
    // The monitor the panel drives (none: the primary display), set at every
    // opening of the panel from "Calibrate.ini".
    MonitorChoice monitor;

    // The touch switch: off, batches still arrive but nothing is played.
    bool touchEnabled = true;

    // The foreground application and its profile.
    std::string fileName = kUnknownApplication;
    std::string windowTitle;
    AppProfile profile;
    int matchedSection = -1;  // index into the section list, -1 when none matched
};

// The "WM_TOUCH" handler: `records` points to two consecutive records (the second
// carries UP when only one contact is present). Returns 1.
int OnTouchInput(GestureState& s, EnginePorts& ports, const TOUCHINPUT* records);

// Turns touch off or on ("Touch enabled"). Off: a left button or modifier keys that
// the engine holds are released at once, and the touch in progress is forgotten.
// On again: a touch already on the panel is passed over until it ends, so that
// nothing acts on a touch whose beginning the engine did not see.
void SetTouchEnabled(GestureState& s, EnginePorts& ports, bool enabled);

// The engine lets go as touch off does (a held button and modifiers released, the
// touch forgotten) without switching touch: for a device that vanished mid-touch, whose
// lift never comes and must not play a click or a flick either.
void LetGo(GestureState& s, EnginePorts& ports);

// Updates finger kFinger1 or kFinger2's record from its sample (MTouchEventInput1
// and MTouchEventInput2 of the main dialog).
void MTouchEventInput(GestureState& s, EnginePorts& ports, int finger);
void MTouchEventDispatch(GestureState& s, EnginePorts& ports);

// One step of the two-finger recogniser, by the current TwoFingerMode.
void MultiTouchGesture(GestureState& s, EnginePorts& ports);
// Finger 1 alone, touching: the right click of holding still, the immediate click
// of a double tap, the release of the button in range, the start of a drag.
void SingleTouchHold(GestureState& s, EnginePorts& ports);
// Finger 1 alone, lifted: the click of a tap and the one-finger flick.
void SingleTouchRelease(GestureState& s, EnginePorts& ports);
// The flick tests on finger 1's record, for a one-finger flick and for a
// two-finger pan's step. Each returns the gesture it played, or kGestureCount when
// the test failed.
Gesture FlickHorizontal(GestureState& s, EnginePorts& ports);
Gesture FlickVertical(GestureState& s, EnginePorts& ports);

// The names the state machines' states are logged and printed by: the contact
// state's, or the two-finger mode's while a gesture is in progress ("one-finger",
// "two-fingers", "right-click-due", "right-click-due-one-finger", "passing-over";
// "rotating", "zooming", "panning"); the pointer's ("pointer-free", "dragging",
// "hovering", "button-held", "pressed", "pointing"); the clicks' ("no-click", "clicked",
// "double-clicked").
const char* ContactStateName(const GestureState& s);
const char* StateName(PointerState state);
const char* StateName(ClickState state);

// Identifies the application in front and loads the first matching section's
// actions; without a match every Case and Code is 0.
void SelectAppProfile(GestureState& s, EnginePorts& ports);

// Status text of a sample for the main dialog ("X1-%d[%d] Y1[%d]"); negative
// positions are shown as 0.
std::string SampleStatusText(int finger, const FingerSample& sample);

// Direction of a vector in degrees, [0, 360), clockwise on the screen from +X.
double VectorAngle(double vx, double vy);
// angle2 - angle1 brought into (-180, 180).
double AngleDifference(double angle1, double angle2);

}  // namespace tactra
