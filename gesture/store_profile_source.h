// The engine's profile source on top of the main dialog's profile store.
#pragma once

#include <string>

#include "gesture/engine.h"
#include "profiles/profile_store.h"

namespace tactra {

class StoreProfileSource : public ProfileSource {
public:
    explicit StoreProfileSource(ProfileStore& store) : store_(store) {}

    void RefreshProfileSections() override { store_.RefreshProfileSections(); }
    const std::vector<std::string>& Sections() const override { return store_.Sections(); }
    // The match is kept until the application in front or the section list changes:
    // a file of many sections is not walked for every batch.
    int FindSection(const std::string& file, const std::string& title) override {
        if (!found_ || generation_ != store_.Generation() || file != file_ || title != title_) {
            match_ = ProfileSource::FindSection(file, title);
            found_ = true;
            generation_ = store_.Generation();
            file_ = file;
            title_ = title;
        }
        return match_;
    }
    void ReadProfile(const std::string& section, AppProfile& profile) const override {
        store_.ReadProfile(section, profile);
    }

private:
    ProfileStore& store_;
    bool found_ = false;
    uint32_t generation_ = 0;
    std::string file_;
    std::string title_;
    int match_ = -1;
};

}  // namespace tactra
