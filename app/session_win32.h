// What the main dialog drives besides its own window: the profile store, the
// gesture engine and the panel reading. The dialog stays thin glue; this is where
// the pieces of the device, engine and profile layers meet.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

namespace tactra {

struct SessionOptions {
    std::string replayFile;  // --replay FILE: a recorded trace instead of the panel
    std::string recordFile;  // --record FILE: record the panel's reports
};

// Parses the command line (without the program name). False with a message in
// `error` for an unknown option or a missing file name.
bool ParseSessionOptions(const char* commandLine, SessionOptions& options, std::string& error);

class Session {
public:
    explicit Session(const SessionOptions& options);
    ~Session();

    // The major version of the system, for the default profile file.
    void SetOsMajor(int major);
    // Re-reads the section list of "Tactra.ini", writing the default file first
    // when it is missing. Returns 1.
    int RefreshProfileSections();
    // Engine records and flags to their start values, with the mouse mode.
    void ResetEngine(int32_t mouseMode);
    void SetMouseMode(int32_t mouseMode);
    // The display mode and adapter, with the adapter's orientation correction.
    void ReadDisplay();
    void ScreenSize(int32_t& width, int32_t& height) const;

    // The panel start: running flag cleared before the first timer tick.
    void ClearRunning();
    // Timer 1: tear down whatever reads, start again; arms the 500 ms retry timer
    // on `dialog` when the start failed.
    void RestartReading(HWND dialog);
    // True in the lost state (no reading thread and no panel handle).
    bool ReadingLost() const;

    // "WM_TOUCH": runs the engine on the batch and updates the Test texts.
    LRESULT OnTouch(HWND dialog, WPARAM wParam, LPARAM lParam);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace tactra
