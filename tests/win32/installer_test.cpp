// The installer and the uninstaller, run as an administrator or a user would: a
// fresh install, an upgrade over a running Tactra with the user's settings, a silent
// uninstall that keeps them and one with "Also remove my profiles and calibration"
// ticked. Each case starts and ends with no Tactra installed.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/win32/win32_tactra_instance.h"
#include "tests/support/tactra_process_win32.h"

namespace tactra {
namespace testing {
namespace {

constexpr char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tactra";
constexpr char kMainDialogTitle[] = "Qumix Touch Configure";

std::string ShellFolder(int csidl) {
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

std::string InstallFolder() { return ShellFolder(CSIDL_LOCAL_APPDATA) + "\\Tactra"; }
std::string StartupLink() { return ShellFolder(CSIDL_STARTUP) + "\\Tactra.lnk"; }
std::string MenuFolder() { return ShellFolder(CSIDL_PROGRAMS) + "\\Tactra"; }

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool SamePath(const std::string& a, const std::string& b) {
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

// The names in a folder, without "." and "..".
std::vector<std::string> FolderContents(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return names;
}

// The staged files that ship, by name.
std::vector<std::string> PayloadNames() { return FolderContents(WindowsPath(TACTRA_PAYLOAD_DIR)); }

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Runs a program and waits for its end; its exit code, or -1.
long RunProgram(const std::string& commandLine, DWORD timeoutMs = 120000) {
    std::string line = commandLine;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return -1;
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(pi.hProcess, &code);
    else
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return static_cast<long>(code);
}

long RunSetup(const char* options = "/S") {
    return RunProgram("\"" + WindowsPath(TACTRA_INSTALLER_PATH) + "\" " + options);
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= timeoutMs) return false;
        Pump(100);
    }
    return true;
}

struct Shortcut {
    bool read = false;
    std::string target;
    std::string folder;
};

Shortcut ReadShortcut(const std::string& path) {
    Shortcut shortcut;
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link))))
        return shortcut;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        wchar_t wide[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
        if (SUCCEEDED(file->Load(wide, STGM_READ))) {
            char text[MAX_PATH] = {};
            link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
            shortcut.target = text;
            text[0] = '\0';
            link->GetWorkingDirectory(text, MAX_PATH);
            shortcut.folder = text;
            shortcut.read = true;
        }
        file->Release();
    }
    link->Release();
    return shortcut;
}

// A value of the uninstall entry as text (a number in decimal); "(none)" without the
// entry.
std::string EntryValue(const char* name) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kUninstallKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "(none)";
    char data[1024] = {};
    DWORD size = sizeof data - 1, type = 0;
    std::string value;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) ==
        ERROR_SUCCESS)
        value = type == REG_DWORD ? std::to_string(*reinterpret_cast<DWORD*>(data)) : data;
    RegCloseKey(key);
    return value;
}

// The "FileVersion" text of a program's version resource.
std::string FileVersionText(const std::string& path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) return std::string();
    std::vector<char> data(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, data.data())) return std::string();
    char* text = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(data.data(), "\\StringFileInfo\\040904b0\\FileVersion",
                        reinterpret_cast<void**>(&text), &length))
        return std::string();
    return std::string(text);
}

// The running Tactra's main dialog and its process id; null when none.
HWND RunningTactra(DWORD* processId = nullptr) {
    HWND dialog = FindWindowA("#32770", kMainDialogTitle);
    if (dialog && processId) GetWindowThreadProcessId(dialog, processId);
    return dialog;
}

// Ends whatever Tactra runs (as its "EXIT" would) and waits for its end.
void EndRunningTactra() {
    for (int i = 0; i < 10; ++i) {
        DWORD pid = 0;
        HWND dialog = RunningTactra(&pid);
        if (!dialog) break;
        HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
        PostMessageA(dialog, WM_CLOSE, 0, 0);
        if (process) {
            if (WaitForSingleObject(process, 5000) != WAIT_OBJECT_0) TerminateProcess(process, 1);
            WaitForSingleObject(process, 5000);
            CloseHandle(process);
        }
    }
}

