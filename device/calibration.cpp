#include "device/calibration.h"

#include <cmath>
#include <limits>

namespace tactra {

ScreenScale MakeScreenScale(uint32_t width, uint32_t height) {
    ScreenScale s;
    s.w100 = static_cast<float>(static_cast<uint64_t>(width) * 100u);
    s.h100 = static_cast<float>(static_cast<uint64_t>(height) * 100u);
    return s;
}

int32_t MapAxis(int32_t raw, int32_t min, int32_t range, float scale100) {
    if (range == 0) return 0;
    const int64_t d = static_cast<int64_t>(raw) - min;
    // The product is rounded to single precision before the division.
    const volatile float p = static_cast<float>(static_cast<long double>(d) * scale100);
    const long double q = static_cast<long double>(p) / range;
    if (std::isnan(q)) return 0;
    if (q >= 2147483647.0L) return std::numeric_limits<int32_t>::max();
    if (q <= -2147483648.0L) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(q);
}

MappedPoint MapPosition(const CalibrationLimits& limits, const ScreenScale& scale, int32_t rawX,
                        int32_t rawY) {
    MappedPoint p;
    p.x = MapAxis(rawX, limits.minX, limits.xRange, scale.w100);
    p.y = MapAxis(rawY, limits.minY, limits.yRange, scale.h100);
    return p;
}

}  // namespace tactra
