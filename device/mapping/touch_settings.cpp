#include "device/mapping/touch_settings.h"

#include <cctype>

#include "platform/number_text.h"

namespace tactra {

namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    // Blanks around the value are the editor's, not the value's.
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

class Reader {
public:
    Reader(const CIni& ini, const char* section, std::vector<std::string>& notes)
        : ini_(ini), section_(section), notes_(notes) {}

    // The key's text, lower case; false when the key is absent or empty (its default,
    // as for every key of the file).
    bool Text(const char* key, std::string& text) const {
        if (!ini_.HasKey(section_, key)) return false;
        text = Lower(ini_.ReadText(section_, key, ""));
        return !text.empty();
    }
    void Bad(const char* key, const std::string& text, const char* wanted) {
        notes_.push_back(std::string("[") + section_ + "] " + key + "=" + text + ": " + wanted +
                         ", the default is used");
    }
    template <typename T>
    void Word(const char* key, T& value, const char* const words[], const T values[], size_t n,
              const char* wanted) {
        std::string text;
        if (!Text(key, text)) return;
        for (size_t i = 0; i < n; ++i) {
            if (text == words[i]) {
                value = values[i];
                return;
            }
        }
        Bad(key, text, wanted);
    }
    void Switch(const char* key, bool& value) {
        static const char* const kWords[] = {"1", "0", "on", "off", "yes", "no"};
        static const bool kValues[] = {true, false, true, false, true, false};
        Word(key, value, kWords, kValues, 6, "1 or 0");
    }
    void Fixed(const char* key, Fix<bool>& fix) {
        std::string text;
        if (!Text(key, text)) return;
        bool value = false;
        const size_t before = notes_.size();
        Switch(key, value);
        if (notes_.size() == before) fix = {true, value};
    }
    template <typename T>
    void Number(const char* key, T& value, int64_t low, int64_t high) {
        std::string text;
        if (!Text(key, text)) return;
        int64_t v = 0;
        if (!ParseStrictNumber(text, low, high, v)) {
            const std::string wanted =
                "a number from " + std::to_string(low) + " to " + std::to_string(high);
            Bad(key, text, wanted.c_str());
            return;
        }
        value = static_cast<T>(v);
    }

private:
    const CIni& ini_;
    const char* section_;
    std::vector<std::string>& notes_;
};

constexpr const char* kClickModeWords[] = {"on lift", "on touch", "pointer only"};
constexpr ClickMode kClickModes[] = {ClickMode::kOnLift, ClickMode::kOnTouch,
                                     ClickMode::kPointerOnly};
constexpr const char* kSmoothingWords[] = {"off", "light", "strong"};
constexpr Smoothing kSmoothings[] = {Smoothing::kOff, Smoothing::kLight, Smoothing::kStrong};
constexpr const char* kValidBitWords[] = {"tip", "range", "confidence"};
constexpr ValidBit kValidBits[] = {ValidBit::kTipSwitch, ValidBit::kInRange, ValidBit::kConfidence};

}  // namespace

const char* ClickModeText(ClickMode mode) { return kClickModeWords[static_cast<int>(mode)]; }
const char* SmoothingText(Smoothing smoothing) {
    return kSmoothingWords[static_cast<int>(smoothing)];
}
const char* ValidBitText(ValidBit bit) { return kValidBitWords[static_cast<int>(bit)]; }

TouchSettings ReadTouchSettings(const CIni& ini, const char* section,
                                std::vector<std::string>& notes) {
    TouchSettings s;
    Reader r(ini, section, notes);
    r.Word(kClickModeKey, s.clickMode, kClickModeWords, kClickModes, 3,
           "\"on lift\", \"on touch\" or \"pointer only\"");
    r.Switch(kHoldRightClickKey, s.holdRightClick);
    r.Number(kHoldTimeKey, s.holdTimeMs, kHoldTimeMinMs, kHoldTimeMaxMs);
    r.Number(kHoldRadiusKey, s.holdRadiusPx, 1, kHoldRadiusMaxPx);
    r.Number(kDoubleTapTimeKey, s.doubleTapMs, kDoubleTapTimeMinMs, kDoubleTapTimeMaxMs);
    r.Number(kDoubleTapAreaKey, s.doubleTapAreaPx, 0, kDoubleTapAreaMaxPx);
    r.Word(kSmoothingKey, s.smoothing, kSmoothingWords, kSmoothings, 3,
           "\"off\", \"light\" or \"strong\"");
    r.Switch(kTouchSoundKey, s.touchSound);
    r.Switch(kGesturesKey, s.gestures);
    r.Fixed(kSwapXYKey, s.swapXY);
    r.Fixed(kInvertXKey, s.invertX);
    r.Fixed(kInvertYKey, s.invertY);
    r.Fixed(kIdsFromOneKey, s.idsStartAtOne);
    r.Fixed(kLiftUnseenKey, s.liftWhenNotSeen);
    ValidBit bit = ValidBit::kTipSwitch;
    const size_t before = notes.size();
    std::string text;
    if (r.Text(kContactBitKey, text)) {
        r.Word(kContactBitKey, bit, kValidBitWords, kValidBits, 3,
               "\"tip\", \"range\" or \"confidence\"");
        if (notes.size() == before) s.validBit = {true, bit};
    }
    return s;
}

void WriteTouchSettings(const CIni& ini, const char* section, const TouchSettings& s) {
    ini.WriteText(section, kClickModeKey, ClickModeText(s.clickMode));
    ini.WriteNumber(section, kHoldRightClickKey, s.holdRightClick ? 1 : 0);
    ini.WriteNumber(section, kHoldTimeKey, static_cast<int32_t>(s.holdTimeMs));
    ini.WriteNumber(section, kHoldRadiusKey, s.holdRadiusPx);
    ini.WriteNumber(section, kDoubleTapTimeKey, static_cast<int32_t>(s.doubleTapMs));
    ini.WriteNumber(section, kDoubleTapAreaKey, s.doubleTapAreaPx);
    ini.WriteText(section, kSmoothingKey, SmoothingText(s.smoothing));
    ini.WriteNumber(section, kTouchSoundKey, s.touchSound ? 1 : 0);
    ini.WriteNumber(section, kGesturesKey, s.gestures ? 1 : 0);
    // A fix left to the quirk table is not written: the table's row may change.
    const struct {
        const char* key;
        const Fix<bool>& fix;
    } fixes[] = {{kSwapXYKey, s.swapXY},
                 {kInvertXKey, s.invertX},
                 {kInvertYKey, s.invertY},
                 {kIdsFromOneKey, s.idsStartAtOne},
                 {kLiftUnseenKey, s.liftWhenNotSeen}};
    for (const auto& f : fixes) {
        if (f.fix.set) ini.WriteNumber(section, f.key, f.fix.value ? 1 : 0);
    }
    if (s.validBit.set) ini.WriteText(section, kContactBitKey, ValidBitText(s.validBit.value));
}

DeviceQuirks ApplyFixes(DeviceQuirks quirks, const TouchSettings& s) {
    if (s.swapXY.set) quirks.swapXY = s.swapXY.value;
    if (s.invertX.set) quirks.invertX = s.invertX.value;
    if (s.invertY.set) quirks.invertY = s.invertY.value;
    if (s.idsStartAtOne.set) quirks.idsStartAtOne = s.idsStartAtOne.value;
    if (s.liftWhenNotSeen.set) quirks.liftWhenNotSeen = s.liftWhenNotSeen.value;
    if (s.validBit.set) quirks.validBit = s.validBit.value;
    return quirks;
}

}  // namespace tactra
