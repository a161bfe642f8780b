#include "app/main_dialog_win32.h"

#include <shellapi.h>

#include <cstring>
#include <string>

#include "app/app_rules.h"
#include "app/app_set_dialog_win32.h"
#include "app/messages_win32.h"
#include "app/resource.h"
#include "app/touch_settings_dialog_win32.h"
#include "device/hid/reader_win32.h"
#include "platform/current_directory.h"
#include "platform/diagnostic_log.h"

namespace tactra {

CAboutDlg::CAboutDlg() : Dialog(IDD_ABOUTBOX) {}

CTACTRADlg::CTACTRADlg(Session& session)
    : Dialog(IDD_TACTRA_DIALOG),
      session_(session),
      icon_(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME))),
      touchOffIcon_(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_TOUCH_OFF))) {}

CTACTRADlg::~CTACTRADlg() = default;

int CTACTRADlg::RefreshProfileSections() { return session_.RefreshProfileSections(); }

namespace {

bool FileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A program Tactra starts: the one in the current directory as before, else the one
// beside Tactra.exe, where the installation puts it. It runs in the current
// directory either way, where "Calibrate.ini" is read and written.
std::string ProgramToLaunch(const char* name) {
    std::string here = PathInCurrentDirectory(name);
    if (FileExists(here)) return here;
    char module[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, module, sizeof module);
    if (length == 0 || length >= sizeof module) return name;
    std::string path(module, length);
    const size_t slash = path.find_last_of("\\/");
    if (slash == std::string::npos) return name;
    path = path.substr(0, slash + 1) + name;
    return FileExists(path) ? path : name;
}

}  // namespace

BOOL CTACTRADlg::OnInitDialog() {
    HWND hwnd = Hwnd();
    RECT rect;
    GetWindowRect(hwnd, &rect);
    dialogWidth_ = rect.right - rect.left;
    dialogHeight_ = rect.bottom - rect.top;

    // Out of sight and without a taskbar button until the tray icon shows it.
    MoveWindow(hwnd, -500, -500, 1, 1, TRUE);
    SetWindowLongA(hwnd, GWL_EXSTYLE, WS_EX_TOOLWINDOW | WS_EX_STATICEDGE);
    UpdateWindow(hwnd);

    HMENU systemMenu = GetSystemMenu(hwnd, FALSE);
    char aboutText[64] = {};
    if (systemMenu &&
        LoadStringA(GetModuleHandleA(nullptr), IDS_ABOUTBOX, aboutText, sizeof aboutText) > 0) {
        AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(systemMenu, MF_STRING, kAboutCommand, aboutText);
    }
    SendMessageA(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageA(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));

    // The switch as it was left, before the icon shows it.
    session_.LoadTouchSettings();
    AddTrayIcon();
    // Another program may own the key already: touch then stays switchable from
    // the tray menu only.
    hotKeyRegistered_ =
        RegisterHotKey(hwnd, kTouchHotKeyId, MOD_CONTROL | MOD_ALT, VK_F12) != FALSE;
    if (!hotKeyRegistered_) {
        ProcessLog().Write("the hot key Ctrl+Alt+F12 cannot be registered (error %lu)",
                           GetLastError());
    }

    // The service is started by the path that was checked: a bare name would make the
    // system search the program's own folder first, and run another file.
    const std::string service = PathInCurrentDirectory(kTabletServiceName);
    mouseMode_ = MouseModeForTabletService(FileExists(service));

    osVersion_ = {};
    osVersion_.dwOSVersionInfoSize = sizeof osVersion_;
    GetVersionExA(&osVersion_);

    session_.SetOsMajor(static_cast<int>(osVersion_.dwMajorVersion));
    RefreshProfileSections();
    session_.ResetEngine(mouseMode_);

    if (mouseMode_ == kMouseModeTabletService) {
        wisptisStartup_ = {};
        wisptisStartup_.cb = sizeof wisptisStartup_;
        wisptisProcess_ = {};
        char commandLine[] = "WISPTIS.EXE";
        if (CreateProcessA(service.c_str(), commandLine, nullptr, nullptr, FALSE, 0, nullptr,
                           nullptr, &wisptisStartup_, &wisptisProcess_)) {
            CloseHandle(wisptisProcess_.hThread);  // only the process is ended later
            wisptisProcess_.hThread = nullptr;
        } else {
            wisptisProcess_ = {};  // ignored: the mode stays 97
        }
    }

    const OsCheckResult os = CheckOperatingSystem(mouseMode_, osVersion_.dwMajorVersion,
                                                  GetSystemMetrics(SM_TABLETPC) != 0);
    mouseMode_ = os.mouseMode;
    session_.SetMouseMode(mouseMode_);
    if (!os.calibrationEnabled) {
        EnableWindow(Item(IDC_CALIBRATION), FALSE);
        SetItemText(hwnd, IDC_CALIBRATION_HINT, os.hint);
    }

    session_.ReadDisplay();
    ShowMonitorText();
    session_.StartSearching(hwnd);

    ShowWindow(hwnd, SW_HIDE);
    return TRUE;
}

