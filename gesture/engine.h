// The gesture engine: the dispatcher of touch batches, the contact state machine,
// the one- and two-finger recognisers and the choice of the foreground
// application's profile. Its state is plain data that the main dialog owns; the
// outside world is reached only through the ports.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "device/rotation.h"
#include "device/touch_report.h"
#include "gesture/gesture_action.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/foreground.h"
#include "platform/input_sink.h"

namespace tactra {

// Mouse modes (m_iMouseFlags).
constexpr int32_t kMouseModeOsPointer = 96;     // the system drives the pointer
constexpr int32_t kMouseModeTabletService = 97; // the tablet service drives it
constexpr int32_t kMouseModeEmulate = 98;       // Tactra emulates the mouse

// Thresholds of the contact state machine and the one-finger handling.
constexpr uint32_t kDownPhaseMs = 300;         // moves before this stay in the down phase
constexpr uint32_t kTwoFingerTapMaxMs = 200;   // finger 2 lifted within this: a tap (inclusive)
constexpr int32_t kTwoFingerTapSlopPx = 30;    // finger 1 must stay closer than this
constexpr uint32_t kHoldRightClickMs = 1500;   // holding still this long: right click
constexpr int32_t kStillSlopPx = 30;           // within this of the touch point: not moved
constexpr uint32_t kDoubleTapMs = 150;         // touch this soon after a click: immediate click
constexpr uint32_t kInRangeReleaseMs = 200;    // in range this soon after down: release the button
constexpr uint32_t kFlickMaxMs = 300;          // a one-finger flick lifts before this
constexpr int32_t kFlickMinRangePx = 30;       // a one-finger flick's extent exceeds this

// Thresholds of the two-finger recogniser.
constexpr int32_t kDirectionMovePx = 30;       // displacement that counts as moved in a direction
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

// All the engine's state, members of the main dialog.
struct GestureState {
    // Current samples (m_pTouchInput1/2 point here): x, y in screen pixels, reduced flags.
    MTOUCHINPUT m_TouchInput1{};
    MTOUCHINPUT m_TouchInput2{};
    // The engine's record of each finger.
    MTOUCHINPUT m_MTouchInput1{0, 0, kGestureUp, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    MTOUCHINPUT m_MTouchInput2{0, 0, kGestureUp, 0, 0, 0, 0, 0, 0, 0, 0, 0};

    bool m_bRotating = false;
    bool m_bZooming = false;
    bool m_bPanning = false;

    bool mouse_down = false;
    bool m_bDragging = false;
    int32_t iRight = 0;
    uint32_t m_dwLastClickTime = 0;
    bool m_bDoubleClicked = false;
    // A click has been sent at some lift; until then m_dwLastClickTime means nothing.
    bool m_bClickSent = false;

    int32_t m_iMouseFlags = kMouseModeEmulate;
    DisplayState display;

    // The foreground application and its profile.
    std::string m_strFileName = kUnknownApplication;
    std::string m_strTitleName;
    AppProfile profile;  // m_ZoomIn .. m_FlickRight, indexed by Gesture
    int matchedSection = -1;  // index into the section list, -1 when none matched

    bool GestureInProgress() const { return m_bRotating || m_bZooming || m_bPanning; }
};

// The "WM_TOUCH" handler: `records` points to two consecutive records (the second
// carries UP when only one contact is present). Returns 1.
int OnTouchInput(GestureState& s, EnginePorts& ports, const TOUCHINPUT* records);

void MTouchEventInput1(GestureState& s, EnginePorts& ports);
void MTouchEventInput2(GestureState& s, EnginePorts& ports);
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
std::string SampleStatusText(int finger, const MTOUCHINPUT& sample);

// Direction of a vector in degrees, [0, 360), clockwise on the screen from +X.
double VectorAngle(double vx, double vy);
// b - a brought into (-180, 180).
double AngleDifference(double angle1, double angle2);

}  // namespace tactra
