// CTACTRAApp: the program runs its main dialog modally for its whole life.
#include <windows.h>
#include <commctrl.h>

#include "app/main_dialog_win32.h"
#include "app/session_win32.h"

namespace tactra {

class CTACTRAApp {
public:
    int InitInstance(const char* commandLine) {
        INITCOMMONCONTROLSEX controls = {sizeof controls, 0xFF};
        InitCommonControlsEx(&controls);

        SessionOptions options;
        std::string error;
        if (!ParseSessionOptions(commandLine, options, error)) {
            MessageBoxA(nullptr, error.c_str(), "Tactra", MB_OK | MB_ICONERROR);
            return 1;
        }
        for (const std::string& word : options.ignoredWords)
            OutputDebugStringA(("Tactra: ignored command-line word " + word + "\n").c_str());
        Session session(options);
        if (!session.Prepare(error)) {
            MessageBoxA(nullptr, error.c_str(), "Tactra", MB_OK | MB_ICONERROR);
            return 1;
        }
        CTACTRADlg dialog(session);
        dialog.RunModal(nullptr);
        return 0;
    }
};

}  // namespace tactra

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    tactra::CTACTRAApp app;
    return app.InitInstance(commandLine);
}
