// The local file system's identity on Windows: from GetFileAttributesExA, which
// reads the directory entry without opening the file.
#include <windows.h>

#include "platform/file_system.h"

namespace tactra {

bool QueryLocalIdentity(const std::string& path, FileIdentity& identity) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
    identity.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    identity.lastWriteTime = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                             data.ftLastWriteTime.dwLowDateTime;
    return true;
}

}  // namespace tactra
