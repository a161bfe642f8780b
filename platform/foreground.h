// Port: the application in front. The Win32 adapter asks the foreground window's
// process for its main module's base name and the window for its title.
#pragma once

#include <string>

namespace tactra {

class ForegroundApp {
public:
    virtual ~ForegroundApp() = default;
    // The base name of the foreground process's main module ("iexplore.exe");
    // false when the process cannot be opened or its module read.
    virtual bool ReadModuleName(std::string& name) = 0;
    // The foreground window's title; false when it could not be read.
    virtual bool ReadWindowTitle(std::string& title) = 0;
};

}  // namespace tactra
