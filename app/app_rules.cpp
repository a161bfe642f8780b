#include "app/app_rules.h"

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

}  // namespace tactra
