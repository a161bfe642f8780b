// Until the profile layer is in the tree, the few calls the pages make are
// declared here and stubbed by profiles_pending_win32.cpp.
#pragma once

#if TACTRA_HAVE_PROFILES
#include "platform/current_directory.h"
#include "profiles/profile_file.h"
#else
#include <string>

#include "gesture/gesture_action.h"
#include "profiles/ini.h"

namespace tactra {
constexpr const char kProfileFileName[] = "Tactra.ini";
std::string PathInCurrentDirectory(const char* fileName);
void ReadProfile(const CIni& ini, const char* section, AppProfile& profile);
bool WriteProfile(const CIni& ini, const char* section, const AppProfile& profile);
}  // namespace tactra
#endif
