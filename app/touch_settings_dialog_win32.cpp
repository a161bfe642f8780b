#include "app/touch_settings_dialog_win32.h"

#include <string>

#include "app/app_rules.h"
#include "app/resource.h"

namespace tactra {

namespace {

void FillCombo(HWND dialog, int id, std::initializer_list<const char*> items) {
    HWND combo = GetDlgItem(dialog, id);
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    for (const char* item : items)
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
}

int ComboIndex(HWND dialog, int id) {
    const LRESULT index = SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0);
    return index == CB_ERR ? 0 : static_cast<int>(index);
}

void SetCombo(HWND dialog, int id, int index) {
    SendDlgItemMessageA(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

// A fix's three states: checked, clear, or grey (as the quirk table says).
int FixState(HWND dialog, int id) {
    const UINT state = IsDlgButtonChecked(dialog, id);
    return state == BST_INDETERMINATE ? kFixAsTable : state == BST_CHECKED ? 1 : 0;
}

void SetFix(HWND dialog, int id, int state) {
    CheckDlgButton(dialog, id,
                   state == kFixAsTable ? BST_INDETERMINATE
                   : state == 1         ? BST_CHECKED
                                        : BST_UNCHECKED);
}

}  // namespace

TouchSettingsDlg::TouchSettingsDlg(Session& session)
    : Dialog(IDD_TOUCH_SETTINGS), session_(session) {}

BOOL TouchSettingsDlg::OnInitDialog() {
    HWND hwnd = Hwnd();
    FillCombo(hwnd, IDC_CLICK_MODE,
              {ClickModeText(ClickMode::kOnLift), ClickModeText(ClickMode::kOnTouch),
               ClickModeText(ClickMode::kPointerOnly)});
    FillCombo(hwnd, IDC_SMOOTHING,
              {SmoothingText(Smoothing::kOff), SmoothingText(Smoothing::kLight),
               SmoothingText(Smoothing::kStrong)});
    FillCombo(hwnd, IDC_CONTACT_BIT,
              {"as Tactra knows it", "Tip Switch", "In Range", "Confidence"});
    targets_ = session_.SettingsTargets();
    HWND list = Item(IDC_SETTINGS_DEVICES);
    for (const SettingsTarget& target : targets_)
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(target.line.c_str()));
    SendMessageA(list, LB_SETCURSEL, 0, 0);
    ShowDevice(0);
    return TRUE;
}

void TouchSettingsDlg::ShowDevice(int index) {
    if (index < 0 || static_cast<size_t>(index) >= targets_.size()) return;
    shown_ = index;
    const TouchSettingsForm f = FormFromSettings(session_.TargetSettings(targets_[index]));
    HWND hwnd = Hwnd();
    SetCombo(hwnd, IDC_CLICK_MODE, f.clickMode);
    SetChecked(hwnd, IDC_HOLD, f.holdRightClick);
    SetItemText(hwnd, IDC_HOLD_TIME, f.holdTime.c_str());
    SetItemText(hwnd, IDC_HOLD_RADIUS, f.holdRadius.c_str());
    SetItemText(hwnd, IDC_DOUBLE_TIME, f.doubleTapTime.c_str());
    SetItemText(hwnd, IDC_DOUBLE_AREA, f.doubleTapArea.c_str());
    SetCombo(hwnd, IDC_SMOOTHING, f.smoothing);
    SetChecked(hwnd, IDC_SOUND, f.touchSound);
    SetChecked(hwnd, IDC_GESTURES, f.gestures);
    SetFix(hwnd, IDC_SWAP_XY, f.swapXY);
    SetFix(hwnd, IDC_INVERT_X, f.invertX);
    SetFix(hwnd, IDC_INVERT_Y, f.invertY);
    SetFix(hwnd, IDC_IDS_FROM_ONE, f.idsFromOne);
    SetFix(hwnd, IDC_LIFT_UNSEEN, f.liftUnseen);
    SetCombo(hwnd, IDC_CONTACT_BIT, f.contactBit);
}

bool TouchSettingsDlg::Apply() {
    if (shown_ < 0) return true;
    HWND hwnd = Hwnd();
    TouchSettingsForm f;
    f.clickMode = ComboIndex(hwnd, IDC_CLICK_MODE);
    f.holdRightClick = IsChecked(hwnd, IDC_HOLD);
    f.holdTime = GetItemText(hwnd, IDC_HOLD_TIME);
    f.holdRadius = GetItemText(hwnd, IDC_HOLD_RADIUS);
    f.doubleTapTime = GetItemText(hwnd, IDC_DOUBLE_TIME);
    f.doubleTapArea = GetItemText(hwnd, IDC_DOUBLE_AREA);
    f.smoothing = ComboIndex(hwnd, IDC_SMOOTHING);
    f.touchSound = IsChecked(hwnd, IDC_SOUND);
    f.gestures = IsChecked(hwnd, IDC_GESTURES);
    f.swapXY = FixState(hwnd, IDC_SWAP_XY);
    f.invertX = FixState(hwnd, IDC_INVERT_X);
    f.invertY = FixState(hwnd, IDC_INVERT_Y);
    f.idsFromOne = FixState(hwnd, IDC_IDS_FROM_ONE);
    f.liftUnseen = FixState(hwnd, IDC_LIFT_UNSEEN);
    f.contactBit = ComboIndex(hwnd, IDC_CONTACT_BIT);
    TouchSettings settings;
    std::string error;
    if (!SettingsFromForm(f, settings, error)) {
        MessageBoxA(hwnd, error.c_str(), kTouchSettingsItem, MB_OK | MB_ICONWARNING);
        return false;
    }
    session_.ApplyTouchSettings(targets_[static_cast<size_t>(shown_)], settings);
    return true;
}

bool TouchSettingsDlg::OnCommand(int id, int code, HWND control) {
    switch (id) {
        case IDC_SETTINGS_DEVICES:
            if (code == LBN_SELCHANGE) {
                ShowDevice(static_cast<int>(SendMessageA(control, LB_GETCURSEL, 0, 0)));
            }
            return true;
        case IDC_SETTINGS_APPLY:
            Apply();
            return true;
        case IDOK:
            if (Apply()) EndModal(IDOK);
            return true;
        default:
            return Dialog::OnCommand(id, code, control);
    }
}

}  // namespace tactra
