// Win32 adapter of the foreground-application port: the main module of the
// foreground window's process and the window's title.
#pragma once

#include "platform/foreground.h"

namespace tactra {

class Win32ForegroundApp : public ForegroundApp {
public:
    // OpenProcess with full access, EnumProcessModules for the main module,
    // GetModuleBaseNameA; the working set is trimmed (EmptyWorkingSet) as Tactra
    // always did.
    bool ReadModuleName(std::string& name) override;
    // GetWindowTextA of the foreground window, taken anew.
    bool ReadWindowTitle(std::string& title) override;
};

}  // namespace tactra
