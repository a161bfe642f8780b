// CTACTRAApp: the program runs its main dialog modally for its whole life.
#include <windows.h>
#include <commctrl.h>

#include "app/app_rules.h"
#include "app/main_dialog_win32.h"
#include "app/session_win32.h"
#include "platform/current_directory.h"
#include "platform/diagnostic_log.h"
#include "platform/win32/win32_tactra_instance.h"

namespace tactra {

namespace {

// How long a second start looks for the running Tactra's main dialog: the first
// copy may have taken the mark an instant before its dialog exists.
constexpr DWORD kFindRunningDialogMs = 700;
constexpr DWORD kFindRunningPollMs = 50;

// Asks the Tactra that holds the mark to show its main dialog, as a click on its
// tray icon does. Nothing happens when its dialog does not appear in time.
void ShowRunningTactra() {
    const DWORD start = GetTickCount();
    for (;;) {
        HWND dialog = FindWindowA(WC_DIALOG, kMainDialogTitle);
        if (dialog) {
            // The running copy may bring its dialog to the front: this start is the
            // user's latest input, which the system lets it pass on.
            DWORD processId = 0;
            GetWindowThreadProcessId(dialog, &processId);
            if (processId) AllowSetForegroundWindow(processId);
            PostMessageA(dialog, kShowMessage, 0, 0);
            return;
        }
        if (GetTickCount() - start >= kFindRunningDialogMs) return;
        Sleep(kFindRunningPollMs);
    }
}

}  // namespace

class CTACTRAApp {
public:
    int InitInstance(const char* commandLine) {
        // One Tactra per session: a second copy would open the panel again and play
        // every gesture twice. It shows the running one's dialog and ends.
        TactraInstanceMark mark;
        if (!mark.Acquire()) {
            ShowRunningTactra();
            return 0;
        }

        INITCOMMONCONTROLSEX controls = {sizeof controls, 0xFF};
        InitCommonControlsEx(&controls);

        SessionOptions options;
        std::string error;
        if (!ParseSessionOptions(commandLine, options, error)) {
            MessageBoxA(nullptr, error.c_str(), "Tactra", MB_OK | MB_ICONERROR);
            return 1;
        }
        DiagnosticLog& log = ProcessLog();
        log.SetDebugOutput([](const char* line) { OutputDebugStringA(line); });
        if (options.log) {
            log.OpenFile(PathInCurrentDirectory("Tactra.log"),
                         options.logVerbose ? LogLevel::kVerbose : LogLevel::kNormal);
        }
        for (const std::string& word : options.ignoredWords)
            log.Write("ignored command-line word %s", word.c_str());
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

// NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name): the system names them
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    tactra::CTACTRAApp app;
    return app.InitInstance(commandLine);
}
