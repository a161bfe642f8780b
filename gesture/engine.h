// The gesture engine: the dispatcher of touch batches, the contact state machine,
// the one- and two-finger recognisers and the choice of the foreground
// application's profile. Its state is plain data that the main dialog owns; the
// outside world is reached only through the ports.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "device/monitor.h"
#include "device/panel.h"  // the mouse modes (kMouseModeOsPointer, ...)
#include "device/rotation.h"
#include "device/touch_report.h"
#include "gesture/finger.h"
#include "gesture/gesture_action.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/foreground.h"
#include "platform/input_sink.h"

namespace tactra {

// Thresholds of the contact state machine and the one-finger handling.
constexpr uint32_t kDownPhaseMs = 300;        // moves before this stay in the down phase
constexpr uint32_t kTwoFingerTapMaxMs = 200;  // finger 2 lifted within this: a tap (inclusive)
constexpr int32_t kTwoFingerTapSlopPx = 30;   // finger 1 must stay closer than this
constexpr uint32_t kHoldRightClickMs = 1500;  // holding still this long: right click
constexpr int32_t kStillSlopPx = 30;          // within this of the touch point: not moved
constexpr uint32_t kDoubleTapMs = 150;        // touch this soon after a click: immediate click
constexpr uint32_t kInRangeReleaseMs = 200;   // in range this soon after down: release the button
constexpr uint32_t kFlickMaxMs = 300;         // a one-finger flick lifts before this
constexpr int32_t kFlickMinRangePx = 30;      // a one-finger flick's extent exceeds this

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
};

// The two-finger gesture in progress. Rotation and zoom exclude each other; a pan
// to the right or down may take over from either, and what the gesture began as
// still restrains the pans that follow: none to the left or up after a rotation,
// none to the left after a zoom. A lift of either finger ends the gesture.
enum class TwoFingerMode { kNone, kRotating, kZooming, kPanning };

struct TwoFingerGesture {
    TwoFingerMode mode = TwoFingerMode::kNone;   // the current mode
    TwoFingerMode began = TwoFingerMode::kNone;  // the first mode of this gesture

    bool InProgress() const { return mode != TwoFingerMode::kNone; }
    bool BeganAs(TwoFingerMode m) const { return began == m; }
    void Enter(TwoFingerMode m) {
        if (mode == TwoFingerMode::kNone) began = m;
        mode = m;
    }
    void End() { mode = began = TwoFingerMode::kNone; }
};

// All the engine's state: plain data that the main dialog owns.
//
// The main dialog's member names, for readers who know them:
//   samples[kFinger1], samples[kFinger2]      m_TouchInput1, m_TouchInput2
//   fingers[kFinger1], fingers[kFinger2]      m_MTouchInput1, m_MTouchInput2, whose
//       x, y, dwFlags, dwDownTime, xUp, yUp, xMax .. yMin, bNewSample are here
//       anchorX, anchorY, phase, downTick, lastX, lastY, maxDx .. minDy, newSample
//   twoFingerTap, secondFingerSeen            bAux of m_MTouchInput1, of m_MTouchInput2
//   twoFinger.BeganAs(kRotating)              m_bRotating
//   twoFinger.BeganAs(kZooming)               m_bZooming
//   twoFinger.mode == kPanning                m_bPanning
//   leftButtonDown, dragging, rightClickSent  mouse_down, m_bDragging, iRight
//   lastClickTick, doubleClicked              m_dwLastClickTime, m_bDoubleClicked
//   mouseMode, fileName, windowTitle          m_iMouseFlags, m_strFileName, m_strTitleName
struct GestureState {
    // The current batch's samples, indexed by kFinger1, kFinger2.
    std::array<FingerSample, kFingerCount> samples{};
    // The record of each finger's touch.
    std::array<FingerRecord, kFingerCount> fingers{};

    // Finger 2 was lifted within kTwoFingerTapMaxMs of its touch-down: a right
    // click is due, unless finger 1 has moved.
    bool twoFingerTap = false;
    // Finger 2 touched down during finger 1's current touch: one-finger handling
    // stays off until finger 1 touches down again.
    bool secondFingerSeen = false;
    TwoFingerGesture twoFinger;

    // The mouse emulation.
    bool leftButtonDown = false;  // the emulation holds the left button
    bool dragging = false;        // moves of finger 1 move the pointer
    bool rightClickSent = false;  // during finger 1's current touch
    uint32_t lastClickTick = 0;
    bool doubleClicked = false;  // the immediate click of a double tap was sent
    // A click has been sent at some lift; until then lastClickTick means nothing.
    bool clickSent = false;

    int32_t mouseMode = kMouseModeEmulate;
    DisplayState display;
    // The monitor the panel drives (none: the primary display), set at every
    // opening of the panel from "Calibrate.ini".
    MonitorChoice monitor;

    // The touch switch: off, batches still arrive but nothing is played.
    bool touchEnabled = true;
    // Touch came back on while a finger was on the panel: that touch is passed
    // over until every finger has lifted.
    bool waitForLift = false;

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

// Updates finger kFinger1 or kFinger2's record from its sample (MTouchEventInput1
// and MTouchEventInput2 of the main dialog).
void MTouchEventInput(GestureState& s, EnginePorts& ports, int finger);
void MTouchEventDispatch(GestureState& s, EnginePorts& ports);

void MultiTouchGesture(GestureState& s, EnginePorts& ports);
void SingleTouchHold(GestureState& s, EnginePorts& ports);
void SingleTouchRelease(GestureState& s, EnginePorts& ports);
// Each returns the gesture it played, or kGestureCount when the test failed.
Gesture FlickHorizontal(GestureState& s, EnginePorts& ports);
Gesture FlickVertical(GestureState& s, EnginePorts& ports);

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
