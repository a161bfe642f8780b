// The local file system for native builds: the identity from stat.
#include <sys/stat.h>

#include "platform/file_system.h"

namespace tactra {

namespace {

class PosixFileSystem : public FileSystem {
public:
    bool QueryIdentity(const std::string& path, FileIdentity& identity) override {
        struct stat st;
        if (stat(path.c_str(), &st) != 0) return false;
        identity.size = static_cast<uint64_t>(st.st_size);
        identity.lastWriteTime = static_cast<uint64_t>(st.st_mtim.tv_sec) * 1000000000u +
                                 static_cast<uint64_t>(st.st_mtim.tv_nsec);
        return true;
    }
    bool ReadWhole(const std::string& path, std::string& content) override {
        return ReadWholeFile(path, content);
    }
    bool CreateNew(const std::string& path, const std::string& content) override {
        return CreateNewFile(path, content);
    }
};

}  // namespace

FileSystem& LocalFileSystem() {
    static PosixFileSystem files;
    return files;
}

}  // namespace tactra
