#include "tools/common/client_win32.h"

#include <vector>

#include "app/app_rules.h"

namespace tactra {

bool LoadTouchLibrary(HMODULE& library, TpinputExports& exports, std::string& problem) {
    library = LoadLibraryA("tpinput.dll");
    if (library == nullptr) {
        problem = "tpinput.dll could not be loaded: it belongs in this program's folder.";
        return false;
    }
    if (!TpinputResolve(library, &exports)) {
        FreeLibrary(library);
        library = nullptr;
        problem =
            "tpinput.dll lacks some of its exports: it is not the library this program needs.";
        return false;
    }
    return true;
}

TouchDeviceKind FindTouchDevice(const TpinputExports& library) {
    if (library.getConnectedDeviceNum(kTpinputPanelVendorId) > 0) return TouchDeviceKind::kPanel;
    if (library.getConnectedDeviceNum(0) > 0) return TouchDeviceKind::kTouchScreen;
    return TouchDeviceKind::kNone;
}

void RestartTactra() {
    if (FindWindowA(nullptr, kMainDialogTitle) != nullptr) return;
    // This program's own path, however long.
    std::vector<char> path(MAX_PATH);
    for (;;) {
        const DWORD got = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (got == 0) return;
        if (got < path.size()) break;
        path.resize(path.size() * 2);
    }
    std::string program(path.data());
    const size_t slash = program.find_last_of("\\/");
    program =
        (slash == std::string::npos ? std::string() : program.substr(0, slash + 1)) + "Tactra.exe";
    if (GetFileAttributesA(program.c_str()) == INVALID_FILE_ATTRIBUTES) return;
    std::string commandLine = "\"" + program + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                       nullptr, &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

HFONT CreateUiFont(int height, bool bold) {
    return CreateFontA(-height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                       ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_SWISS, "Arial");
}

}  // namespace tactra
