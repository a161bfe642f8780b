#include "app/app_set_dialog_win32.h"

#include <commctrl.h>

#include <string>

#include "app/messages_win32.h"
#include "app/resource.h"
#include "platform/current_directory.h"
#include "profiles/key_table.h"
#include "profiles/profile_file.h"

namespace tactra {

namespace {

constexpr int kNameLimit = 259;  // section names are read back into 260-byte buffers

ControlGroupState ReadGroup(HWND page, int firstId) {
    ControlGroupState state;
    state.shift = IsChecked(page, firstId) ? 1 : 0;
    state.ctrl = IsChecked(page, firstId + 1) ? 1 : 0;
    state.alt = IsChecked(page, firstId + 2) ? 1 : 0;
    state.keyText = GetItemText(page, firstId + 3);
    return state;
}

void WriteGroup(HWND page, int firstId, const ControlGroupState& state) {
    SetChecked(page, firstId, state.shift != 0);
    SetChecked(page, firstId + 1, state.ctrl != 0);
    SetChecked(page, firstId + 2, state.alt != 0);
    SetItemText(page, firstId + 3, state.keyText.c_str());
}

}  // namespace

// ---- both pages ----

void GesturePage::FillKeyCombos() {
    const auto names = ComboKeyNames();
    for (const GestureControlGroup& group : kGestureControlGroups) {
        HWND combo = Item(group.firstId + 3);
        for (const std::string* name : names)
            SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name->c_str()));
    }
}

bool GesturePage::EncodeGroups(AppProfile& profile) {
    for (int i = 0; i < kGestureCount; ++i) {
        const GestureControlGroup& group = kGestureControlGroups[i];
        bool known = true;
        const GestureAction action = EncodeGestureAction(ReadGroup(Hwnd(), group.firstId), &known);
        if (!known) {
            const std::string message = std::string("Unknown key for \"") + kGestureGroupLabels[i] +
                                        "\". Please choose a key from the list.";
            MessageBoxA(Hwnd(), message.c_str(), "Tactra", MB_OK | MB_ICONWARNING);
            SetFocus(Item(group.firstId + 3));
            return false;
        }
        profile.actions[group.gesture] = action;
    }
    return true;
}

void GesturePage::ReportWriteFailure() {
    MessageBoxA(Hwnd(), kWriteFailedMessage, "Tactra", MB_OK | MB_ICONERROR);
}

void GesturePage::ShowGroups(const AppProfile& profile) {
    for (const GestureControlGroup& group : kGestureControlGroups) {
        ControlGroupState state = ReadGroup(Hwnd(), group.firstId);
        ShowGestureAction(state, profile.actions[group.gesture]);
        WriteGroup(Hwnd(), group.firstId, state);
    }
}

// ---- "ADD" ----

CPage1::CPage1() : GesturePage(IDD_PAGE1) {}

BOOL CPage1::OnInitDialog() {
    SendMessageA(Item(IDC_EDIT_FILENAME), EM_LIMITTEXT, kNameLimit, 0);
    SendMessageA(Item(IDC_EDIT_KEYWORDS), EM_LIMITTEXT, kNameLimit, 0);
    SetChecked(Hwnd(), IDC_RADIO_FILENAME, true);
    ChooseFileName(true);
    FillKeyCombos();
    ini_.SetPath(PathInCurrentDirectory(kProfileFileName));
    return TRUE;
}

void CPage1::ChooseFileName(bool fileName) {
    EnableWindow(Item(IDC_EDIT_FILENAME), fileName);
    EnableWindow(Item(IDC_EDIT_KEYWORDS), !fileName);
}

bool CPage1::OnCommand(int id, int code, HWND control) {
    if (code != BN_CLICKED) return false;
    switch (id) {
        case IDC_RADIO_FILENAME:
            ChooseFileName(true);
            return true;
        case IDC_RADIO_KEYWORDS:
            ChooseFileName(false);
            return true;
        case IDC_PAGE1_DEFAULT:
            ShowDefaultActions();
            return true;
        case IDC_SAVE:
            Save();
            return true;
        case IDC_PAGE1_CLEAN:
            Clean();
            return true;
        default:
            return GesturePage::OnCommand(id, code, control);
    }
}

