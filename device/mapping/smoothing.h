// Smoothing of each contact's raw position before it is mapped, for noisy resistive
// and infrared screens: a hysteresis that keeps a still finger still, and a low-pass
// for the rest. It never delays a touch-down (its first position passes as it is) nor
// a lift (which lands where the pointer last was), and a finger moving at a steady
// speed trails by at most one report's worth of its movement.
#pragma once

#include <cstdint>

#include "device/mapping/touch_settings.h"
#include "device/panel/touch_report.h"

namespace tactra {

// A position within the hysteresis of the last one given out is that one again: the
// calibrated range divided by these (about 1 and 4 pixels across a screen of 1,024).
constexpr int32_t kLightHysteresisDivisor = 1024;
constexpr int32_t kStrongHysteresisDivisor = 256;
// Beyond it the position moves this share of the way to the new one: a steady speed v
// trails by v (1 - share) / share, 1/3 of a report's movement (light) or 1 (strong).
constexpr int32_t kLightShareNum = 3, kLightShareDen = 4;
constexpr int32_t kStrongShareNum = 1, kStrongShareDen = 2;

class ContactSmoother {
public:
    void SetStrength(Smoothing smoothing) { smoothing_ = smoothing; }
    Smoothing Strength() const { return smoothing_; }
    // Smooths both contacts of a report in place; `rangeX` and `rangeY` are the
    // calibrated raw ranges. Off: nothing changes.
    void Apply(PanelInputReport& report, int32_t rangeX, int32_t rangeY);

private:
    struct Track {
        bool touching = false;
        int32_t x = 0;  // the position last given out
        int32_t y = 0;
    };
    void Smooth(PanelContact& contact, Track& track, int32_t rangeX, int32_t rangeY) const;

    Smoothing smoothing_ = Smoothing::kOff;
    Track tracks_[2];
};

}  // namespace tactra
