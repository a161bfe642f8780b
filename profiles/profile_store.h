// The main dialog's profile store: "Tactra.ini" in the current directory, created
// with the default profiles when missing, and the list of its sections in file order,
// which profile selection walks.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "profiles/ini.h"

namespace tactra {

// How long a refresh waits after writing the default file before reading it.
constexpr uint32_t kDefaultProfilesSettleMs = 1000;

class ProfileStore {
public:
    // `langId` gives the system default language identifier; it is asked only when the
    // default file is written.
    ProfileStore(Clock& clock, int osMajor, std::function<uint16_t()> langId);

    // Builds the path, writes the default file when none exists (then waits
    // kDefaultProfilesSettleMs on the clock), binds the store and reloads the section
    // list. Returns 1.
    int RefreshProfileSections();

    const CIni& Ini() const { return ini_; }
    const std::string& Path() const { return path_; }
    const std::vector<std::string>& Sections() const { return sections_; }
    int SectionCount() const { return static_cast<int>(sections_.size()); }

private:
    Clock& clock_;
    int osMajor_;
    std::function<uint16_t()> langId_;
    std::string path_;
    CIni ini_;
    std::vector<std::string> sections_;
};

}  // namespace tactra
