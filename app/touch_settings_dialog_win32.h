// "Touch settings": the settings of each touch device (click mode, holding, double
// tap, smoothing, sound, gestures, device fixes), edited for the device chosen in its
// list. "Apply" and "OK" write the device's keys into its section of "Calibrate.ini",
// and Tactra reads with them from the device's next batch; "Cancel" writes nothing.
#pragma once

#include <windows.h>

#include <vector>

#include "app/dialog_win32.h"
#include "app/session_win32.h"

namespace tactra {

class TouchSettingsDlg : public Dialog {
public:
    explicit TouchSettingsDlg(Session& session);

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;

private:
    void ShowDevice(int index);
    // Writes the shown values for the chosen device; false (with a message) when a
    // number is out of its range.
    bool Apply();

    Session& session_;
    std::vector<SettingsTarget> targets_;
    int shown_ = -1;
};

}  // namespace tactra
