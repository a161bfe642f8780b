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

    // The built Tactra.exe, as a Windows path.
    static std::string BuiltProgram();
    // Starts this program instead of the built Tactra.exe (a Windows path).
    void SetProgram(const std::string& path) { program_ = path; }
    // Starts it with this environment block instead of this process's environment.
    void SetEnvironment(const std::string& block) { environment_ = block; }

    // Starts Tactra.exe in `folder` with `arguments`; waits for its main dialog.
    bool Start(const std::string& folder, const std::string& arguments = "",
               DWORD windowTimeoutMs = 15000, const std::string& program = "");
    HWND MainDialog() const { return main_; }
    DWORD ProcessId() const { return pi_.dwProcessId; }
    // A top-level window of the process with this title, waiting up to timeoutMs.
    HWND WaitForWindow(const char* title, DWORD timeoutMs = 5000) const;
    // True when the process ended within timeoutMs.
    bool WaitForExit(DWORD timeoutMs);
    // The exit code of the ended process; STILL_ACTIVE while it runs.
    DWORD ExitCode() const;
    void Kill();

private:
    std::string program_;
    std::string environment_;
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
// Ends a started process that still runs, closes both handles and clears `pi`.
void EndProcess(PROCESS_INFORMATION& pi);

// The number of handles process `pid` holds now, -1 when the system cannot tell.
// GetProcessHandleCount is no use under Wine, which always answers 0; this counts
// the process's entries in the system's handle table.
int ProcessHandleCount(DWORD pid = GetCurrentProcessId());

// Pumps this thread's messages for the given time.
void Pump(DWORD milliseconds);
// A child window of `parent` with exactly this text; null when none.
HWND FindChildWithText(HWND parent, const char* text);
std::string WindowText(HWND hwnd);
std::string ReadFileText(const std::string& path);
// How many processes of this program file name (as "Tactra.exe") run.
int CountProcesses(const char* exeName);

}  // namespace testing
}  // namespace tactra