void CPage1::Save() {
    AppNameInput input;
    input.fileNameChosen = !IsChecked(Hwnd(), IDC_RADIO_KEYWORDS);
    input.fileName = GetItemText(Hwnd(), IDC_EDIT_FILENAME);
    input.keyWords = GetItemText(Hwnd(), IDC_EDIT_KEYWORDS);
    const std::string section = SectionNameToSave(input);
    if (section.empty()) {
        MessageBoxA(Hwnd(), kNoNameMessage, "Tactra", MB_OK);
        return;
    }
    if (!IsStorableSectionName(section)) {
        MessageBoxA(Hwnd(), kBadNameMessage, "Tactra", MB_OK | MB_ICONWARNING);
        return;
    }
    AppProfile profile;
    if (!EncodeGroups(profile)) return;
    const bool written = WriteProfile(ini_, section.c_str(), profile);
    // The list on "MODIFY" shows what is in the file, also after a partial write.
    SendMessageA(GetParent(Hwnd()), Messages().reset0, 0, 0);
    if (!written) ReportWriteFailure();
}

void CPage1::Clean() {
    SetChecked(Hwnd(), IDC_RADIO_FILENAME, true);
    SetChecked(Hwnd(), IDC_RADIO_KEYWORDS, false);
    ChooseFileName(true);
    SetItemText(Hwnd(), IDC_EDIT_FILENAME, "");
    SetItemText(Hwnd(), IDC_EDIT_KEYWORDS, "");
    for (const GestureControlGroup& group : kGestureControlGroups)
        WriteGroup(Hwnd(), group.firstId, ControlGroupState());
}

// ---- "MODIFY" ----

CPage2::CPage2() : GesturePage(IDD_PAGE2) {}

BOOL CPage2::OnInitDialog() {
    FillKeyCombos();
    ini_.SetPath(PathInCurrentDirectory(kProfileFileName));
    LoadProfiles();
    FillList();
    return TRUE;
}

void CPage2::LoadProfiles() {
    std::vector<std::string> names;
    ini_.ReadSectionNames(names);
    if (names.size() > static_cast<size_t>(kMaxListedSections)) names.resize(kMaxListedSections);
    sections_ = names;
    std::string line;
    for (size_t i = 0; i < 4; ++i) {
        if (i) line += ",";
        if (i < sections_.size()) line += sections_[i];
    }
    OutputDebugStringA(line.c_str());
    loaded_.assign(sections_.size(), AppProfile());
    for (size_t i = 0; i < sections_.size(); ++i)
        ReadProfile(ini_, sections_[i].c_str(), loaded_[i]);
}

void CPage2::FillList() {
    HWND list = Item(IDC_APPLIST);
    SendMessageA(list, CB_RESETCONTENT, 0, 0);
    for (const std::string& name : sections_)
        SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    if (IsListSelection(selected_, static_cast<int>(sections_.size())))
        SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(selected_), 0);
}

void CPage2::ShowSelected() {
    const int index = static_cast<int>(SendMessageA(Item(IDC_APPLIST), CB_GETCURSEL, 0, 0));
    if (!IsListSelection(index, static_cast<int>(sections_.size()))) return;
    selected_ = index;
    ShowGroups(loaded_[static_cast<size_t>(index)]);
}

int CPage2::Target() const {
    return ListTarget(selected_, sections_, GetItemText(Hwnd(), IDC_APPLIST));
}

void CPage2::SaveSelected() {
    const int target = Target();
    if (target < 0) return;
    AppProfile profile;
    if (!EncodeGroups(profile)) return;
    const std::string& section = sections_[static_cast<size_t>(target)];
    if (!WriteProfile(ini_, section.c_str(), profile)) {
        // What did reach the file is what the list holds from now on.
        AppProfile& loaded = loaded_[static_cast<size_t>(target)];
        loaded = AppProfile();
        ReadProfile(ini_, section.c_str(), loaded);
        ReportWriteFailure();
        return;
    }
    loaded_[static_cast<size_t>(target)] = profile;
}

void CPage2::DeleteSelected() {
    const int target = Target();
    if (target < 0) return;
    const bool deleted = ini_.DeleteSection(sections_[static_cast<size_t>(target)].c_str()) != 0;
    // The remembered index would name another section now.
    selected_ = -1;
    LoadProfiles();
    FillList();
    if (!deleted) ReportWriteFailure();
}

void CPage2::Reload() {
    OutputDebugStringA("Page2 Reset");
    // Keep the selection on the same application, wherever it now stands.
    std::string selected;
    if (IsListSelection(selected_, static_cast<int>(sections_.size())))
        selected = sections_[static_cast<size_t>(selected_)];
    LoadProfiles();
    selected_ = -1;
    for (size_t i = 0; !selected.empty() && i < sections_.size(); ++i)
        if (sections_[i] == selected) selected_ = static_cast<int>(i);
    FillList();
}

