// The "Application Configure" dialog: a tab sheet with the pages "ADD" (a new
// application's profile) and "MODIFY" (the configured applications).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "app/app_rules.h"
#include "app/dialog_win32.h"
#include "gesture/gesture_action.h"
#include "profiles/ini.h"

namespace tactra {

// Both pages: the eight gesture control groups over the key table.
class GesturePage : public Dialog {
public:
    using Dialog::Dialog;

protected:
    void FillKeyCombos();
    // False, after telling the user, when a group's key text names no key.
    bool EncodeGroups(AppProfile& profile);
    void ShowGroups(const AppProfile& profile);
    void ShowDefaultActions() { ShowGroups(PageDefaultActions()); }
    // A "SAVE" or "DELETE" that did not reach "Tactra.ini".
    void ReportWriteFailure();

    CIni ini_;
};

class CPage1 : public GesturePage {
public:
    CPage1();

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;

private:
    void ChooseFileName(bool fileName);
    void Save();
    void Clean();
};

class CPage2 : public GesturePage {
public:
    CPage2();

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    // The index of the section that "SAVE" and "DELETE" act on, or -1.
    int Target() const;
    void LoadProfiles();
    void FillList();
    void ShowSelected();
    void SaveSelected();
    void DeleteSelected();
    void Reload();

    std::vector<std::string> sections_;  // at most kMaxListedSections, file order
    std::vector<AppProfile> loaded_;
    int selected_ = -1;  // the list's selection (m_iSelected), -1 for none
};

// The tab control of the dialog, subclassed: pages change on mouse clicks, and
// "WM_RESET0" from the first page is passed on as "WM_RESET" to the second.
class CTabSheet {
public:
    ~CTabSheet();
    void Attach(HWND tab);
    void AppendPage(const char* title, Dialog* page, UINT templateId);
    void CreatePages();
    void PlacePages();
    HWND Hwnd() const { return hwnd_; }

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    Dialog* PageAt(int index) const { return static_cast<Dialog*>(pages_.At(index).page); }

    TabPages pages_;
    HWND hwnd_ = nullptr;
    WNDPROC original_ = nullptr;
};

class CAppSetDlg : public Dialog {
public:
    // `mainDialog` receives "WM_APPLY"; without it the main dialog is found by its
    // caption, as an older caller expects.
    explicit CAppSetDlg(HWND mainDialog = nullptr);

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    void NotifyMainDialog();

    CPage2 page2_;
    CPage1 page1_;
    CTabSheet tab_;
    HICON icon_;
    HWND mainDialog_;
};

}  // namespace tactra
