// The local file system's identity for native builds: from stat.
#include <sys/stat.h>

#include "platform/file_system.h"

namespace tactra {

bool QueryLocalIdentity(const std::string& path, FileIdentity& identity) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return false;
    identity.size = static_cast<uint64_t>(st.st_size);
    identity.lastWriteTime = static_cast<uint64_t>(st.st_mtim.tv_sec) * 1000000000u +
                             static_cast<uint64_t>(st.st_mtim.tv_nsec);
    return true;
}

}  // namespace tactra
