#include "device/mapping/calibration.h"

#include "platform/current_directory.h"
#include "platform/saturate.h"

#include <cmath>
#include <cstdio>
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

namespace {

// Mean of two values, truncated toward zero, moved outward by the margin.
int32_t Bound(int32_t a, int32_t b, int32_t margin) {
    return SaturateInt32((static_cast<int64_t>(a) + b) / 2 + margin);
}

// The file's keys: a point's two coordinates by its number (1 .. 5), and the limits
// in the order they are written.
struct PointKeys {
    explicit PointKeys(int number) {
        std::snprintf(x, sizeof x, "Point%dX", number);
        std::snprintf(y, sizeof y, "Point%dY", number);
    }
    char x[16];
    char y[16];
};

struct LimitKey {
    const char* name;
    int32_t CalibrationLimits::*value;
};
constexpr LimitKey kLimitKeys[] = {{"MinX", &CalibrationLimits::minX},
                                   {"MaxX", &CalibrationLimits::maxX},
                                   {"MinY", &CalibrationLimits::minY},
                                   {"MaxY", &CalibrationLimits::maxY}};

}  // namespace

CalibrationLimits PanelRangeLimits(int32_t logicalMaxX, int32_t logicalMaxY) {
    CalibrationLimits limits;
    limits.minX = 0;
    limits.minY = 0;
    limits.maxX = limits.xRange = logicalMaxX;
    limits.maxY = limits.yRange = logicalMaxY;
    return limits;
}

CalibrationLimits LoadCalibrationLimits(const CIni& ini, int32_t logicalMaxX, int32_t logicalMaxY,
                                        const char* section) {
    for (const LimitKey& key : kLimitKeys) {
        if (!ini.HasKey(section, key.name)) return PanelRangeLimits(logicalMaxX, logicalMaxY);
    }
    CalibrationLimits limits;
    limits.minX = ini.ReadNumber(section, "MinX", 0);
    limits.maxX = ini.ReadNumber(section, "MaxX", 4095);
    limits.minY = ini.ReadNumber(section, "MinY", 0);
    limits.maxY = ini.ReadNumber(section, "MaxY", 4095);
    const int64_t xRange = static_cast<int64_t>(limits.maxX) - limits.minX;
    const int64_t yRange = static_cast<int64_t>(limits.maxY) - limits.minY;
    // Equal limits would divide by zero, and a range beyond int32 cannot be stored:
    // such a file is treated as if it had no limits.
    if (xRange == 0 || yRange == 0 || xRange != SaturateInt32(xRange) ||
        yRange != SaturateInt32(yRange)) {
        return PanelRangeLimits(logicalMaxX, logicalMaxY);
    }
    limits.xRange = static_cast<int32_t>(xRange);
    limits.yRange = static_cast<int32_t>(yRange);
    return limits;
}

CIni CurrentCalibrationFile() { return CIni(PathInCurrentDirectory(kCalibrationFileName)); }

CalibrationLimits LoadCalibrationLimits(int32_t logicalMaxX, int32_t logicalMaxY) {
    return LoadCalibrationLimits(CurrentCalibrationFile(), logicalMaxX, logicalMaxY);
}

std::string ReadMonitorName(const CIni& ini, const char* section) {
    return ini.ReadText(section, kMonitorKey, "");
}

void WriteMonitorName(const CIni& ini, const std::string& name, const char* section) {
    ini.WriteText(section, kMonitorKey, name.c_str());
}

bool ReadTouchEnabled(const CIni& ini) {
    return ini.ReadNumber(kTouchSection, kTouchEnabledKey, 1) != 0;
}

void WriteTouchEnabled(const CIni& ini, bool enabled) {
    ini.WriteNumber(kTouchSection, kTouchEnabledKey, enabled ? 1 : 0);
}

CalibrationLimits LimitsFromPoints(const CalibrationPoint points[5]) {
    CalibrationLimits limits;
    limits.minX = Bound(points[0].x, points[2].x, -kCalibrationMargin);
    limits.maxX = Bound(points[1].x, points[3].x, kCalibrationMargin);
    limits.minY = Bound(points[0].y, points[1].y, -kCalibrationMargin);
    limits.maxY = Bound(points[2].y, points[3].y, kCalibrationMargin);
    limits.xRange = SaturateInt32(static_cast<int64_t>(limits.maxX) - limits.minX);
    limits.yRange = SaturateInt32(static_cast<int64_t>(limits.maxY) - limits.minY);
    return limits;
}

void WriteCalibrationFile(const CIni& ini, const CalibrationPoint points[5], const char* section) {
    for (int i = 0; i < 5; ++i) {
        const PointKeys key(i + 1);
        ini.WriteNumber(section, key.x, points[i].x);
        ini.WriteNumber(section, key.y, points[i].y);
    }
    const CalibrationLimits limits = LimitsFromPoints(points);
    for (const LimitKey& key : kLimitKeys) ini.WriteNumber(section, key.name, limits.*key.value);
}

void WriteCalibrationFile(const CalibrationPoint points[5]) {
    WriteCalibrationFile(CurrentCalibrationFile(), points);
}

bool ReadCalibrationFile(const CIni& ini, CalibrationPoint points[5], CalibrationLimits& limits,
                         const char* section) {
    for (int i = 0; i < 5; ++i) {
        const PointKeys key(i + 1);
        if (!ini.HasKey(section, key.x)) return false;
        points[i].x = ini.ReadNumber(section, key.x, 0);
        if (!ini.HasKey(section, key.y)) return false;
        points[i].y = ini.ReadNumber(section, key.y, 0);
        points[i].count = 0;
    }
    for (const LimitKey& key : kLimitKeys) {
        if (!ini.HasKey(section, key.name)) return false;
        limits.*key.value = ini.ReadNumber(section, key.name, 0);
    }
    return true;
}

bool SameCalibration(const CalibrationPoint a[5], const CalibrationLimits& aLimits,
                     const CalibrationPoint b[5], const CalibrationLimits& bLimits) {
    for (int i = 0; i < 5; ++i) {
        if (a[i].x != b[i].x || a[i].y != b[i].y) return false;
    }
    return aLimits.minX == bLimits.minX && aLimits.maxX == bLimits.maxX &&
           aLimits.minY == bLimits.minY && aLimits.maxY == bLimits.maxY;
}

}  // namespace tactra
