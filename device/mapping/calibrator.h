// The rules of the calibration program (Calibrate.exe) that need no window: where
// its five targets lie for a screen size and orientation, the sequence of touches
// on them with its time-out, the check of the five points before they are kept,
// where the check screen draws a touch, and where its buttons lie.
#pragma once

#include <cstdint>

#include "device/mapping/calibration.h"
#include "device/mapping/rotation.h"

namespace tactra {

constexpr int kCalibrationTargetCount = 5;
// The raw range the limits rule is made for (0 .. 4095): targets 1 to 4 lie one
// eighth of it in from the edges, so that each limit, kCalibrationMargin (512)
// beyond the mean of two targets, falls on an edge of the panel.
constexpr int32_t kCalibrationRawRange = 4096;
// Targets 1 and 2, and 1 and 3, closer together than this (raw units) cannot be
// the panel's corners: a quarter of the range.
constexpr int32_t kMinTargetDistance = kCalibrationRawRange / 4;
// A target or the check screen without a touch for this long ends the calibration
// and keeps the previous file.
constexpr uint32_t kCalibrationTimeoutMs = 30000;

struct ScreenPoint {
    int32_t x = 0;  // pixels of the current display mode
    int32_t y = 0;
};

// Where target `target` (1 to 5) is drawn. `display` holds the current mode's width
// and height and the corrected orientation. Each target lies where the panel's raw
// position for it (one eighth in from the edges; the centre for 5) appears when the
// display is turned: with orientation 0 at (W/8, H/8), (7W/8, H/8), (W/8, 7H/8),
// (7W/8, 7H/8) and (W/2, H/2).
ScreenPoint CalibrationTargetPosition(const DisplayState& display, int target);

// Where the touch of a record (hundredths of a pixel along the panel's axes, scaled
// to the current mode's width and height, as the library sends it) lies on the
// screen of the current orientation. Orientation 0 gives (x / 100, y / 100).
ScreenPoint RecordToScreen(const DisplayState& display, int32_t x, int32_t y);

// The call a touch record makes: CalibrateEvent(type, point), or none (type 0).
struct CalibrateCall {
    int32_t type = 0;
    int32_t point = 0;
};

// The five targets one after the other. Only the first contact counts: its down,
// moves and up on target k become CalibrateEvent(2|1|4, k); its up moves on to the
// next target. A touch that was already down when a target appeared is passed over
// until it ends.
class CalibrationSequence {
public:
    // Target 1, no touch yet; the time-out counts from `now`.
    void Start(uint32_t now);
    // The target being touched or awaited: 1 to 5; 6 once all are done.
    int Target() const { return target_; }
    bool Finished() const { return target_ > kCalibrationTargetCount; }
    // The flags of a touch message's first record.
    CalibrateCall OnTouch(uint32_t flags, uint32_t now);
    // No contact reported for kCalibrationTimeoutMs while the targets are shown.
    bool TimedOut(uint32_t now) const;

private:
    int target_ = 1;
    bool touching_ = false;
    uint32_t lastActivity_ = 0;
};

enum class CalibrationCheck {
    kOk,
    kTargetsTooClose,  // targets 1 and 2, or 1 and 3, closer than kMinTargetDistance
    kLimitsReversed,   // the limits they give are not in ascending order
};

// Whether five averaged points (raw units) can be a calibration of the panel.
CalibrationCheck CheckCalibrationPoints(const CalibrationPoint points[kCalibrationTargetCount]);
// The sentence the calibration program shows when it refuses the points.
const char* CalibrationCheckMessage(CalibrationCheck check);

struct ScreenRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;  // exclusive
    int32_t bottom = 0;
    bool Contains(ScreenPoint p) const {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }
};

// The check screen's "Accept" and "Retry" buttons on a screen of `width` x `height`
// pixels: side by side below the centre, clear of every target in any orientation.
struct CheckScreenLayout {
    ScreenRect accept;
    ScreenRect retry;
};
CheckScreenLayout LayOutCheckScreen(int32_t width, int32_t height);

}  // namespace tactra