class Installer : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        RemoveEverything();
        ASSERT_FALSE(IsTactraRunning()) << "a Tactra runs before the test";
        ASSERT_FALSE(Exists(InstallFolder())) << "an earlier install is left: " << InstallFolder();
        ASSERT_FALSE(PayloadNames().empty()) << "no payload in " << TACTRA_PAYLOAD_DIR;
    }
    void TearDown() override {
        RemoveEverything();
        CoUninitialize();
    }

    // Whatever an install or a failed case left: no program, shortcut, entry or
    // settings stay in the test prefix (a Startup shortcut would start Tactra
    // with Wine).
    static void RemoveEverything() {
        EndRunningTactra();
        const std::string folder = InstallFolder();
        for (const std::string& name : FolderContents(folder))
            DeleteFileA((folder + "\\" + name).c_str());
        RemoveDirectoryA(folder.c_str());
        for (const std::string& name : FolderContents(MenuFolder()))
            DeleteFileA((MenuFolder() + "\\" + name).c_str());
        RemoveDirectoryA(MenuFolder().c_str());
        DeleteFileA(StartupLink().c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, kUninstallKey);
    }

    // The user's settings as an earlier version left them.
    void WriteSettings() {
        profiles_ =
            "[General]\r\nAppName=notepad.exe;\r\n\r\n[notepad.exe]\r\nZoomIn.Case=2\r\n"
            "ZoomIn.Code=187\r\nZoomIn.Up=0\r\n";
        calibration_ = "[Calibrate]\r\nMinX=1200\r\nMaxX=64000\r\nMinY=900\r\nMaxY=63500\r\n";
        WriteFileBytes(InstallFolder() + "\\Tactra.ini", profiles_);
        WriteFileBytes(InstallFolder() + "\\Calibrate.ini", calibration_);
    }
    void ExpectSettingsKept() {
        EXPECT_EQ(ReadFileText(InstallFolder() + "\\Tactra.ini"), profiles_);
        EXPECT_EQ(ReadFileText(InstallFolder() + "\\Calibrate.ini"), calibration_);
    }

    // Starts the installed Tactra in its folder, as the shortcuts do.
    void StartInstalled(TactraProcess& app) {
        TactraProcess::SetWineVersion("winxp64");
        app.SetProgram(InstallFolder() + "\\Tactra.exe");
        ASSERT_TRUE(app.Start(InstallFolder()));
    }

    static bool ProgramGone() {
        const std::string folder = InstallFolder();
        for (const std::string& name : PayloadNames())
            if (Exists(folder + "\\" + name)) return false;
        return !Exists(folder + "\\Uninstall.exe") && !Exists(MenuFolder()) &&
               !Exists(StartupLink()) && EntryValue("DisplayName") == "(none)";
    }

    std::string profiles_;
    std::string calibration_;
};

TEST_F(Installer, FreshInstallPutsEverythingInPlaceAndTactraStartsFromTheStartupShortcut) {
    ASSERT_EQ(RunSetup(), 0);
    const std::string folder = InstallFolder();

    for (const std::string& name : PayloadNames())
        EXPECT_EQ(ReadFileText(folder + "\\" + name),
                  ReadFileText(WindowsPath(TACTRA_PAYLOAD_DIR) + "\\" + name))
            << name << " is not the file that ships";
    EXPECT_TRUE(Exists(folder + "\\Uninstall.exe"));
    EXPECT_EQ(FileVersionText(folder + "\\Tactra.exe"), TACTRA_VERSION);
    EXPECT_FALSE(IsTactraRunning()) << "a silent fresh install starts nothing";

    // The Startup shortcut and the Start menu's: their programs, in the install folder.
    struct Link {
        std::string path;
        std::string program;
    };
    std::vector<Link> links = {{StartupLink(), "Tactra.exe"},
                               {MenuFolder() + "\\Tactra.lnk", "Tactra.exe"},
                               {MenuFolder() + "\\Uninstall.lnk", "Uninstall.exe"}};
    for (const char* tool : {"Calibrate", "Test"})
        if (Exists(WindowsPath(TACTRA_PAYLOAD_DIR) + "\\" + tool + ".exe"))
            links.push_back({MenuFolder() + "\\" + tool + ".lnk", std::string(tool) + ".exe"});
    for (const Link& link : links) {
        const Shortcut shortcut = ReadShortcut(link.path);
        ASSERT_TRUE(shortcut.read) << link.path;
        EXPECT_TRUE(SamePath(shortcut.target, folder + "\\" + link.program))
            << link.path << " starts " << shortcut.target;
        EXPECT_TRUE(SamePath(shortcut.folder, folder))
            << link.path << " starts in " << shortcut.folder;
    }

    // The entry in the list of installed programs.
    EXPECT_EQ(EntryValue("DisplayName"), "Tactra");
    EXPECT_EQ(EntryValue("DisplayVersion"), TACTRA_VERSION);
    EXPECT_TRUE(SamePath(EntryValue("UninstallString"), "\"" + folder + "\\Uninstall.exe\""));
    EXPECT_TRUE(SamePath(EntryValue("InstallLocation"), folder));
    EXPECT_GT(std::atoi(EntryValue("EstimatedSize").c_str()), 50) << "KB";

    // Started from the Startup shortcut, as at log-on: it writes its default
    // profiles into the install folder.
    TactraProcess::SetWineVersion("winxp64");
    SHELLEXECUTEINFOA execute = {};
    execute.cbSize = sizeof execute;
    execute.fMask = SEE_MASK_NOCLOSEPROCESS;
    execute.lpVerb = "open";
    const std::string startup = StartupLink();
    execute.lpFile = startup.c_str();
    execute.nShow = SW_SHOWNORMAL;
    ASSERT_TRUE(ShellExecuteExA(&execute));
    if (execute.hProcess) CloseHandle(execute.hProcess);
    EXPECT_TRUE(WaitUntil([] { return RunningTactra() != nullptr; }, 15000));
    EXPECT_TRUE(WaitUntil(
        [&] {
            return ReadFileText(folder + "\\Tactra.ini").find("ZoomIn.Case=") != std::string::npos;
        },
        10000))
        << "no default Tactra.ini in the install folder";
}

