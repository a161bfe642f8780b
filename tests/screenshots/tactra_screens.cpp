// Brings up the windows of the shipped programs one after another for
// tests/scripts/screenshots.sh: Tactra.exe's main dialog, About box, both pages of the
// configuration dialog and the "Touch settings" window, a target and the check screen of
// Calibrate.exe, and Test.exe, the last two driven by traces that tpinput.dll replays. For each it
// writes OUT/NAME.ready with the window's screen rectangle and waits until the
// script has taken OUT/NAME.png.
//   tactra_screens OUT_DIR      (OUT_DIR as a Windows path)
#include <windows.h>
// after windows.h, which it needs
#include <commctrl.h>

#include <cstdio>
#include <string>

#include "tests/support/tactra_process_win32.h"

using namespace tactra::testing;

namespace {

constexpr UINT kTrayCallback = WM_USER + 1;
constexpr DWORD kSettleMs = 800;  // painting done before the picture is taken
constexpr DWORD kShotTimeoutMs = 20000;

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Shoot(const std::string& out, const char* name, HWND window) {
    if (!window) {
        std::fprintf(stderr, "tactra_screens: no window for %s\n", name);
        return false;
    }
    Pump(kSettleMs);
    RECT r;
    GetWindowRect(window, &r);
    const std::string png = out + "\\" + name + ".png";
    DeleteFileA(png.c_str());
    const std::string ready = out + "\\" + name + ".ready";
    if (FILE* f = std::fopen(ready.c_str(), "w")) {
        std::fprintf(f, "%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
        std::fclose(f);
    }
    const DWORD start = GetTickCount();
    while (!Exists(png) && GetTickCount() - start < kShotTimeoutMs) Pump(50);
    DeleteFileA(ready.c_str());
    if (!Exists(png)) std::fprintf(stderr, "tactra_screens: %s was not taken\n", name);
    return Exists(png);
}

void Click(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Starts `program` of `folder` with TPINPUT_REPLAY naming a trace of `text`.
bool StartWithTrace(const std::string& folder, const char* program, const char* text,
                    PROCESS_INFORMATION& pi) {
    const std::string trace = folder + "\\" + program + ".trace";
    if (FILE* f = std::fopen(trace.c_str(), "w")) {
        std::fputs(text, f);
        std::fclose(f);
    }
    SetEnvironmentVariableA("TPINPUT_REPLAY", trace.c_str());
    std::string exe = folder + "\\" + program;
    std::string commandLine = "\"" + exe + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    const BOOL started = CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0,
                                        nullptr, folder.c_str(), &si, &pi);
    SetEnvironmentVariableA("TPINPUT_REPLAY", nullptr);
    return started != FALSE;
}

void EndProcess(PROCESS_INFORMATION& pi, HWND window) {
    if (window) PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
    if (WaitForSingleObject(pi.hProcess, 5000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
}

// Calibrate.exe at its first target, then its check screen with touches near the
// targets; Test.exe with two fingers down.
bool ShootClients(const std::string& out) {
    const std::string folder = TactraProcess::MakeEmptyFolder("screens-clients");
    for (const char* path : {TACTRA_CALIBRATE_PATH, TACTRA_TOUCHTEST_PATH, TACTRA_TPINPUT_PATH}) {
        if (!CopyInto(path, folder)) {
            std::fprintf(stderr, "tactra_screens: cannot copy %s\n", path);
            return false;
        }
    }
    bool ok = true;
    PROCESS_INFORMATION pi = {};
    // The targets of a 1024 x 768 screen, touched a little off their centres; then
    // touches on targets 1, 4 and 5 and a short stroke on the check screen.
    const char* calibration =
        "panel 4095 4095\n"
        "at 4000 touch 530,530 -\nat 4080 touch - -\n"
        "at 4400 touch 3570,500 -\nat 4480 touch - -\n"
        "at 4800 touch 520,3570 -\nat 4880 touch - -\n"
        "at 5200 touch 3560,3590 -\nat 5280 touch - -\n"
        "at 5600 touch 2040,2060 -\nat 5680 touch - -\n"
        "at 6500 touch 520,520 -\nat 6580 touch - -\n"
        "at 6800 touch 3580,3580 -\nat 6880 touch - -\n"
        "at 7100 touch 2048,2048 -\nat 7150 touch 2148,2048 -\nat 7200 touch 2248,2048 -\n"
        "at 7250 touch 2348,2100 -\nat 7300 touch - -\n";
    if (!StartWithTrace(folder, "Calibrate.exe", calibration, pi)) return false;
    HWND target = WaitForAnyWindow("Calibration: target 1 of 5", 15000);
    ok &= Shoot(out, "calibrate-target", target);
    HWND check = WaitForAnyWindow("Calibration: check", 15000);
    Pump(2500);  // the touches on the check screen
    ok &= Shoot(out, "calibrate-check", check);
    EndProcess(pi, check ? check : target);

    const char* touches =
        "panel 1024 768\n"
        "at 500 touch 300,400 -\nat 600 touch 320,420 700,300\n"
        "at 60000 touch - -\n";
    if (!StartWithTrace(folder, "Test.exe", touches, pi)) return false;
    HWND test = WaitForAnyWindow("Touch Test", 15000);
    Pump(1500);
    ok &= Shoot(out, "test", test);
    EndProcess(pi, test);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tactra_screens OUT_DIR\n");
        return 2;
    }
    const std::string out = argv[1];
    TactraProcess::SetWineVersion("winxp64");
    TactraProcess app;
    // Two fingers near the screen's corners fill the Test group with wide values.
    const std::string folder = TactraProcess::MakeEmptyFolder("screens");
    if (FILE* f = std::fopen((folder + "\\screens.trace").c_str(), "w")) {
        std::fputs("panel 1024 768\nat 0 touch 1000,700 20,30\nat 400 touch 1010,710 25,35\n", f);
        std::fclose(f);
    }
    if (!app.Start(folder, "--replay screens.trace")) {
        std::fprintf(stderr, "tactra_screens: Tactra.exe did not start\n");
        return 1;
    }
    HWND main = app.MainDialog();
    bool ok = true;

    Pump(1500);  // the replayed touches have reached the dialog
    SendMessageA(main, kTrayCallback, 0, WM_LBUTTONDOWN);
    for (int i = 0; i < 100 && !IsWindowVisible(main); ++i) Pump(30);
    ok &= Shoot(out, "main-dialog", main);

    Click(main, 1007);
    HWND about = app.WaitForWindow("About Qumix Touch");
    ok &= Shoot(out, "about", about);
    if (about) PostMessageA(about, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    Pump(300);

    Click(main, 1006);
    HWND setup = app.WaitForWindow("Application Configure");
    ok &= Shoot(out, "setup-add", setup);
    if (setup) {
        HWND tab = GetDlgItem(setup, 1008);
        HWND page1 = FindWindowExA(tab, nullptr, "#32770", nullptr);
        HWND page2 = FindWindowExA(tab, page1, "#32770", nullptr);
        if (page1 && GetDlgItem(page2, 1011)) std::swap(page1, page2);
        // The tab sheet follows the focused tab when the tab control is clicked;
        // the click goes to its body, away from the tabs.
        SendMessageA(tab, TCM_SETCURFOCUS, 1, 0);
        RECT body;
        GetClientRect(tab, &body);
        const LPARAM at = MAKELPARAM(body.right - 5, body.bottom - 5);
        SendMessageA(tab, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageA(tab, WM_LBUTTONUP, 0, at);
        // Show the first application's actions.
        HWND list = GetDlgItem(page2, 1046);
        SendMessageA(list, CB_SETCURSEL, 0, 0);
        SendMessageA(page2, WM_COMMAND, MAKEWPARAM(1046, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(list));
        ok &= Shoot(out, "setup-modify", setup);
        PostMessageA(setup, WM_CLOSE, 0, 0);
    }
    Pump(300);

    Click(main, 1051);  // "Settings" of the touch devices
    HWND settings = app.WaitForWindow("Touch settings");
    ok &= Shoot(out, "touch-settings", settings);
    if (settings) PostMessageA(settings, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    Pump(300);
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
    app.WaitForExit(5000);
    ok &= ShootClients(out);
    return ok ? 0 : 1;
}
