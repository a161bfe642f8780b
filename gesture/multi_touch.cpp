// Two fingers: rotation, zoom and two-finger flicks, one step per evaluation,
// measured against anchors that move after every step.
#include <cmath>

#include "gesture/engine.h"
#include "gesture/engine_internal.h"

namespace tactra {

using namespace engine_detail;

namespace {

constexpr double kPi = 3.141592653589793;

// Direction class of a displacement, numbered like a numeric keypad.
int DirectionClass(int64_t dx, int64_t dy) {
    const int column = dx <= -kDirectionMovePx ? 0 : (dx >= kDirectionMovePx ? 2 : 1);
    const int row = dy <= -kDirectionMovePx ? 2 : (dy >= kDirectionMovePx ? 0 : 1);
    return row * 3 + column + 1;
}

bool IsRight(int c) { return c == 3 || c == 6 || c == 9; }
bool IsLeft(int c) { return c == 1 || c == 4 || c == 7; }
bool IsDown(int c) { return c >= 1 && c <= 3; }
bool IsUp(int c) { return c >= 7 && c <= 9; }

// After a step the next one is measured from where the fingers are now.
void ReAnchor(GestureState& s) {
    for (FingerRecord& f : s.fingers) {
        f.anchorX = f.lastX;
        f.anchorY = f.lastY;
    }
}

int64_t AbsRange(int32_t max, int32_t min) { return Abs64(static_cast<int64_t>(max) - min); }

}  // namespace

double VectorAngle(double vx, double vy) {
    double a;
    if (vx == 0.0) {
        a = vy > 0 ? 90.0 : (vy < 0 ? -90.0 : 0.0);
    } else {
        a = std::atan(vy / vx) / kPi * 180.0;
    }
    if (vx < 0) return a + 180.0;
    if (vy < 0) return a + 360.0;
    return a;
}

double AngleDifference(double angle1, double angle2) {
    double d = angle2 - angle1;
    if (d >= 180.0) {
        d -= 360.0;
    } else if (d <= -180.0) {
        d += 360.0;
    }
    return d;
}

namespace {

// What one evaluation measures of the two fingers since their anchors.
struct TwoFingerMotion {
    int64_t dx1 = 0;  // finger 1's displacement
    int64_t dy1 = 0;
    bool bothRight = false, bothLeft = false, bothDown = false, bothUp = false;
    // Both fingers' extents reach kZoomMinExtentPx (finger 1's in either axis).
    bool extents = false;
    // Coinciding fingers have no direction: rotation and zoom are not judged then.
    bool vectorsDefined = false;
    double angleDiff = 0;  // the turn of the vector from finger 1 to finger 2
    double turn = 0;       // its size
    double dist1 = 0;      // the fingers' distance at the anchors
    double dist2 = 0;      // and now
};

TwoFingerMotion MeasureMotion(const GestureState& s) {
    const FingerRecord& f1 = s.fingers[kFinger1];
    const FingerRecord& f2 = s.fingers[kFinger2];
    TwoFingerMotion m;
    const int64_t xRange1 = AbsRange(f1.maxDx, f1.minDx), yRange1 = AbsRange(f1.maxDy, f1.minDy);
    const int64_t xRange2 = AbsRange(f2.maxDx, f2.minDx), yRange2 = AbsRange(f2.maxDy, f2.minDy);
    m.dx1 = static_cast<int64_t>(f1.lastX) - f1.anchorX;
    m.dy1 = static_cast<int64_t>(f1.lastY) - f1.anchorY;
    const int64_t dx2 = static_cast<int64_t>(f2.lastX) - f2.anchorX;
    const int64_t dy2 = static_cast<int64_t>(f2.lastY) - f2.anchorY;
    const int vPoint1 = DirectionClass(m.dx1, m.dy1);
    const int vPoint2 = DirectionClass(dx2, dy2);
    m.bothRight = IsRight(vPoint1) && IsRight(vPoint2);
    m.bothLeft = IsLeft(vPoint1) && IsLeft(vPoint2);
    m.bothDown = IsDown(vPoint1) && IsDown(vPoint2);
    m.bothUp = IsUp(vPoint1) && IsUp(vPoint2);
    m.extents = (xRange1 >= kZoomMinExtentPx || yRange1 >= kZoomMinExtentPx) &&
                xRange2 >= kZoomMinExtentPx && yRange2 >= kZoomMinExtentPx;
    // The vector from finger 1 to finger 2, at the anchors and now.
    const double ix = static_cast<double>(static_cast<int64_t>(f2.anchorX) - f1.anchorX);
    const double iy = static_cast<double>(static_cast<int64_t>(f2.anchorY) - f1.anchorY);
    const double ixUp = static_cast<double>(static_cast<int64_t>(f2.lastX) - f1.lastX);
    const double iyUp = static_cast<double>(static_cast<int64_t>(f2.lastY) - f1.lastY);
    m.vectorsDefined = (ix != 0 || iy != 0) && (ixUp != 0 || iyUp != 0);
    if (!m.vectorsDefined) return m;
    m.angleDiff = AngleDifference(VectorAngle(ix, iy), VectorAngle(ixUp, iyUp));
    m.turn = std::fabs(m.angleDiff);
    m.dist1 = std::sqrt(ix * ix + iy * iy);
    m.dist2 = std::sqrt(ixUp * ixUp + iyUp * iyUp);
    return m;
}

// A turn past kRotateEnterDeg of fingers far enough apart is a rotation, stepped
// every kRotateStepDeg. Returns whether the evaluation was a rotation's.
bool RotationStep(GestureState& s, EnginePorts& ports, const TwoFingerMotion& m) {
    if (!m.vectorsDefined || m.turn <= kRotateEnterDeg || m.dist1 <= kRotateMinSeparationPx ||
        m.dist2 <= kRotateMinSeparationPx) {
        return false;
    }
    EnterMode(s, ports, TwoFingerMode::kRotating);
    if (m.turn > kRotateStepDeg) {
        PlayGesture(s, ports, m.angleDiff > 0 ? kRotateCL : kRotateAC);
        ReAnchor(s);
    }
    return true;
}

// A change of distance past kZoomEnterPx, without a turn or a common direction, is a
// zoom, stepped every kZoomStepPx. Returns whether the evaluation was a zoom's.
bool ZoomStep(GestureState& s, EnginePorts& ports, const TwoFingerMotion& m) {
    if (!m.vectorsDefined || m.bothRight || m.bothLeft || m.bothDown || m.bothUp || !m.extents ||
        std::fabs(m.dist1 - m.dist2) <= kZoomEnterPx || m.turn >= kRotateEnterDeg) {
        return false;
    }
    if (m.dist1 > m.dist2) {
        EnterMode(s, ports, TwoFingerMode::kZooming);
        if (m.dist1 - m.dist2 > kZoomStepPx) {
            PlayGesture(s, ports, kZoomOut);
            ReAnchor(s);
        }
    } else if (m.dist2 > m.dist1) {
        EnterMode(s, ports, TwoFingerMode::kZooming);
        if (m.dist2 - m.dist1 > kZoomStepPx) {
            PlayGesture(s, ports, kZoomIn);
            ReAnchor(s);
        }
    }
    return true;
}

// Pans to the right and down take over from any mode; to the left only in a
// gesture that never rotated or zoomed (and with the zoom's extents), up only in
// one that never rotated. A pan's step past kTwoFingerFlickPx plays finger 1's
// flick.
void PanStep(GestureState& s, EnginePorts& ports, const TwoFingerMotion& m) {
    const bool rotated = s.twoFinger.BeganAs(TwoFingerMode::kRotating);
    const bool zoomed = s.twoFinger.BeganAs(TwoFingerMode::kZooming);
    if (m.bothRight || (m.bothLeft && m.extents && !rotated && !zoomed)) {
        EnterMode(s, ports, TwoFingerMode::kPanning);
        if (Abs64(m.dx1) > kTwoFingerFlickPx) {
            FlickHorizontal(s, ports);
            ReAnchor(s);
        }
        return;
    }
    if (m.bothDown || (m.bothUp && !rotated)) {
        EnterMode(s, ports, TwoFingerMode::kPanning);
        if (Abs64(m.dy1) > kTwoFingerFlickPx) {
            FlickVertical(s, ports);
            ReAnchor(s);
        }
    }
}

// The handlers of the two-finger modes. Undecided, a rotation is judged first, then
// a zoom, then a pan; rotation and zoom exclude each other.
void WhileUndecided(GestureState& s, EnginePorts& ports, const TwoFingerMotion& m) {
    if (RotationStep(s, ports, m) || ZoomStep(s, ports, m)) return;
    PanStep(s, ports, m);
}

void WhileRotating(GestureState& s, EnginePorts& ports, const TwoFingerMotion& m) {
    if (RotationStep(s, ports, m)) return;
    PanStep(s, ports, m);
}

void WhileZooming(GestureState& s, EnginePorts& ports, const TwoFingerMotion& m) {
    if (ZoomStep(s, ports, m)) return;
    PanStep(s, ports, m);
}

void WhilePanning(GestureState& s, EnginePorts& ports, const TwoFingerMotion& m) {
    PanStep(s, ports, m);
}

}  // namespace

void MultiTouchGesture(GestureState& s, EnginePorts& ports) {
    const TwoFingerMotion m = MeasureMotion(s);
    switch (s.twoFinger.mode) {
        case TwoFingerMode::kNone:
            WhileUndecided(s, ports, m);
            break;
        case TwoFingerMode::kRotating:
            WhileRotating(s, ports, m);
            break;
        case TwoFingerMode::kZooming:
            WhileZooming(s, ports, m);
            break;
        case TwoFingerMode::kPanning:
            WhilePanning(s, ports, m);
            break;
    }
}

}  // namespace tactra
