#include "profiles/profile_store.h"

#include <utility>

#include "platform/current_directory.h"
#include "profiles/profile_file.h"

namespace tactra {

ProfileStore::ProfileStore(Clock& clock, FileSystem& files, int osMajor,
                           std::function<uint16_t()> langId)
    : clock_(clock),
      files_(files),
      osMajor_(osMajor),
      langId_(std::move(langId)),
      writesSeen_(CIni::WriteCount()) {}

int ProfileStore::RefreshProfileSections() {
    // The configuration pages write through CIni objects of their own.
    const uint32_t writes = CIni::WriteCount();
    if (writes != writesSeen_) {
        writesSeen_ = writes;
        watch_.Invalidate();
    }
    // Asked by name, relative to the current directory: the identity costs no look-up
    // of the directory itself, and the full path is built only to read the file.
    bool changed = watch_.Check(files_, kProfileFileName, clock_.TickCount());
    if (changed || !watch_.Exists()) path_ = PathInCurrentDirectory(kProfileFileName);
    if (!watch_.Exists()) {
        // A file that cannot be created must not stall every batch: without it no
        // profile applies, and the next attempt waits its turn.
        if (WriteDefaults()) watch_.Invalidate();
        changed = watch_.Check(files_, kProfileFileName, clock_.TickCount());
        if (!watch_.Exists()) {
            Forget();
            return 1;
        }
    }
    if (changed) {
        ini_.SetPath(path_);
        ini_.ReadSectionNames(sections_);
        profiles_.clear();
        ++generation_;
    }
    return 1;
}

bool ProfileStore::WriteDefaults() {
    const uint32_t now = clock_.TickCount();
    if (writeFailed_ && now - writeFailedAt_ < kDefaultProfilesRetryMs) return false;
    if (!files_.CreateNew(path_, DefaultProfileText(langId_ ? langId_() : 0, osMajor_))) {
        writeFailed_ = true;
        writeFailedAt_ = now;
        return false;
    }
    writeFailed_ = false;
    clock_.Sleep(kDefaultProfilesSettleMs);
    return true;
}

void ProfileStore::Forget() {
    if (sections_.empty() && profiles_.empty()) return;
    sections_.clear();
    profiles_.clear();
    ++generation_;
}

void ProfileStore::ReadProfile(const std::string& section, AppProfile& profile) {
    auto it = profiles_.find(section);
    if (it == profiles_.end()) {
        AppProfile read;
        tactra::ReadProfile(ini_, section.c_str(), read);
        it = profiles_.emplace(section, read).first;
    }
    // As a read from the file: Up only for a wheel action.
    for (int g = 0; g < kGestureCount; ++g) {
        const GestureAction& from = it->second.actions[g];
        GestureAction& to = profile.actions[g];
        to.kind = from.kind;
        to.code = from.code;
        if (IsWheelAction(from)) to.up = from.up;
    }
}

}  // namespace tactra
