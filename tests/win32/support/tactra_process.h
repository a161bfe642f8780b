// Starts the built Tactra.exe in a folder of its own and finds its windows, for the
// tests that drive the program as a user would.
#pragma once

#include <windows.h>

#include <string>

namespace tactra {
namespace testing {

class TactraProcess {
public:
    ~TactraProcess();
    // Sets the Windows version that Wine reports to Tactra.exe ("winxp64", "win7").
    static void SetWineVersion(const char* version);
    // A new empty folder under the temporary folder.
    static std::string MakeEmptyFolder(const char* tag);

    // Starts Tactra.exe (the built one, or `program`) in `folder` with `arguments`;
    // waits for its main dialog.
    bool Start(const std::string& folder, const std::string& arguments = "",
               DWORD windowTimeoutMs = 15000, const std::string& program = "");
    HWND MainDialog() const { return main_; }
    DWORD ProcessId() const { return pi_.dwProcessId; }
    // A top-level window of the process with this title, waiting up to timeoutMs.
    HWND WaitForWindow(const char* title, DWORD timeoutMs = 5000) const;
    // True when the process ended within timeoutMs.
    bool WaitForExit(DWORD timeoutMs);
    void Kill();

private:
    PROCESS_INFORMATION pi_{};
    HWND main_ = nullptr;
};

// A path as Windows programs take it (a Unix path becomes Z:\...).
std::string WindowsPath(const char* path);
// Copies the file at `path` into `folder`; false when that failed.
bool CopyInto(const char* path, const std::string& folder);
// A top-level window of any process with this title, waiting up to timeoutMs; a
// window of process `exceptProcess` does not count.
HWND WaitForAnyWindow(const char* title, DWORD timeoutMs, DWORD exceptProcess = 0);
// Ends the process that owns `window`.
void KillWindowProcess(HWND window);

// Pumps this thread's messages for the given time.
void Pump(DWORD milliseconds);
// A child window of `parent` with exactly this text; null when none.
HWND FindChildWithText(HWND parent, const char* text);
std::string WindowText(HWND hwnd);
std::string ReadFileText(const std::string& path);

}  // namespace testing
}  // namespace tactra
