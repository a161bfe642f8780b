#include "app/session_win32.h"

#include <cstring>
#include <string>
#include <vector>

#include "app/app_rules.h"
#include "platform/win32/win32_ports.h"

#include "profiles/profile_store.h"

namespace tactra {

bool ParseSessionOptions(const char* commandLine, SessionOptions& options, std::string& error) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, inWord = false;
    for (const char* p = commandLine ? commandLine : ""; *p; ++p) {
        if (*p == '"') {
            quoted = !quoted;
            inWord = true;
        } else if ((*p == ' ' || *p == '\t') && !quoted) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += *p;
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    for (size_t i = 0; i < words.size(); ++i) {
        std::string* target = nullptr;
        if (words[i] == "--replay") target = &options.replayFile;
        else if (words[i] == "--record") target = &options.recordFile;
        else {
            error = "Unknown option: " + words[i];
            return false;
        }
        if (i + 1 >= words.size() || words[i + 1].empty()) {
            error = "Missing file name after " + words[i];
            return false;
        }
        *target = words[++i];
    }
    if (!options.replayFile.empty() && !options.recordFile.empty()) {
        error = "--replay and --record cannot be used together";
        return false;
    }
    return true;
}

struct Session::Impl {
    SessionOptions options;
    Win32Clock clock;
    int osMajor = 5;
    int32_t mouseMode = kMouseModeEmulate;
    int32_t width = 0;
    int32_t height = 0;
    std::unique_ptr<ProfileStore> profiles;
};

Session::Session(const SessionOptions& options) : impl_(new Impl) { impl_->options = options; }

Session::~Session() = default;

void Session::SetOsMajor(int major) { impl_->osMajor = major; }

int Session::RefreshProfileSections() {
    if (!impl_->profiles)
        impl_->profiles.reset(new ProfileStore(impl_->clock, impl_->osMajor,
                                               [] { return static_cast<uint16_t>(GetSystemDefaultLangID()); }));
    return impl_->profiles->RefreshProfileSections();
}

void Session::ResetEngine(int32_t mouseMode) { impl_->mouseMode = mouseMode; }

void Session::SetMouseMode(int32_t mouseMode) { impl_->mouseMode = mouseMode; }

void Session::ReadDisplay() {
    impl_->width = GetSystemMetrics(SM_CXSCREEN);
    impl_->height = GetSystemMetrics(SM_CYSCREEN);
}

void Session::ScreenSize(int32_t& width, int32_t& height) const {
    width = impl_->width;
    height = impl_->height;
}

void Session::ClearRunning() {}

void Session::RestartReading(HWND dialog) {
    // No panel source yet: keep retrying like a missing panel.
    KillTimer(dialog, kStartTimerId);
    SetTimer(dialog, kStartTimerId, kRetryTimerPeriodMs, nullptr);
}

bool Session::ReadingLost() const { return false; }

LRESULT Session::OnTouch(HWND, WPARAM, LPARAM) { return 1; }

}  // namespace tactra