namespace {

// The record that names Tactra's one notification-area icon.
NOTIFYICONDATAA TrayRecord(HWND window) {
    NOTIFYICONDATAA nid = {};
    nid.cbSize = sizeof nid;
    nid.hWnd = window;
    nid.uID = kTrayIconId;
    return nid;
}

}  // namespace

void CTACTRADlg::AddTrayIcon() {
    NOTIFYICONDATAA nid = TrayRecord(Hwnd());
    nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    nid.uCallbackMessage = kTrayCallbackMessage;
    const bool on = session_.TouchEnabled();
    nid.hIcon = on || touchOffIcon_ == nullptr ? icon_ : touchOffIcon_;
    std::strcpy(nid.szTip, on ? kTrayTip : kTrayTipTouchOff);
    trayIconAdded_ = Shell_NotifyIconA(NIM_ADD, &nid) != FALSE;
}

void CTACTRADlg::UpdateTrayIcon() {
    if (!trayIconAdded_) {
        AddTrayIcon();
        return;
    }
    NOTIFYICONDATAA nid = TrayRecord(Hwnd());
    nid.uFlags = NIF_ICON | NIF_TIP;
    const bool on = session_.TouchEnabled();
    nid.hIcon = on || touchOffIcon_ == nullptr ? icon_ : touchOffIcon_;
    std::strcpy(nid.szTip, on ? kTrayTip : kTrayTipTouchOff);
    Shell_NotifyIconA(NIM_MODIFY, &nid);
}

void CTACTRADlg::ToggleTouch() {
    const bool on = !session_.TouchEnabled();
    session_.SetTouchEnabled(on);
    ProcessLog().Write(on ? "touch on" : "touch off");
    UpdateTrayIcon();
}

void CTACTRADlg::ShowMonitorText() { session_.ShowMonitor(Hwnd()); }

void CTACTRADlg::RemoveTrayIcon() {
    NOTIFYICONDATAA nid = TrayRecord(Hwnd());
    Shell_NotifyIconA(NIM_DELETE, &nid);
    trayIconAdded_ = false;
}

void CTACTRADlg::ShowTrayMenu() {
    POINT cursor;
    GetCursorPos(&cursor);
    HMENU menu = CreatePopupMenu();
    if (!menu) return;
    AppendMenuA(menu, MF_STRING, kOpenCommand, "OPEN");
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING | (session_.TouchEnabled() ? MF_CHECKED : MF_UNCHECKED),
                kTouchEnabledCommand, kTouchEnabledItem);
    AppendMenuA(menu, MF_STRING, kTouchSettingsCommand, kTouchSettingsItem);
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, IDCANCEL, "EXIT");
    SetMenuDefaultItem(menu, 0, TRUE);
    // The menu only closes on a click elsewhere when its owner is in front.
    SetForegroundWindow(Hwnd());
    TrackPopupMenu(menu, 0, cursor.x, cursor.y, 0, Hwnd(), nullptr);
    PostMessageA(Hwnd(), WM_NULL, 0, 0);
    DestroyMenu(menu);
}

void CTACTRADlg::ShowMainDialog(LPARAM flag) {
    HWND hwnd = Hwnd();
    shown_ = true;
    if (flag == 0) {
        ShowWindow(hwnd, SW_SHOWNORMAL);
        SetForegroundWindow(hwnd);
        SetFocus(hwnd);
    }
    SetForegroundWindow(hwnd);
    SetFocus(hwnd);
    SetWindowLongA(hwnd, GWL_EXSTYLE, 0);
    SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    ShowMonitorText();
    int32_t width = 0, height = 0;
    session_.ScreenSize(width, height);
    const WindowOrigin origin = CentredOrigin(width, height, dialogWidth_, dialogHeight_);
    MoveWindow(hwnd, origin.x, origin.y, dialogWidth_, dialogHeight_, TRUE);
}

