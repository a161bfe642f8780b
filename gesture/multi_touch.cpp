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

void MultiTouchGesture(GestureState& s, EnginePorts& ports) {
    const FingerRecord& f1 = s.fingers[kFinger1];
    const FingerRecord& f2 = s.fingers[kFinger2];
    TwoFingerGesture& g = s.twoFinger;

    const int64_t xRange1 = AbsRange(f1.maxDx, f1.minDx), yRange1 = AbsRange(f1.maxDy, f1.minDy);
    const int64_t xRange2 = AbsRange(f2.maxDx, f2.minDx), yRange2 = AbsRange(f2.maxDy, f2.minDy);
    const int64_t dx1 = static_cast<int64_t>(f1.lastX) - f1.anchorX;
    const int64_t dy1 = static_cast<int64_t>(f1.lastY) - f1.anchorY;
    const int64_t dx2 = static_cast<int64_t>(f2.lastX) - f2.anchorX;
    const int64_t dy2 = static_cast<int64_t>(f2.lastY) - f2.anchorY;
    // The vector from finger 1 to finger 2, at the anchors and now.
    const double ix = static_cast<double>(static_cast<int64_t>(f2.anchorX) - f1.anchorX);
    const double iy = static_cast<double>(static_cast<int64_t>(f2.anchorY) - f1.anchorY);
    const double ixUp = static_cast<double>(static_cast<int64_t>(f2.lastX) - f1.lastX);
    const double iyUp = static_cast<double>(static_cast<int64_t>(f2.lastY) - f1.lastY);

    const int vPoint1 = DirectionClass(dx1, dy1);
    const int vPoint2 = DirectionClass(dx2, dy2);
    const bool bothRight = IsRight(vPoint1) && IsRight(vPoint2);
    const bool bothLeft = IsLeft(vPoint1) && IsLeft(vPoint2);
    const bool bothDown = IsDown(vPoint1) && IsDown(vPoint2);
    const bool bothUp = IsUp(vPoint1) && IsUp(vPoint2);
    const bool extents = (xRange1 >= kZoomMinExtentPx || yRange1 >= kZoomMinExtentPx) &&
                         xRange2 >= kZoomMinExtentPx && yRange2 >= kZoomMinExtentPx;

    // Coinciding fingers have no direction: rotation and zoom are not judged then.
    const bool vectorsDefined = (ix != 0 || iy != 0) && (ixUp != 0 || iyUp != 0);
    if (vectorsDefined) {
        const double angleDiff = AngleDifference(VectorAngle(ix, iy), VectorAngle(ixUp, iyUp));
        const double turn = std::fabs(angleDiff);
        const double dist1 = std::sqrt(ix * ix + iy * iy);
        const double dist2 = std::sqrt(ixUp * ixUp + iyUp * iyUp);
        const double distance = std::fabs(dist1 - dist2);

        const bool mayRotate = g.mode == TwoFingerMode::kNone || g.mode == TwoFingerMode::kRotating;
        if (turn > kRotateEnterDeg && mayRotate && dist1 > kRotateMinSeparationPx &&
            dist2 > kRotateMinSeparationPx) {
            g.Enter(TwoFingerMode::kRotating);
            if (turn > kRotateStepDeg) {
                PlayGesture(s, ports, angleDiff > 0 ? kRotateCL : kRotateAC);
                ReAnchor(s);
            }
            return;
        }
        const bool mayZoom = g.mode == TwoFingerMode::kNone || g.mode == TwoFingerMode::kZooming;
        if (!bothRight && !bothLeft && !bothDown && !bothUp && extents && mayZoom &&
            distance > kZoomEnterPx && turn < kRotateEnterDeg) {
            if (dist1 > dist2) {
                g.Enter(TwoFingerMode::kZooming);
                if (dist1 - dist2 > kZoomStepPx) {
                    PlayGesture(s, ports, kZoomOut);
                    ReAnchor(s);
                }
            } else if (dist2 > dist1) {
                g.Enter(TwoFingerMode::kZooming);
                if (dist2 - dist1 > kZoomStepPx) {
                    PlayGesture(s, ports, kZoomIn);
                    ReAnchor(s);
                }
            }
            return;
        }
    }

    // Pans to the right and down take over from any mode; to the left only in a
    // gesture that never rotated or zoomed (and with the zoom's extents), up only
    // in one that never rotated.
    const bool rotated = g.BeganAs(TwoFingerMode::kRotating);
    const bool zoomed = g.BeganAs(TwoFingerMode::kZooming);
    if (bothRight || (bothLeft && extents && !rotated && !zoomed)) {
        g.Enter(TwoFingerMode::kPanning);
        if (Abs64(dx1) > kTwoFingerFlickPx) {
            FlickHorizontal(s, ports);
            ReAnchor(s);
        }
        return;
    }
    if (bothDown || (bothUp && !rotated)) {
        g.Enter(TwoFingerMode::kPanning);
        if (Abs64(dy1) > kTwoFingerFlickPx) {
            FlickVertical(s, ports);
            ReAnchor(s);
        }
    }
}

}  // namespace tactra
