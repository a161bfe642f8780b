// What the main dialog drives besides its own window: the profile store, the
// gesture engine and the panel reading. The dialog stays thin glue; this is where
// the pieces of the device, engine and profile layers meet.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device/mapping/touch_settings.h"

namespace tactra {

struct SessionOptions {
    std::string replayFile;  // --replay FILE: a recorded trace instead of the panel
    std::string recordFile;  // --record FILE: record the panel's reports
    // Words Tactra does not know: ignored (a shortcut with an extra argument must
    // not leave the user without touch), and reported to the debugger.
    std::vector<std::string> ignoredWords;
    // --log: the diagnostic log also goes to "Tactra.log" in the current directory;
    // --log verbose: with a line for every report.
    bool log = false;
    bool logVerbose = false;
};

// Parses the command line (without the program name). False with a message in
// `error` for a --replay or --record without a file name, or both together.
bool ParseSessionOptions(const char* commandLine, SessionOptions& options, std::string& error);

// A device whose settings the "Touch settings" window edits: its line in the list and
// the section its settings live in ([Config] when no device is known yet).
struct SettingsTarget {
    std::string line;
    std::string section;
    int device = -1;  // its place among the devices known, -1 for none
};

class Session {
public:
    explicit Session(const SessionOptions& options);
    ~Session();

    // Loads the trace to replay or creates the recording, before any window
    // exists. False with a message in `error` when that fails.
    bool Prepare(std::string& error);

    // The major version of the system, for the default profile file.
    void SetOsMajor(int major);
    // Re-reads the section list of "Tactra.ini", writing the default file first
    // when it is missing ("WM_APPLY", start-up). Returns 1.
    int RefreshProfileSections();
    // Engine records and flags to their start values, with the mouse mode; the
    // display, the chosen monitor and the touch switch stay as they are.
    void ResetEngine(int32_t mouseMode);
    // The touch switch as "Calibrate.ini" remembers it (on without the key), and
    // the monitor it names, until an opening of the panel reads it again.
    void LoadTouchSettings();
    bool TouchEnabled() const;
    // "Touch enabled": turns touch off or on and remembers it in "Calibrate.ini".
    void SetTouchEnabled(bool enabled);
    // The monitor the panel drives, for the main dialog: "Monitor: primary", or its
    // name, with "(not attached)" while it is missing. `look` looks for it now
    // rather than going by the last batch.
    std::string MonitorText(bool look);
    // Shows MonitorText, looked for now, and the device list in the main dialog.
    void ShowMonitor(HWND dialog);
    // One line per touch device known since start-up: its name ("0EEF:0001 panel",
    // "6615:0070 touch screen"), the monitor it drives and whether it is attached.
    std::vector<std::string> DeviceLines();
    void ShowDevices(HWND dialog);

    // The devices whose settings can be edited (every device known that can be told
    // apart), or without any the one that [Config] will serve.
    std::vector<SettingsTarget> SettingsTargets();
    TouchSettings TargetSettings(const SettingsTarget& target);
    // Writes the settings into the target's section and reads the device with them
    // from its next batch (its reading starts again to take the smoothing and fixes).
    void ApplyTouchSettings(const SettingsTarget& target, const TouchSettings& settings);
    void SetMouseMode(int32_t mouseMode);
    // The display mode and adapter, with the adapter's orientation correction.
    void ReadDisplay();
    void ScreenSize(int32_t& width, int32_t& height) const;

    // Timer 1 of `dialog` at its start-up period: the first attempt to find the panel.
    void StartSearching(HWND dialog);
    // Timer 1: starts a reading for every touch device found that has none (at most
    // kMaxTouchDevices); arms the 500 ms retry timer on `dialog` while none reads.
    void RestartReading(HWND dialog);
    // WM_DEVICECHANGE: arms the retry timer unless it is armed already; the search
    // it runs keeps every reading that runs and starts one for each device found.
    void OnDeviceChange(HWND dialog);
    // The end of the program: the reading thread is ended and the panel closed.
    void StopReading();

    // "WM_TOUCH": runs the device's engine on the batch when the device may drive
    // (touch priority) and updates the Test texts.
    LRESULT OnTouch(HWND dialog, WPARAM wParam, LPARAM lParam);
    // "TactraReadingEnded": a device vanished; its engine lets go of its touch and it
    // gives up the pointer.
    LRESULT OnReadingEnded(HWND dialog, LPARAM lParam);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace tactra
