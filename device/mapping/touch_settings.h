// How a touch feels on one device, set per device in its section of "Calibrate.ini"
// (device_sections.h): how a touch clicks, the right click by holding, the double tap,
// smoothing, a sound at each touch-down, whether two-finger gestures are read, and the
// device fixes that override the built-in quirk table. Every key is optional: absent
// or empty, the behaviour is the one of a device without settings. A value that cannot be read
// or lies out of its range takes its default, with one note naming the key.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/screen/quirks.h"
#include "profiles/ini.h"

namespace tactra {

// How a touch of one finger uses the left button.
enum class ClickMode {
    kOnLift,       // a tap clicks when the finger lifts; a move drags ("on lift")
    kOnTouch,      // the button goes down where the finger touches, up where it lifts ("on touch")
    kPointerOnly,  // the pointer follows, no button at all ("pointer only")
};

enum class Smoothing { kOff, kLight, kStrong };

// The keys, as the file holds them.
constexpr const char kClickModeKey[] = "ClickMode";
constexpr const char kHoldRightClickKey[] = "HoldRightClick";
constexpr const char kHoldTimeKey[] = "HoldTime";
constexpr const char kHoldRadiusKey[] = "HoldRadius";
constexpr const char kDoubleTapTimeKey[] = "DoubleTapTime";
constexpr const char kDoubleTapAreaKey[] = "DoubleTapArea";
constexpr const char kSmoothingKey[] = "Smoothing";
constexpr const char kTouchSoundKey[] = "TouchSound";
constexpr const char kGesturesKey[] = "Gestures";
constexpr const char kSwapXYKey[] = "SwapXY";
constexpr const char kInvertXKey[] = "InvertX";
constexpr const char kInvertYKey[] = "InvertY";
constexpr const char kContactBitKey[] = "ContactBit";
constexpr const char kIdsFromOneKey[] = "IdsFromOne";
constexpr const char kLiftUnseenKey[] = "LiftUnseen";

// Ranges of the numbers (inclusive).
constexpr uint32_t kHoldTimeMinMs = 500;
constexpr uint32_t kHoldTimeMaxMs = 5000;
constexpr int32_t kHoldRadiusMaxPx = 500;
constexpr uint32_t kDoubleTapTimeMinMs = 50;
constexpr uint32_t kDoubleTapTimeMaxMs = 1000;
constexpr int32_t kDoubleTapAreaMaxPx = 500;

// A device fix set in the file: unset, it is the quirk table's.
template <typename T>
struct Fix {
    bool set = false;
    T value{};
};

struct TouchSettings {
    ClickMode clickMode = ClickMode::kOnLift;
    bool holdRightClick = true;
    uint32_t holdTimeMs = 1500;
    int32_t holdRadiusPx = 30;
    uint32_t doubleTapMs = 150;
    int32_t doubleTapAreaPx = 0;  // 0: anywhere, as a device without settings
    Smoothing smoothing = Smoothing::kOff;
    bool touchSound = false;
    bool gestures = true;
    Fix<bool> swapXY, invertX, invertY, idsStartAtOne, liftWhenNotSeen;
    Fix<ValidBit> validBit;
};

// The device's settings from its section; `notes` gets one line per key that took
// its default because its value could not be used.
TouchSettings ReadTouchSettings(const CIni& ini, const char* section,
                                std::vector<std::string>& notes);
// Writes every setting's key into the section; its other keys stay.
void WriteTouchSettings(const CIni& ini, const char* section, const TouchSettings& settings);

// The quirk table's row with the device's fixes over it.
DeviceQuirks ApplyFixes(DeviceQuirks quirks, const TouchSettings& settings);

const char* ClickModeText(ClickMode mode);       // "on lift", "on touch", "pointer only"
const char* SmoothingText(Smoothing smoothing);  // "off", "light", "strong"
const char* ValidBitText(ValidBit bit);          // "tip", "range", "confidence"

}  // namespace tactra
