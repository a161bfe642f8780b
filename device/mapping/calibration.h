// Calibration limits and the mapping of raw panel positions to hundredths of a
// screen pixel.
#pragma once

#include <cstdint>
#include <string>

#include "device/panel/touch_report.h"
#include "profiles/ini.h"

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

// "Calibrate.ini": section "Config" with the five calibration points and the limits.
constexpr const char kCalibrationFileName[] = "Calibrate.ini";
constexpr const char kCalibrationSection[] = "Config";

// "Calibrate.ini" in the current directory, where Tactra.exe, tpinput.dll and
// Calibrate.exe read and write it.
CIni CurrentCalibrationFile();

// The monitor the panel drives: its device name in [Config] (absent or empty: the
// primary display). Written by the calibration program's choice of monitor.
constexpr const char kMonitorKey[] = "Monitor";
// The touch switch ("Touch enabled") in a section of its own, so that no reader of
// [Config] meets it: 1 on, 0 off; absent or empty: on.
constexpr const char kTouchSection[] = "Touch";
constexpr const char kTouchEnabledKey[] = "TouchEnabled";

// Each of these reads or writes its one key; every other key and section of the
// file stays as it is. `section` is the device's section (device_sections.h):
// [Config] for the only device, or the one that owns it.
std::string ReadMonitorName(const CIni& ini, const char* section = kCalibrationSection);
void WriteMonitorName(const CIni& ini, const std::string& name,
                      const char* section = kCalibrationSection);
bool ReadTouchEnabled(const CIni& ini);
void WriteTouchEnabled(const CIni& ini, bool enabled);

// Raw units the limits lie beyond the mean of their two calibration targets.
constexpr int32_t kCalibrationMargin = 512;

// A calibration target: running sums while it is touched, the mean afterwards.
struct CalibrationPoint {
    int32_t x = 0;
    int32_t y = 0;
    int32_t count = 0;
};

// 0 .. the panel's logical maxima: the limits of a device without a calibration.
CalibrationLimits PanelRangeLimits(int32_t logicalMaxX, int32_t logicalMaxY);

// The limits from the file behind `ini` when "MaxX", "MinX", "MaxY" and "MinY" are all
// present (an empty value takes its default 0/4095/0/4095); otherwise, and when a
// range would be zero, 0 .. the panel's logical maxima.
CalibrationLimits LoadCalibrationLimits(const CIni& ini, int32_t logicalMaxX, int32_t logicalMaxY,
                                        const char* section = kCalibrationSection);
// The same from "Calibrate.ini" in the current directory.
CalibrationLimits LoadCalibrationLimits(int32_t logicalMaxX, int32_t logicalMaxY);

// The limits that five targets give: targets 1 and 3 bound the low X side, 2 and 4
// the high X side, 1 and 2 the low Y side, 3 and 4 the high Y side.
CalibrationLimits LimitsFromPoints(const CalibrationPoint points[5]);

// Writes Point1X .. Point5Y, then MinX, MaxX, MinY, MaxY, one key at a time.
void WriteCalibrationFile(const CIni& ini, const CalibrationPoint points[5],
                          const char* section = kCalibrationSection);
// The same to "Calibrate.ini" in the current directory.
void WriteCalibrationFile(const CalibrationPoint points[5]);

// The fourteen values that WriteCalibrationFile writes, as the file holds them (an
// empty value reads 0; the counts become 0 and the ranges are left as they are);
// false when one of the keys is missing.
bool ReadCalibrationFile(const CIni& ini, CalibrationPoint points[5], CalibrationLimits& limits,
                         const char* section = kCalibrationSection);
// Whether two such readings hold the same fourteen values.
bool SameCalibration(const CalibrationPoint a[5], const CalibrationLimits& aLimits,
                     const CalibrationPoint b[5], const CalibrationLimits& bLimits);

}  // namespace tactra
