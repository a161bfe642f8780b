// Resource and control ids of Tactra's dialogs.
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_TACTRA_DIALOG 102
#define IDR_MAINFRAME 128
#define IDI_TOUCH_OFF 130    // the tray icon while touch is off
#define IDR_CLICK_SOUND 131  // "Sound on touch": played at each touch-down
#define IDD_APPSET 129
#define IDD_PAGE1 132
#define IDD_PAGE2 133
#define IDD_TOUCH_SETTINGS 134

// Main dialog
#define IDC_CALIBRATION 1000
#define IDC_TEXT_XY1 1001
#define IDC_TEXT_XY2 1002
#define IDC_TEXT_FILENAME 1003
#define IDC_TEXT_TITLE 1004
#define IDC_TEST 1005
#define IDC_SETUP 1006
#define IDC_ABOUT 1007
#define IDC_CALIBRATION_HINT 1047
#define IDC_TEXT_MONITOR 1049
#define IDC_DEVICE_LIST 1050
#define IDC_TOUCH_SETTINGS 1051

// Touch settings window
#define IDC_SETTINGS_DEVICES 1100
#define IDC_CLICK_MODE 1101
#define IDC_HOLD 1102
#define IDC_HOLD_TIME 1103
#define IDC_HOLD_RADIUS 1104
#define IDC_DOUBLE_TIME 1105
#define IDC_DOUBLE_AREA 1106
#define IDC_SMOOTHING 1107
#define IDC_SOUND 1108
#define IDC_GESTURES 1109
#define IDC_SWAP_XY 1110
#define IDC_INVERT_X 1111
#define IDC_INVERT_Y 1112
#define IDC_IDS_FROM_ONE 1113
#define IDC_LIFT_UNSEEN 1114
#define IDC_CONTACT_BIT 1115
#define IDC_SETTINGS_APPLY 1116

// Application Configure dialog
#define IDC_TAB 1008
#define IDC_APPLY 1009
#define IDC_APPSET_OK 1010

// Pages
#define IDC_SAVE 1009
#define IDC_RADIO_FILENAME 1010
#define IDC_EDIT_FILENAME 1011
#define IDC_RADIO_KEYWORDS 1012
#define IDC_EDIT_KEYWORDS 1013
#define IDC_GROUP_FIRST 1014  // eight groups of Shift, Ctrl, Alt, key: 1014 to 1045
#define IDC_PAGE1_DEFAULT 1046
#define IDC_PAGE1_CLEAN 1047
#define IDC_APPLIST 1046
#define IDC_PAGE2_DEFAULT 1047
#define IDC_DELETE 1048

// Notification area and menu
#define IDM_ABOUTBOX 0x0010
#define IDM_OPEN 1026
#define IDM_TOUCH_ENABLED 1027
#define IDM_TOUCH_SETTINGS 1028
