// Win32 adapter of the foreground-application port: the main module of the
// foreground window's process and the window's title.
#pragma once

#include <windows.h>

#include "platform/foreground.h"

namespace tactra {

// The steps of the port for a given window: "<unknown>" (and false) when the
// window's process cannot be opened or its main module not read; names and titles
// longer than 259 characters are cut.
bool ReadModuleNameOf(HWND window, std::string& name);
void ReadWindowTitleOf(HWND window, std::string& title);

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
