// Win32 adapter of the foreground-application port: the main module of the
// foreground window's process and the window's title.
#pragma once

#include <string>

#include "platform/foreground.h"

namespace tactra {

class Win32ForegroundApp : public ForegroundApp {
public:
    Win32ForegroundApp() = default;
    ~Win32ForegroundApp() override;
    Win32ForegroundApp(const Win32ForegroundApp&) = delete;
    Win32ForegroundApp& operator=(const Win32ForegroundApp&) = delete;

    // OpenProcess with full access, EnumProcessModules for the main module,
    // GetModuleBaseNameA; the working set is trimmed (EmptyWorkingSet) as Tactra
    // always did. The name read is kept while the same process stays in front.
    bool ReadModuleName(std::string& name) override;
    // GetWindowTextA of the foreground window, taken anew.
    bool ReadWindowTitle(std::string& title) override;

    // The same for a given window (an HWND): "<unknown>" (and false) when its
    // process cannot be opened or its main module not read; names and titles longer
    // than 259 characters are cut.
    bool ReadModuleNameOf(void* window, std::string& name);
    static void ReadWindowTitleOf(void* window, std::string& title);

private:
    void Forget();

    // The process whose name was read last. Its handle stays open, so its id
    // cannot be given to another process while the name is kept; a running process
    // never changes its main module.
    void* process_ = nullptr;
    unsigned long processId_ = 0;
    std::string name_;
};

}  // namespace tactra
