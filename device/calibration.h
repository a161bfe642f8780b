// Calibration limits and the mapping of raw panel positions to hundredths of a
// screen pixel.
#pragma once

#include <cstdint>

#include "device/touch_report.h"

namespace tactra {

struct CalibrationLimits {
    int32_t minX = 0;
    int32_t maxX = 4095;
    int32_t minY = 0;
    int32_t maxY = 4095;
    int32_t xRange = 4095;
    int32_t yRange = 4095;
};

// The current display mode's width and height times 100, as single-precision
// values (0 when the display query failed).
struct ScreenScale {
    float w100 = 0.0f;
    float h100 = 0.0f;
};

ScreenScale MakeScreenScale(uint32_t width, uint32_t height);

// One axis: (raw - min) * scale100 rounded to single precision, divided by range
// in extended precision and truncated toward zero. Saturates to the int32 range;
// a zero range maps to 0.
int32_t MapAxis(int32_t raw, int32_t min, int32_t range, float scale100);

MappedPoint MapPosition(const CalibrationLimits& limits, const ScreenScale& scale, int32_t rawX,
                        int32_t rawY);

}  // namespace tactra
