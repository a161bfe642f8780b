// The main dialog "Qumix Touch Configure": hidden for the life of the process,
// reachable through the notification-area icon; home of the gesture engine, the
// profile section list and the panel start timer.
#pragma once

#include <windows.h>

#include <cstdint>

#include "app/dialog_win32.h"
#include "app/session_win32.h"

namespace tactra {

class CAboutDlg : public Dialog {
public:
    CAboutDlg();
};

class CTACTRADlg : public Dialog {
public:
    explicit CTACTRADlg(Session& session);
    ~CTACTRADlg() override;

    int32_t m_iMouseFlags = 98;
    int32_t m_iDlgWidth = 0;
    int32_t m_iDlgHeight = 0;
    OSVERSIONINFOA m_osvi{};
    STARTUPINFOA m_siWisptis{};
    PROCESS_INFORMATION m_piWisptis{};

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
    void ShowTrayMenu();
    void Launch(const char* program);
    void Hide() { ShowWindow(Hwnd(), SW_HIDE); }

    Session& session_;
    HICON m_hIcon;
    bool trayIconAdded_ = false;
    bool shown_ = false;  // the tray icon has asked for the dialog at least once
};

}  // namespace tactra
