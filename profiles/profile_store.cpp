#include "profiles/profile_store.h"

#include <sys/stat.h>

#include <utility>

#include "platform/current_directory.h"
#include "profiles/profile_file.h"

namespace tactra {

namespace {

// Anything at the path counts: a file that exists but cannot be read must not be
// replaced by the defaults.
bool PathExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

}  // namespace

ProfileStore::ProfileStore(Clock& clock, int osMajor, std::function<uint16_t()> langId)
    : clock_(clock), osMajor_(osMajor), langId_(std::move(langId)) {}

int ProfileStore::RefreshProfileSections() {
    path_ = PathInCurrentDirectory(kProfileFileName);
    if (!PathExists(path_)) {
        WriteDefaultProfiles(path_, langId_ ? langId_() : 0, osMajor_);
        clock_.Sleep(kDefaultProfilesSettleMs);
    }
    ini_.SetPath(path_);
    ini_.ReadSectionNames(sections_);
    return 1;
}

}  // namespace tactra