bool CPage2::OnCommand(int id, int code, HWND control) {
    if (id == IDC_APPLIST) {
        if (code == CBN_SELCHANGE) ShowSelected();
        return code == CBN_SELCHANGE;
    }
    if (code != BN_CLICKED) return false;
    switch (id) {
        case IDC_PAGE2_DEFAULT:
            ShowDefaultActions();
            return true;
        case IDC_SAVE:
            SaveSelected();
            return true;
        case IDC_DELETE:
            DeleteSelected();
            return true;
        default:
            return GesturePage::OnCommand(id, code, control);
    }
}

bool CPage2::OnMessage(UINT msg, WPARAM, LPARAM, INT_PTR& result) {
    if (msg != Messages().reset) return false;
    Reload();
    result = 1;
    return true;
}

// ---- tab sheet ----

CTabSheet::~CTabSheet() {
    if (hwnd_ && original_ && IsWindow(hwnd_)) {
        SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
    }
}

void CTabSheet::Attach(HWND tab) {
    hwnd_ = tab;
    SetWindowLongPtrA(tab, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    original_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(tab, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CTabSheet::SubclassProc)));
}

void CTabSheet::AppendPage(const char* title, Dialog* page, UINT templateId) {
    pages_.AppendPage(title, page, templateId);
}

void CTabSheet::CreatePages() {
    for (int i = 0; i < pages_.Count(); ++i) {
        PageAt(i)->CreateModeless(hwnd_);
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<char*>(pages_.At(i).title);
        SendMessageA(hwnd_, TCM_INSERTITEMA, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(&item));
    }
    PlacePages();
}

void CTabSheet::PlacePages() {
    RECT client, item;
    GetClientRect(hwnd_, &client);
    if (!SendMessageA(hwnd_, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item))) item = {};
    for (int i = 0; i < pages_.Count(); ++i) {
        HWND page = PageAt(i)->Hwnd();
        if (!page) continue;
        SetWindowPos(page, HWND_TOP, item.left, item.bottom + 1, client.right - item.left - 2,
                     client.bottom - item.bottom - 3,
                     i == pages_.Current() ? SWP_SHOWWINDOW : SWP_HIDEWINDOW);
    }
}

LRESULT CALLBACK CTabSheet::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CTabSheet* self = reinterpret_cast<CTabSheet*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcA(hwnd, msg, wParam, lParam);
    if (msg == Messages().reset0) {
        OutputDebugStringA("Parent Recieve Message!");
        if (self->pages_.Count() > 1 && self->PageAt(1)->Hwnd())
            SendMessageA(self->PageAt(1)->Hwnd(), Messages().reset, 0, 0);
        return 1;
    }
    const LRESULT result = CallWindowProcA(self->original_, hwnd, msg, wParam, lParam);
    if (msg == WM_LBUTTONDOWN) {
        const int focused = static_cast<int>(SendMessageA(hwnd, TCM_GETCURFOCUS, 0, 0));
        int previous = 0;
        if (self->pages_.FocusChanged(focused, previous)) {
            ShowWindow(self->PageAt(previous)->Hwnd(), SW_HIDE);
            ShowWindow(self->PageAt(focused)->Hwnd(), SW_SHOW);
        }
    }
    return result;
}

// ---- the dialog ----

CAppSetDlg::CAppSetDlg(HWND mainDialog)
    : Dialog(IDD_APPSET),
      icon_(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME))),
      mainDialog_(mainDialog) {}

BOOL CAppSetDlg::OnInitDialog() {
    SendMessageA(Hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageA(Hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    tab_.Attach(Item(IDC_TAB));
    tab_.AppendPage("ADD", &page1_, IDD_PAGE1);
    tab_.AppendPage("MODIFY", &page2_, IDD_PAGE2);
    tab_.CreatePages();
    return TRUE;
}

void CAppSetDlg::NotifyMainDialog() {
    HWND main = mainDialog_ != nullptr ? mainDialog_ : FindWindowA(nullptr, kMainDialogTitle);
    if (main) SendMessageA(main, Messages().apply, 0, 0);
}

bool CAppSetDlg::OnCommand(int id, int code, HWND control) {
    if (code == BN_CLICKED && id == IDC_APPLY) {
        NotifyMainDialog();
        return true;
    }
    if (code == BN_CLICKED && id == IDC_APPSET_OK) {
        NotifyMainDialog();
        SendMessageA(Hwnd(), WM_CLOSE, 0, 0);
        return true;
    }
    return Dialog::OnCommand(id, code, control);
}

bool CAppSetDlg::OnMessage(UINT msg, WPARAM, LPARAM, INT_PTR& result) {
    return AnswerIconMessage(Hwnd(), msg, icon_, result);
}

}  // namespace tactra
