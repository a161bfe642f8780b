// Stand-ins for the profile layer until it is in the tree.
#include <windows.h>

#include "app/profiles_pending.h"

namespace tactra {

std::string PathInCurrentDirectory(const char* fileName) {
    char directory[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof directory, directory);
    return std::string(directory) + "\\" + fileName;
}

void ReadProfile(const CIni&, const char*, AppProfile&) {}
bool WriteProfile(const CIni&, const char*, const AppProfile&) { return false; }

void CIni::ReadSectionNames(std::vector<std::string>& names) const { names.clear(); }
int CIni::DeleteSection(const char*) const { return 0; }

}  // namespace tactra
