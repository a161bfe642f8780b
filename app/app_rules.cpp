#include "app/app_rules.h"

#include "platform/number_text.h"

namespace tactra {

int32_t MouseModeForTabletService(bool serviceFileExists) {
    return serviceFileExists ? kMouseModeTabletService : kMouseModeEmulate;
}

OsCheckResult CheckOperatingSystem(int32_t mouseMode, uint32_t majorVersion, bool tabletPc) {
    if (majorVersion != kMouseEmulationOsMajor)
        return {kMouseModeOsPointer, false, kHintNewerWindows};
    if (tabletPc) return {kMouseModeOsPointer, false, kHintTabletPc};
    return {mouseMode, true, nullptr};
}

WindowOrigin CentredOrigin(int32_t screenWidth, int32_t screenHeight, int32_t width,
                           int32_t height) {
    auto centre = [](int32_t screen, int32_t size) {
        const int32_t origin = (screen - size) / 2;
        return origin < 0 ? 0 : origin;
    };
    return {centre(screenWidth, width), centre(screenHeight, height)};
}

TrayAction TrayCallbackAction(uint32_t mouseMessage) {
    switch (mouseMessage) {
        case 0x201:  // WM_LBUTTONDOWN
        case 0x203:  // WM_LBUTTONDBLCLK
            return TrayAction::kShow;
        case 0x205:  // WM_RBUTTONUP
            return TrayAction::kMenu;
        default:
            return TrayAction::kNone;
    }
}

bool TabPages::AppendPage(const char* title, void* page, uint32_t templateId) {
    if (count_ >= kMaxPages) return false;
    pages_[count_] = {title, page, templateId};
    ++count_;
    return true;
}

bool TabPages::FocusChanged(int focused, int& previous) {
    if (focused < 0 || focused >= count_ || focused == current_) return false;
    previous = current_;
    current_ = focused;
    return true;
}

std::string SectionNameToSave(const AppNameInput& input) {
    const std::string& name = input.fileNameChosen ? input.fileName : input.keyWords;
    // A name of blanks only is no name: the file would get a section "[]" that no
    // list shows and no page can delete.
    return name.find_first_not_of(" \t") == std::string::npos ? std::string() : name;
}

bool IsStorableSectionName(const std::string& name) {
    for (const char c : name) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '[' || c == ']' || u < 0x20 || u == 0x7F) return false;
    }
    return true;
}

int ListTarget(int selected, const std::vector<std::string>& sections,
               const std::string& shownText) {
    if (!IsListSelection(selected, static_cast<int>(sections.size()))) return -1;
    return sections[static_cast<size_t>(selected)] == shownText ? selected : -1;
}

AppProfile PageDefaultActions() {
    AppProfile p;
    constexpr int32_t kKeyNoModifier = 9;
    constexpr int32_t kWheelCtrl = 2;
    p.actions[kFlickUp] = {kKeyNoModifier, 38, 0};
    p.actions[kFlickDown] = {kKeyNoModifier, 40, 0};
    p.actions[kFlickLeft] = {kKeyNoModifier, 37, 0};
    p.actions[kFlickRight] = {kKeyNoModifier, 39, 0};
    p.actions[kZoomIn] = {kWheelCtrl, kWheelActionCode, 1};
    p.actions[kZoomOut] = {kWheelCtrl, kWheelActionCode, 0};
    return p;
}

namespace {

int FixBox(const Fix<bool>& fix) { return fix.set ? (fix.value ? 1 : 0) : kFixAsTable; }
Fix<bool> FixOf(int box) {
    Fix<bool> fix;
    if (box != kFixAsTable) fix = {true, box == 1};
    return fix;
}

bool FormNumber(const std::string& text, const char* name, int64_t low, int64_t high,
                int64_t& value, std::string& error) {
    if (ParseStrictNumber(text, low, high, value)) return true;
    error = std::string(name) + ": a number from " + std::to_string(low) + " to " +
            std::to_string(high);
    return false;
}

}  // namespace

TouchSettingsForm FormFromSettings(const TouchSettings& s) {
    TouchSettingsForm f;
    f.clickMode = static_cast<int>(s.clickMode);
    f.holdRightClick = s.holdRightClick;
    f.holdTime = std::to_string(s.holdTimeMs);
    f.holdRadius = std::to_string(s.holdRadiusPx);
    f.doubleTapTime = std::to_string(s.doubleTapMs);
    f.doubleTapArea = std::to_string(s.doubleTapAreaPx);
    f.smoothing = static_cast<int>(s.smoothing);
    f.touchSound = s.touchSound;
    f.gestures = s.gestures;
    f.swapXY = FixBox(s.swapXY);
    f.invertX = FixBox(s.invertX);
    f.invertY = FixBox(s.invertY);
    f.idsFromOne = FixBox(s.idsStartAtOne);
    f.liftUnseen = FixBox(s.liftWhenNotSeen);
    f.contactBit = s.validBit.set ? 1 + static_cast<int>(s.validBit.value) : 0;
    return f;
}

bool SettingsFromForm(const TouchSettingsForm& f, TouchSettings& out, std::string& error) {
    int64_t holdTime = 0, holdRadius = 0, doubleTime = 0, doubleArea = 0;
    if (!FormNumber(f.holdTime, "Hold time (ms)", kHoldTimeMinMs, kHoldTimeMaxMs, holdTime,
                    error) ||
        !FormNumber(f.holdRadius, "Still radius (px)", 1, kHoldRadiusMaxPx, holdRadius, error) ||
        !FormNumber(f.doubleTapTime, "Double tap time (ms)", kDoubleTapTimeMinMs,
                    kDoubleTapTimeMaxMs, doubleTime, error) ||
        !FormNumber(f.doubleTapArea, "Double tap area (px, 0: anywhere)", 0, kDoubleTapAreaMaxPx,
                    doubleArea, error)) {
        return false;
    }
    TouchSettings s;
    s.clickMode = f.clickMode >= 0 && f.clickMode <= 2 ? static_cast<ClickMode>(f.clickMode)
                                                       : ClickMode::kOnLift;
    s.holdRightClick = f.holdRightClick;
    s.holdTimeMs = static_cast<uint32_t>(holdTime);
    s.holdRadiusPx = static_cast<int32_t>(holdRadius);
    s.doubleTapMs = static_cast<uint32_t>(doubleTime);
    s.doubleTapAreaPx = static_cast<int32_t>(doubleArea);
    s.smoothing = f.smoothing >= 0 && f.smoothing <= 2 ? static_cast<Smoothing>(f.smoothing)
                                                       : Smoothing::kOff;
    s.touchSound = f.touchSound;
    s.gestures = f.gestures;
    s.swapXY = FixOf(f.swapXY);
    s.invertX = FixOf(f.invertX);
    s.invertY = FixOf(f.invertY);
    s.idsStartAtOne = FixOf(f.idsFromOne);
    s.liftWhenNotSeen = FixOf(f.liftUnseen);
    if (f.contactBit >= 1 && f.contactBit <= 3)
        s.validBit = {true, static_cast<ValidBit>(f.contactBit - 1)};
    out = s;
    return true;
}

}  // namespace tactra
