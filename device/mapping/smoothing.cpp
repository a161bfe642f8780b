#include "device/mapping/smoothing.h"

#include <cstdlib>

namespace tactra {

void ContactSmoother::Apply(PanelInputReport& report, int32_t rangeX, int32_t rangeY) {
    if (smoothing_ == Smoothing::kOff) return;
    Smooth(report.contact1, tracks_[0], rangeX, rangeY);
    Smooth(report.contact2, tracks_[1], rangeX, rangeY);
}

void ContactSmoother::Smooth(PanelContact& contact, Track& track, int32_t rangeX,
                             int32_t rangeY) const {
    if (!contact.Touching()) {
        // The lift at once, where the pointer last was.
        if (track.touching) {
            contact.x = static_cast<uint16_t>(track.x);
            contact.y = static_cast<uint16_t>(track.y);
        }
        track.touching = false;
        return;
    }
    if (!track.touching) {
        // The touch-down at once, where it is.
        track = {true, contact.x, contact.y};
        return;
    }
    const bool strong = smoothing_ == Smoothing::kStrong;
    const int32_t divisor = strong ? kStrongHysteresisDivisor : kLightHysteresisDivisor;
    const int64_t hx = std::abs(static_cast<int64_t>(rangeX)) / divisor;
    const int64_t hy = std::abs(static_cast<int64_t>(rangeY)) / divisor;
    const int64_t dx = static_cast<int64_t>(contact.x) - track.x;
    const int64_t dy = static_cast<int64_t>(contact.y) - track.y;
    if (std::abs(dx) > hx || std::abs(dy) > hy) {
        const int64_t num = strong ? kStrongShareNum : kLightShareNum;
        const int64_t den = strong ? kStrongShareDen : kLightShareDen;
        track.x = static_cast<int32_t>(track.x + dx * num / den);
        track.y = static_cast<int32_t>(track.y + dy * num / den);
    }
    contact.x = static_cast<uint16_t>(track.x);
    contact.y = static_cast<uint16_t>(track.y);
}

}  // namespace tactra
