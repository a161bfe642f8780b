// The main dialog's profile store: "Tactra.ini" in the current directory, created
// with the default profiles when missing, the list of its sections in file order,
// which profile selection walks, and the actions of the sections read so far.
//
// The parsed file is kept with the file's identity: a refresh, done for every touch
// batch, costs one identity query, and the file is parsed again only when it changed
// (see FileWatch), after Invalidate ("WM_APPLY") and after the program's own writes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "profiles/app_profile.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "profiles/ini.h"

namespace tactra {

// How long a refresh waits after writing the default file before reading it.
constexpr uint32_t kDefaultProfilesSettleMs = 1000;
// After the default file could not be written (a read-only or deleted folder), the
// next attempt comes no sooner than this; refreshes in between do not wait.
constexpr uint32_t kDefaultProfilesRetryMs = 1000;

class ProfileStore {
public:
    // `langId` gives the system default language identifier; it is asked only when the
    // default file is written.
    ProfileStore(Clock& clock, FileSystem& files, int osMajor, std::function<uint16_t()> langId);

    // When nothing is at the path, writes the default file and waits
    // kDefaultProfilesSettleMs on the clock (after a failed write: no wait, an empty
    // section list, and no new attempt for kDefaultProfilesRetryMs); builds the path,
    // binds the store and reloads the section list when the file changed. Returns 1.
    int RefreshProfileSections();
    // The next refresh parses the file whatever its identity ("WM_APPLY").
    void Invalidate() { watch_.Invalidate(); }

    // A section's actions as ReadProfile (profile_file.h) gives them, read from the
    // file once per parse.
    void ReadProfile(const std::string& section, AppProfile& profile);

    const CIni& Ini() const { return ini_; }
    const std::string& Path() const { return path_; }
    const std::vector<std::string>& Sections() const { return sections_; }
    int SectionCount() const { return static_cast<int>(sections_.size()); }
    // Changes whenever the section list may have changed.
    uint32_t Generation() const { return generation_; }

private:
    // Writes the default file when an attempt is due; true when it was written.
    bool WriteDefaults();
    void Forget();

    Clock& clock_;
    FileSystem& files_;
    int osMajor_;
    std::function<uint16_t()> langId_;
    std::string path_;
    CIni ini_;
    std::vector<std::string> sections_;
    // Actions as read from the file, the Up of a non-wheel action left 0.
    std::unordered_map<std::string, AppProfile> profiles_;
    FileWatch watch_;
    uint32_t generation_ = 0;
    uint32_t writesSeen_ = 0;
    bool writeFailed_ = false;
    uint32_t writeFailedAt_ = 0;
};

}  // namespace tactra