// The upgrade ends the running Tactra as its "EXIT" does, keeps the settings byte
// for byte, starts Tactra again, and keeps an autostart that the user turned off.
TEST_F(Installer, UpgradeEndsAndRestartsTactraAndKeepsTheSettingsAndTheAutostartChoice) {
    ASSERT_EQ(RunSetup("/S /NOAUTOSTART"), 0);
    EXPECT_FALSE(Exists(StartupLink()));
    EXPECT_TRUE(Exists(MenuFolder() + "\\Tactra.lnk"));
    WriteSettings();
    TactraProcess app;
    StartInstalled(app);
    const DWORD oldProcess = app.ProcessId();

    ASSERT_EQ(RunSetup(), 0);
    ASSERT_TRUE(app.WaitForExit(0)) << "the running Tactra was not ended";
    EXPECT_EQ(app.ExitCode(), 0u) << "ended by force, not by its own end";
    DWORD newProcess = 0;
    EXPECT_TRUE(WaitUntil([&] { return RunningTactra(&newProcess) != nullptr; }, 15000))
        << "Tactra was not started again";
    EXPECT_NE(newProcess, oldProcess);
    EXPECT_TRUE(IsTactraRunning());
    ExpectSettingsKept();
    EXPECT_FALSE(Exists(StartupLink())) << "the upgrade turned the autostart on again";
}

TEST_F(Installer, SilentUninstallEndsTactraRemovesTheProgramAndKeepsTheSettings) {
    ASSERT_EQ(RunSetup(), 0);
    WriteSettings();
    TactraProcess app;
    StartInstalled(app);

    // The uninstaller runs on from a copy of itself: wait for what it does.
    ASSERT_EQ(RunProgram("\"" + InstallFolder() + "\\Uninstall.exe\" /S"), 0);
    EXPECT_TRUE(WaitUntil(ProgramGone, 60000)) << "the program is still installed";
    EXPECT_TRUE(app.WaitForExit(10000)) << "the running Tactra was not ended";
    EXPECT_EQ(app.ExitCode(), 0u);
    ExpectSettingsKept();
    std::vector<std::string> left = FolderContents(InstallFolder());
    EXPECT_EQ(left.size(), 2u) << "the install folder keeps the settings only";
}

TEST_F(Installer, UninstallWithTheBoxTickedRemovesTheSettingsToo) {
    ASSERT_EQ(RunSetup(), 0);
    WriteSettings();
    ASSERT_EQ(RunProgram("\"" + InstallFolder() + "\\Uninstall.exe\""), 0);

    // The uninstaller's window, in the copy of itself that it runs.
    HWND window = nullptr;
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] {
            window = FindWindowA("#32770", ("Tactra " TACTRA_VERSION " Uninstall"));
            box = window ? FindChildWithText(window, "Also remove my profiles and calibration")
                         : nullptr;
            return box != nullptr;
        },
        30000))
        << "no uninstaller window with the box";
    EXPECT_EQ(SendMessageA(box, BM_GETCHECK, 0, 0), BST_UNCHECKED)
        << "the settings stay by default";
    SendMessageA(box, BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageA(box, BM_GETCHECK, 0, 0), BST_CHECKED);
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, IDOK)));

    EXPECT_TRUE(WaitUntil([] { return ProgramGone() && !Exists(InstallFolder()); }, 60000))
        << "the install folder or the program is still there";
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(window); }, 10000))
        << "the uninstaller stays open";
}

}  // namespace
}  // namespace testing
}  // namespace tactra
