// The local file system on Windows: the identity from GetFileAttributesExA, which
// reads the directory entry without opening the file.
#include <windows.h>

#include "platform/file_system.h"

namespace tactra {

namespace {

class Win32FileSystem : public FileSystem {
public:
    bool QueryIdentity(const std::string& path, FileIdentity& identity) override {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
        identity.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        identity.lastWriteTime =
            (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
            data.ftLastWriteTime.dwLowDateTime;
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
    static Win32FileSystem files;
    return files;
}

}  // namespace tactra
