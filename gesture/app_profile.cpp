// The application in front and its profile.
#include "gesture/engine.h"

namespace tactra {

void SelectAppProfile(GestureState& s, EnginePorts& ports) {
    std::string file = kUnknownApplication;
    std::string title = kUnknownApplication;
    if (!ports.foreground->ReadModuleName(file)) file = kUnknownApplication;
    if (!ports.foreground->ReadWindowTitle(title)) title = kUnknownApplication;
    s.fileName = file;
    s.windowTitle = title;

    const std::vector<std::string>& sections = ports.profiles->Sections();
    for (size_t i = 0; i < sections.size(); ++i) {
        const std::string& name = sections[i];
        // A program file name matches exactly; key words anywhere in the title.
        if (name == s.fileName || s.windowTitle.find(name) != std::string::npos) {
            ports.profiles->ReadProfile(name, s.profile);
            s.matchedSection = static_cast<int>(i);
            return;
        }
    }
    for (GestureAction& a : s.profile.actions) {
        a.kind = 0;
        a.code = 0;
    }
    s.matchedSection = -1;
}

}  // namespace tactra