void CTACTRADlg::Launch(const char* program) {
    // Tactra ends to leave the panel to the program, which starts it again when it
    // ends. A program that cannot be started would leave the user with neither:
    // Tactra stays and says so.
    const std::string path = ProgramToLaunch(program);
    const HINSTANCE result =
        ShellExecuteA(Hwnd(), "open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    if (reinterpret_cast<INT_PTR>(result) <= 32) {
        MessageBoxA(Hwnd(), (std::string(program) + " could not be started.").c_str(),
                    kLaunchFailedTitle, MB_OK | MB_ICONERROR);
        return;
    }
    SendMessageA(Hwnd(), WM_CLOSE, 0, 0);
}

bool CTACTRADlg::OnCommand(int id, int code, HWND control) {
    switch (id) {
        case IDOK:
            Hide();
            return true;
        case IDCANCEL:
            EndModal(IDCANCEL);
            return true;
        case IDC_CALIBRATION:
            Launch(kCalibrateProgram);
            return true;
        case IDC_TEST:
            Launch(kTestProgram);
            return true;
        case IDC_SETUP: {
            CAppSetDlg setup(Hwnd());
            setup.RunModal(Hwnd());
            return true;
        }
        case IDC_TOUCH_SETTINGS:
        case kTouchSettingsCommand: {
            TouchSettingsDlg settings(session_);
            settings.RunModal(Hwnd());
            ShowMonitorText();
            return true;
        }
        case IDC_ABOUT: {
            CAboutDlg about;
            about.RunModal(Hwnd());
            return true;
        }
        case kOpenCommand:
            ShowMainDialog(0);
            return true;
        case kTouchEnabledCommand:
            ToggleTouch();
            return true;
        default:
            return Dialog::OnCommand(id, code, control);
    }
}

bool CTACTRADlg::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    if (msg == WM_WINDOWPOSCHANGING && !shown_) {
        // The modal loop shows a dialog once it is idle; this one stays hidden
        // until the tray icon asks for it.
        reinterpret_cast<WINDOWPOS*>(lParam)->flags &= ~static_cast<UINT>(SWP_SHOWWINDOW);
        return false;
    }
    const RegisteredMessages& messages = Messages();
    if (msg == messages.touch) {
        result = session_.OnTouch(Hwnd(), wParam, lParam);
        return true;
    }
    if (msg == PanelReader::ReadingEndedMessage()) {
        result = session_.OnReadingEnded(Hwnd(), lParam);
        return true;
    }
    if (msg == messages.apply) {
        result = RefreshProfileSections();
        return true;
    }
    switch (msg) {
        case WM_DEVICECHANGE:
            session_.OnDeviceChange(Hwnd());
            return false;
        case kShowMessage:
            ShowMainDialog(lParam);
            result = 1;
            return true;
        case kTrayCallbackMessage:
            switch (TrayCallbackAction(static_cast<uint32_t>(lParam))) {
                case TrayAction::kShow:
                    PostMessageA(Hwnd(), kShowMessage, 0, 0);
                    break;
                case TrayAction::kMenu:
                    ShowTrayMenu();
                    break;
                case TrayAction::kNone:
                    break;
            }
            result = 0;
            return true;
        case WM_TIMER:
            if (wParam == kStartTimerId) {
                session_.RestartReading(Hwnd());
                ShowMonitorText();
            }
            result = 0;
            return true;
        case WM_HOTKEY:
            if (wParam == kTouchHotKeyId) ToggleTouch();
            result = 0;
            return true;
        case WM_SYSCOMMAND: {
            const UINT command = static_cast<UINT>(wParam & 0xFFF0);
            if (command == SC_MINIMIZE || command == SC_CLOSE) {
                Hide();
                result = 0;
                return true;
            }
            if (command == kAboutCommand) {
                CAboutDlg about;
                about.RunModal(Hwnd());
                result = 0;
                return true;
            }
            return false;
        }
        case WM_PAINT:
        case WM_QUERYDRAGICON:
            return AnswerIconMessage(Hwnd(), msg, icon_, result);
        default:
            return false;
    }
}

void CTACTRADlg::OnDestroy() {
    session_.StopReading();
    if (hotKeyRegistered_) UnregisterHotKey(Hwnd(), kTouchHotKeyId);
    hotKeyRegistered_ = false;
    RemoveTrayIcon();
    if (mouseMode_ == kMouseModeTabletService && wisptisProcess_.hProcess) {
        DWORD exitCode = 0;
        GetExitCodeProcess(wisptisProcess_.hProcess, &exitCode);
        TerminateProcess(wisptisProcess_.hProcess, exitCode);
    }
    if (wisptisProcess_.hProcess) CloseHandle(wisptisProcess_.hProcess);
    wisptisProcess_ = {};
}

}  // namespace tactra
