#include "device/mapping/calibrator.h"

#include <limits>

#include "device/panel/touch_report.h"

namespace tactra {

namespace {

// Eighths of the panel's range at which each target lies.
constexpr int32_t kTargetEighthsX[kCalibrationTargetCount] = {1, 7, 1, 7, 4};
constexpr int32_t kTargetEighthsY[kCalibrationTargetCount] = {1, 1, 7, 7, 4};

// Pixels along the panel's axes before they are turned: a quarter turn exchanges
// the panel's width and height with the mode's.
struct PanelFrame {
    int64_t width;
    int64_t height;
};

PanelFrame FrameOf(const DisplayState& display) {
    const bool quarterTurn = display.orientation == 1 || display.orientation == 3;
    return quarterTurn ? PanelFrame{display.height, display.width}
                       : PanelFrame{display.width, display.height};
}

int32_t Clamp(int64_t v, int64_t limit) {
    if (v > limit) return static_cast<int32_t>(limit);
    if (v < -limit) return static_cast<int32_t>(-limit);
    return static_cast<int32_t>(v);
}

// A pixel position along the panel's axes, placed on the screen by the rotation
// rules (an unknown orientation leaves it unturned).
ScreenPoint Turn(const DisplayState& display, int64_t px, int64_t py) {
    // Hundredths of a pixel must stay within int32 for the transform.
    constexpr int64_t kLimit = std::numeric_limits<int32_t>::max() / 100;
    const int32_t x = Clamp(px, kLimit);
    const int32_t y = Clamp(py, kLimit);
    ScreenPoint p;
    if (!TransformToScreen(display, x * 100, y * 100, p.x, p.y)) {
        p.x = x;
        p.y = y;
    }
    return p;
}

// Whether two points lie closer together than `distance` raw units.
bool Closer(const CalibrationPoint& a, const CalibrationPoint& b, int64_t distance) {
    const int64_t dx = static_cast<int64_t>(a.x) - b.x;
    const int64_t dy = static_cast<int64_t>(a.y) - b.y;
    // Either difference alone may already be too far apart to square.
    if (dx >= distance || -dx >= distance || dy >= distance || -dy >= distance) return false;
    return dx * dx + dy * dy < distance * distance;
}

}  // namespace

ScreenPoint CalibrationTargetPosition(const DisplayState& display, int target) {
    if (target < 1 || target > kCalibrationTargetCount) target = kCalibrationTargetCount;
    const PanelFrame frame = FrameOf(display);
    return Turn(display, frame.width * kTargetEighthsX[target - 1] / 8,
                frame.height * kTargetEighthsY[target - 1] / 8);
}

ScreenPoint RecordToScreen(const DisplayState& display, int32_t x, int32_t y) {
    if (display.width <= 0 || display.height <= 0) return Turn(display, x / 100, y / 100);
    const PanelFrame frame = FrameOf(display);
    // The record is a share of the mode's width and height; the panel's axis of that
    // share is as long as the frame says.
    return Turn(display, static_cast<int64_t>(x) * frame.width / (int64_t{display.width} * 100),
                static_cast<int64_t>(y) * frame.height / (int64_t{display.height} * 100));
}

void CalibrationSequence::Start(uint32_t now) {
    target_ = 1;
    touching_ = false;
    lastActivity_ = now;
}

CalibrateCall CalibrationSequence::OnTouch(uint32_t flags, uint32_t now) {
    CalibrateCall call;
    if (Finished()) return call;
    const bool down = (flags & kTouchEventDown) != 0;
    const bool move = (flags & kTouchEventMove) != 0;
    const bool up = (flags & kTouchEventUp) != 0;
    // A record with UP alone reports that nothing touches, not a lift.
    if (down || move || (up && (flags & kTouchEventInRange) != 0)) lastActivity_ = now;
    if (down) {
        touching_ = true;
        call = {static_cast<int32_t>(kTouchEventDown), target_};
    } else if (move && touching_) {
        call = {static_cast<int32_t>(kTouchEventMove), target_};
    } else if (up && touching_) {
        touching_ = false;
        call = {static_cast<int32_t>(kTouchEventUp), target_};
        ++target_;
    }
    return call;
}

bool CalibrationSequence::TimedOut(uint32_t now) const {
    return !Finished() && now - lastActivity_ >= kCalibrationTimeoutMs;
}

CalibrationCheck CheckCalibrationPoints(const CalibrationPoint points[kCalibrationTargetCount]) {
    if (Closer(points[0], points[1], kMinTargetDistance) ||
        Closer(points[0], points[2], kMinTargetDistance)) {
        return CalibrationCheck::kTargetsTooClose;
    }
    const CalibrationLimits limits = LimitsFromPoints(points);
    if (limits.minX >= limits.maxX || limits.minY >= limits.maxY) {
        return CalibrationCheck::kLimitsReversed;
    }
    return CalibrationCheck::kOk;
}

const char* CalibrationCheckMessage(CalibrationCheck check) {
    switch (check) {
        case CalibrationCheck::kTargetsTooClose:
            return "The touches lay too close together to be the targets. Please touch each "
                   "target again.";
        case CalibrationCheck::kLimitsReversed:
            return "The touches did not follow the targets in their order. Please touch each "
                   "target again.";
        default:
            return "";
    }
}

CheckScreenLayout LayOutCheckScreen(int32_t width, int32_t height) {
    constexpr int32_t kButtonWidth = 160;  // pixels
    constexpr int32_t kButtonHeight = 56;
    constexpr int32_t kGap = 20;
    const int32_t top = height * 11 / 16 - kButtonHeight / 2;
    const int32_t centre = width / 2;
    CheckScreenLayout layout;
    layout.accept = {centre - kGap / 2 - kButtonWidth, top, centre - kGap / 2, top + kButtonHeight};
    layout.retry = {centre + kGap / 2, top, centre + kGap / 2 + kButtonWidth, top + kButtonHeight};
    return layout;
}

}  // namespace tactra
