#include "platform/current_directory.h"

#include <vector>

#include "platform/profile_api.h"

namespace tactra {

std::string PathInCurrentDirectory(const char* fileName) {
    std::string path;
    // Sized from the directory itself; loops in case it changes between the calls.
    ProfileDword need = GetCurrentDirectoryA(0, nullptr);
    while (need > 0) {
        std::vector<char> buffer(need);
        const ProfileDword got = GetCurrentDirectoryA(need, buffer.data());
        if (got == 0) break;
        if (got < need) {
            path.assign(buffer.data(), got);
            break;
        }
        need = got;
    }
    // A root directory already ends in its separator.
    if (!path.empty() && path.back() != kPathSeparator && path.back() != '/')
        path += kPathSeparator;
    path += fileName ? fileName : "";
    return path;
}

}  // namespace tactra
