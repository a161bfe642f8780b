// The engine's profile source on top of the main dialog's profile store.
#pragma once

#include "gesture/engine.h"
#include "profiles/profile_store.h"

namespace tactra {

class StoreProfileSource : public ProfileSource {
public:
    explicit StoreProfileSource(ProfileStore& store) : store_(store) {}

    void RefreshProfileSections() override { store_.RefreshProfileSections(); }
    const std::vector<std::string>& Sections() const override { return store_.Sections(); }
    void ReadProfile(const std::string& section, AppProfile& profile) const override {
        store_.ReadProfile(section, profile);
    }

private:
    ProfileStore& store_;
};

}  // namespace tactra
