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

void ReAnchor(GestureState& s) {
    s.m_MTouchInput1.x = s.m_MTouchInput1.xUp;
    s.m_MTouchInput1.y = s.m_MTouchInput1.yUp;
    s.m_MTouchInput2.x = s.m_MTouchInput2.xUp;
    s.m_MTouchInput2.y = s.m_MTouchInput2.yUp;
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
    const MTOUCHINPUT& f1 = s.m_MTouchInput1;
    const MTOUCHINPUT& f2 = s.m_MTouchInput2;

    const int64_t xRange1 = AbsRange(f1.xMax, f1.xMin), yRange1 = AbsRange(f1.yMax, f1.yMin);
    const int64_t xRange2 = AbsRange(f2.xMax, f2.xMin), yRange2 = AbsRange(f2.yMax, f2.yMin);
    const int64_t dx1 = static_cast<int64_t>(f1.xUp) - f1.x, dy1 = static_cast<int64_t>(f1.yUp) - f1.y;
    const int64_t dx2 = static_cast<int64_t>(f2.xUp) - f2.x, dy2 = static_cast<int64_t>(f2.yUp) - f2.y;
    const double ix = static_cast<double>(static_cast<int64_t>(f2.x) - f1.x);
    const double iy = static_cast<double>(static_cast<int64_t>(f2.y) - f1.y);
    const double ixUp = static_cast<double>(static_cast<int64_t>(f2.xUp) - f1.xUp);
    const double iyUp = static_cast<double>(static_cast<int64_t>(f2.yUp) - f1.yUp);

    const int vPoint1 = DirectionClass(dx1, dy1);
    const int vPoint2 = DirectionClass(dx2, dy2);
    const bool bothRight = IsRight(vPoint1) && IsRight(vPoint2);
    const bool bothLeft = IsLeft(vPoint1) && IsLeft(vPoint2);
    const bool bothDown = IsDown(vPoint1) && IsDown(vPoint2);
    const bool bothUp = IsUp(vPoint1) && IsUp(vPoint2);

    // Coinciding fingers have no direction: rotation and zoom are not judged then.
    const bool vectorsDefined = (ix != 0 || iy != 0) && (ixUp != 0 || iyUp != 0);
    if (vectorsDefined) {
        const double angleDiff = AngleDifference(VectorAngle(ix, iy), VectorAngle(ixUp, iyUp));
        const double anagle = std::fabs(angleDiff);
        const double dist1 = std::sqrt(ix * ix + iy * iy);
        const double dist2 = std::sqrt(ixUp * ixUp + iyUp * iyUp);
        const double distance = std::fabs(dist1 - dist2);

        if (anagle > kRotateEnterDeg && !s.m_bZooming && !s.m_bPanning &&
            dist1 > kRotateMinSeparationPx && dist2 > kRotateMinSeparationPx) {
            s.m_bRotating = true;
            if (anagle > kRotateStepDeg) {
                PlayGesture(s, ports, angleDiff > 0 ? kRotateCL : kRotateAC);
                ReAnchor(s);
            }
            return;
        }
        if (!bothRight && !bothLeft && !bothDown && !bothUp &&
            (xRange1 >= kZoomMinExtentPx || yRange1 >= kZoomMinExtentPx) &&
            xRange2 >= kZoomMinExtentPx && yRange2 >= kZoomMinExtentPx && !s.m_bRotating &&
            !s.m_bPanning && distance > kZoomEnterPx && anagle < kRotateEnterDeg) {
            if (dist1 > dist2) {
                s.m_bZooming = true;
                if (dist1 - dist2 > kZoomStepPx) {
                    PlayGesture(s, ports, kZoomOut);
                    ReAnchor(s);
                }
            } else if (dist2 > dist1) {
                s.m_bZooming = true;
                if (dist2 - dist1 > kZoomStepPx) {
                    PlayGesture(s, ports, kZoomIn);
                    ReAnchor(s);
                }
            }
            return;
        }
    }

    const bool extents = (xRange1 >= kZoomMinExtentPx || yRange1 >= kZoomMinExtentPx) &&
                         xRange2 >= kZoomMinExtentPx && yRange2 >= kZoomMinExtentPx;
    if (bothRight || (bothLeft && extents && !s.m_bRotating && !s.m_bZooming)) {
        s.m_bPanning = true;
        if (Abs64(dx1) > kTwoFingerFlickPx) {
            FlickHorizontal(s, ports);
            ReAnchor(s);
        }
        return;
    }
    if (bothDown || (bothUp && !s.m_bRotating)) {
        s.m_bPanning = true;
        if (Abs64(dy1) > kTwoFingerFlickPx) {
            FlickVertical(s, ports);
            ReAnchor(s);
        }
    }
}

}  // namespace tactra
