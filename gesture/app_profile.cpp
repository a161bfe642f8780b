// The application in front and its profile.
#include "gesture/engine.h"

namespace tactra {

int ProfileSource::FindSection(const std::string& file, const std::string& title) {
    const std::vector<std::string>& sections = Sections();
    for (size_t i = 0; i < sections.size(); ++i) {
        const std::string& name = sections[i];
        // A program file name matches exactly; key words anywhere in the title.
        if (name == file || title.find(name) != std::string::npos) return static_cast<int>(i);
    }
    return -1;
}

void SelectAppProfile(GestureState& s, EnginePorts& ports) {
    std::string file = kUnknownApplication;
    std::string title = kUnknownApplication;
    if (!ports.foreground->ReadModuleName(file)) file = kUnknownApplication;
    if (!ports.foreground->ReadWindowTitle(title)) title = kUnknownApplication;
    s.fileName = file;
    s.windowTitle = title;

    const int match = ports.profiles->FindSection(s.fileName, s.windowTitle);
    if (match >= 0) {
        ports.profiles->ReadProfile(ports.profiles->Sections()[static_cast<size_t>(match)],
                                    s.profile);
        s.matchedSection = match;
        return;
    }
    for (GestureAction& a : s.profile.actions) {
        a.kind = 0;
        a.code = 0;
    }
    s.matchedSection = -1;
}

}  // namespace tactra
