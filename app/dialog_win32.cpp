#include "app/dialog_win32.h"

namespace tactra {

INT_PTR Dialog::RunModal(HWND parent) {
    modal_ = true;
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId_), parent,
                           &Dialog::DialogProc, reinterpret_cast<LPARAM>(this));
}

HWND Dialog::CreateModeless(HWND parent) {
    modal_ = false;
    return CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId_), parent,
                              &Dialog::DialogProc, reinterpret_cast<LPARAM>(this));
}

void Dialog::EndModal(INT_PTR result) {
    if (modal_ && hwnd_) EndDialog(hwnd_, result);
}

bool Dialog::OnCommand(int id, int code, HWND control) {
    (void)control;
    if (code == BN_CLICKED && (id == IDOK || id == IDCANCEL) && modal_) {
        EndModal(id);
        return true;
    }
    return false;
}

INT_PTR CALLBACK Dialog::DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Dialog* self = nullptr;
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        self->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<Dialog*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    }
    if (!self) return FALSE;
    const INT_PTR result = self->Dispatch(msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        // No message may reach the object once its window is gone.
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
    }
    return result;
}

INT_PTR Dialog::Dispatch(UINT msg, WPARAM wParam, LPARAM lParam) {
    INT_PTR result = 0;
    if (OnMessage(msg, wParam, lParam, result)) {
        // Dialog procedures return message results through DWLP_MSGRESULT, except
        // for the few messages whose result is the procedure's own.
        if (msg != WM_INITDIALOG && msg != WM_CTLCOLORDLG && msg != WM_QUERYDRAGICON &&
            msg != WM_CTLCOLORSTATIC && msg != WM_CTLCOLOREDIT && msg != WM_CTLCOLORBTN)
            SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, result);
        return msg == WM_INITDIALOG || msg == WM_QUERYDRAGICON ? result : TRUE;
    }
    switch (msg) {
        case WM_INITDIALOG:
            return OnInitDialog();
        case WM_COMMAND:
            return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam))
                       ? TRUE
                       : FALSE;
        case WM_DESTROY:
            OnDestroy();
            return FALSE;
        default:
            return FALSE;
    }
}

std::string GetItemText(HWND dialog, int id) {
    HWND item = GetDlgItem(dialog, id);
    if (!item) return std::string();
    const int length = GetWindowTextLengthA(item);
    std::string text(static_cast<size_t>(length > 0 ? length : 0) + 1, '\0');
    const int got = GetWindowTextA(item, &text[0], static_cast<int>(text.size()));
    text.resize(static_cast<size_t>(got > 0 ? got : 0));
    return text;
}

void SetItemText(HWND dialog, int id, const char* text) { SetDlgItemTextA(dialog, id, text); }

bool IsChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) != BST_UNCHECKED; }

void SetChecked(HWND dialog, int id, bool on) {
    CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED);
}

bool AnswerIconMessage(HWND dialog, UINT msg, HICON icon, INT_PTR& result) {
    if (msg == WM_QUERYDRAGICON) {
        result = reinterpret_cast<INT_PTR>(icon);
        return true;
    }
    if (msg != WM_PAINT || !IsIconic(dialog)) return false;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(dialog, &ps);
    RECT client;
    GetClientRect(dialog, &client);
    DrawIcon(dc, (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2,
             (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2, icon);
    EndPaint(dialog, &ps);
    result = 0;
    return true;
}

}  // namespace tactra
