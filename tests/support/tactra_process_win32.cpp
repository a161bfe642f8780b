#include "tests/support/tactra_process_win32.h"

#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace tactra {
namespace testing {

namespace {

struct FindData {
    DWORD pid;  // the process, or 0 for any
    const char* title;
    HWND found;
    DWORD exceptPid;
};

BOOL CALLBACK FindTopLevel(HWND hwnd, LPARAM lParam) {
    FindData* data = reinterpret_cast<FindData*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if ((data->pid == 0 || pid == data->pid) && pid != data->exceptPid &&
        WindowText(hwnd) == data->title) {
        data->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

struct ChildData {
    const char* text;
    HWND found;
};

BOOL CALLBACK FindChild(HWND hwnd, LPARAM lParam) {
    ChildData* data = reinterpret_cast<ChildData*>(lParam);
    if (WindowText(hwnd) == data->text) {
        data->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

std::string WindowsPath(const char* unixPath) {
    std::string path = unixPath;
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

bool CopyInto(const char* path, const std::string& folder) {
    const std::string from = WindowsPath(path);
    const size_t slash = from.find_last_of('\\');
    const std::string to = folder + "\\" + from.substr(slash == std::string::npos ? 0 : slash + 1);
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != FALSE;
}

HWND WaitForAnyWindow(const char* title, DWORD timeoutMs, DWORD exceptProcess) {
    const DWORD start = GetTickCount();
    do {
        FindData data = {0, title, nullptr, exceptProcess};
        EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&data));
        if (data.found) return data.found;
        Pump(50);
    } while (GetTickCount() - start < timeoutMs);
    return nullptr;
}

void KillWindowProcess(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    HANDLE process = pid ? OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid) : nullptr;
    if (process) {
        TerminateProcess(process, 1);
        WaitForSingleObject(process, 5000);
        CloseHandle(process);
    }
}

TactraProcess::~TactraProcess() { Kill(); }

void TactraProcess::SetWineVersion(const char* version) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\Tactra.exe", 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
        RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                       static_cast<DWORD>(strlen(version) + 1));
        RegCloseKey(key);
    }
}

std::string TactraProcess::MakeEmptyFolder(const char* tag) {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    char folder[MAX_PATH];
    std::snprintf(folder, sizeof folder, "%stactra-%s-%lu-%lu", temp, tag, GetCurrentProcessId(),
                  GetTickCount());
    CreateDirectoryA(folder, nullptr);
    return folder;
}

std::string TactraProcess::BuiltProgram() { return WindowsPath(TACTRA_APP_PATH); }

bool TactraProcess::Start(const std::string& folder, const std::string& arguments,
                          DWORD windowTimeoutMs, const std::string& program) {
    const std::string exe =
        !program.empty() ? program : (program_.empty() ? BuiltProgram() : program_);
    std::string commandLine = "\"" + exe + "\"";
    if (!arguments.empty()) commandLine += " " + arguments;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    void* environment = environment_.empty() ? nullptr : &environment_[0];
    if (!CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, environment,
                        folder.c_str(), &si, &pi_))
        return false;
    main_ = WaitForWindow("Qumix Touch Configure", windowTimeoutMs);
    if (!main_) return false;
    // The window exists before its initialisation has run: wait until the program
    // waits for input, then until the dialog answers a message.
    WaitForInputIdle(pi_.hProcess, 10000);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(main_, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored);
    return true;
}

HWND TactraProcess::WaitForWindow(const char* title, DWORD timeoutMs) const {
    const DWORD start = GetTickCount();
    do {
        FindData data = {pi_.dwProcessId, title, nullptr, 0};
        EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&data));
        if (data.found) return data.found;
        Pump(50);
    } while (GetTickCount() - start < timeoutMs);
    return nullptr;
}

bool TactraProcess::WaitForExit(DWORD timeoutMs) {
    if (!pi_.hProcess) return true;
    return WaitForSingleObject(pi_.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

DWORD TactraProcess::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    if (pi_.hProcess) GetExitCodeProcess(pi_.hProcess, &code);
    return code;
}

void EndProcess(PROCESS_INFORMATION& pi) {
    if (pi.hProcess) {
        if (WaitForSingleObject(pi.hProcess, 0) != WAIT_OBJECT_0) {
            TerminateProcess(pi.hProcess, 1);
            WaitForSingleObject(pi.hProcess, 5000);
        }
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    pi = {};
}

void TactraProcess::Kill() {
    EndProcess(pi_);
    main_ = nullptr;
}

int ProcessHandleCount(DWORD pid) {
    // SystemExtendedHandleInformation (64): one entry per handle of every process.
    struct Entry {
        PVOID object;
        ULONG_PTR process;
        ULONG_PTR handle;
        ULONG access;
        USHORT backTrace;
        USHORT type;
        ULONG attributes;
        ULONG reserved;
    };
    struct Table {
        ULONG_PTR count;
        ULONG_PTR reserved;
        Entry entries[1];
    };
    using QueryFn = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    const QueryFn query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr) return -1;
    const LONG kLengthMismatch = static_cast<LONG>(0xC0000004L);
    std::vector<char> buffer(1 << 20);
    LONG status;
    while ((status = query(64, buffer.data(), static_cast<ULONG>(buffer.size()), nullptr)) ==
           kLengthMismatch) {
        buffer.resize(buffer.size() * 2);
    }
    if (status != 0) return -1;
    const Table* table = reinterpret_cast<const Table*>(buffer.data());
    int count = 0;
    for (ULONG_PTR i = 0; i < table->count; ++i)
        if (table->entries[i].process == pid) ++count;
    return count;
}

void Pump(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(10);
    } while (GetTickCount() - start < milliseconds);
}

HWND FindChildWithText(HWND parent, const char* text) {
    ChildData data = {text, nullptr};
    EnumChildWindows(parent, FindChild, reinterpret_cast<LPARAM>(&data));
    return data.found;
}

std::string WindowText(HWND hwnd) {
    char text[512] = {};
    // WM_GETTEXT works across processes for any window, unlike GetWindowText.
    SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 2000, nullptr);
    return text;
}

std::string ReadFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

int CountProcesses(const char* exeName) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    int count = 0;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (lstrcmpiA(entry.szExeFile, exeName) == 0) ++count;
    CloseHandle(snapshot);
    return count;
}

}  // namespace testing
}  // namespace tactra
