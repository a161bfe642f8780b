// The main dialog "Qumix Touch Configure": hidden for the life of the process,
// reachable through the notification-area icon; home of the gesture engine, the
// profile section list and the panel start timer.
#pragma once

#include <windows.h>

#include <cstdint>

#include "app/dialog_win32.h"
#include "app/session_win32.h"
#include "gesture/engine.h"

namespace tactra {

class CAboutDlg : public Dialog {
public:
    CAboutDlg();
};

class CTACTRADlg : public Dialog {
public:
    explicit CTACTRADlg(Session& session);
    ~CTACTRADlg() override;

    // Handler of "WM_APPLY"; also run at start-up. Returns 1.
    int RefreshProfileSections();
    // Shows the dialog centred and topmost; flag 0 also shows it normally first.
    void ShowMainDialog(LPARAM flag);

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    void OnDestroy() override;

private:
    void AddTrayIcon();
    void RemoveTrayIcon();
    // The tray icon and tip of the touch switch's state.
    void UpdateTrayIcon();
    void ToggleTouch();
    void ShowMonitorText();
    void ShowTrayMenu();
    void Launch(const char* program);
    void Hide() { ShowWindow(Hwnd(), SW_HIDE); }

    Session& session_;
    HICON icon_;
    HICON touchOffIcon_;  // the tray icon while touch is off
    bool hotKeyRegistered_ = false;
    // The mouse mode (m_iMouseFlags): 96, 97 or 98, decided at start-up.
    int32_t mouseMode_ = kMouseModeEmulate;
    int32_t dialogWidth_ = 0;  // the dialog's size as its resource made it
    int32_t dialogHeight_ = 0;
    OSVERSIONINFOA osVersion_{};
    // The tablet service that Tactra started in mode 97 (m_siWisptis, m_piWisptis).
    STARTUPINFOA wisptisStartup_{};
    PROCESS_INFORMATION wisptisProcess_{};
    bool trayIconAdded_ = false;
    bool shown_ = false;  // the tray icon has asked for the dialog at least once
};

}  // namespace tactra
