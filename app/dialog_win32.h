// A small dialog layer over DialogBoxParamA and CreateDialogParamA. One static
// dialog procedure stores the object at WM_INITDIALOG and forwards every message
// to the object's virtual handlers; the pointer is cleared when the window goes.
#pragma once

#include <windows.h>

#include <string>

namespace tactra {

class Dialog {
public:
    explicit Dialog(int templateId) : templateId_(templateId) {}
    virtual ~Dialog() = default;
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Runs the dialog modally; the value passed to EndModal, or -1 when the
    // dialog could not be created.
    INT_PTR RunModal(HWND parent);
    // Creates the dialog as a modeless (child) window; null on failure.
    HWND CreateModeless(HWND parent);
    void EndModal(INT_PTR result);

    HWND Hwnd() const { return hwnd_; }
    HWND Item(int id) const { return GetDlgItem(hwnd_, id); }

protected:
    // WM_INITDIALOG; the result is the dialog procedure's result.
    virtual BOOL OnInitDialog() { return TRUE; }
    // WM_COMMAND. Returns true when handled. By default IDOK and IDCANCEL end a
    // modal dialog.
    virtual bool OnCommand(int id, int code, HWND control);
    // Every message before the default handling above. Return true and set result
    // to answer the message yourself.
    virtual bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
        (void)msg, (void)wParam, (void)lParam, (void)result;
        return false;
    }
    virtual void OnDestroy() {}

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT msg, WPARAM wParam, LPARAM lParam);

    int templateId_;
    HWND hwnd_ = nullptr;
    bool modal_ = false;
};

// Helpers over the controls of a dialog.
std::string GetItemText(HWND dialog, int id);
void SetItemText(HWND dialog, int id, const char* text);
bool IsChecked(HWND dialog, int id);
void SetChecked(HWND dialog, int id, bool on);

// The dialogs' minimised look: WM_PAINT of an iconic window draws `icon` centred,
// WM_QUERYDRAGICON answers it. True when the message was answered.
bool AnswerIconMessage(HWND dialog, UINT msg, HICON icon, INT_PTR& result);

}  // namespace tactra
