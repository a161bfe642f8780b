#include "platform/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>
#include <utility>

namespace tactra {

bool ReadWholeFile(const std::string& path, std::string& content) {
    content.clear();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) content.append(buffer, n);
    const bool ok = std::ferror(file) == 0;
    std::fclose(file);
    return ok;
}

bool CreateNewFile(const std::string& path, const std::string& content) {
#if defined(_WIN32)
    const int fd =
        _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
#endif
    if (fd < 0) return false;
    size_t done = 0;
    bool ok = true;
    while (ok && done < content.size()) {
#if defined(_WIN32)
        const int n =
            _write(fd, content.data() + done, static_cast<unsigned>(content.size() - done));
#else
        const auto n = write(fd, content.data() + done, content.size() - done);
#endif
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            ok = false;
        }
    }
#if defined(_WIN32)
    if (_close(fd) != 0) ok = false;
#else
    if (close(fd) != 0) ok = false;
#endif
    if (!ok) std::remove(path.c_str());
    return ok;
}

bool FileWatch::Check(FileSystem& files, const std::string& path, uint32_t now) {
    FileIdentity identity;
    const bool exists = files.QueryIdentity(path, identity);
    const bool changed =
        !valid_ || path != path_ || exists != exists_ || (exists && identity != identity_);
    if (!changed && (!exists || now - comparedAt_ < kFileRecheckMs)) return false;
    std::string content;
    const bool readable = exists && files.ReadWhole(path, content);
    if (!changed && readable == readable_ && content == content_) {
        comparedAt_ = now;
        return false;
    }
    valid_ = true;
    path_ = path;
    exists_ = exists;
    identity_ = identity;
    readable_ = readable;
    content_ = std::move(content);
    comparedAt_ = now;
    return true;
}

namespace {

class LocalFiles : public FileSystem {
public:
    bool QueryIdentity(const std::string& path, FileIdentity& identity) override {
        return QueryLocalIdentity(path, identity);
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
    static LocalFiles files;
    return files;
}

}  // namespace tactra
