// Port: what the INI caches ask of the file system besides the private-profile
// functions: a file's identity (size and last-write time), its bytes, and the
// creation of a new file. The Win32 adapter asks GetFileAttributesExA for the
// identity, the native one stat; tests and tactra-replay script it.
//
// FileWatch, on top of the port, tells whether a file may have changed since it was
// last read, so that "Tactra.ini" and "Calibrate.ini" are parsed only then.
#pragma once

#include <cstdint>
#include <string>

namespace tactra {

struct FileIdentity {
    uint64_t size = 0;
    uint64_t lastWriteTime = 0;  // in the file system's own units

    bool operator==(const FileIdentity& o) const {
        return size == o.size && lastWriteTime == o.lastWriteTime;
    }
    bool operator!=(const FileIdentity& o) const { return !(*this == o); }
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // False when nothing is at the path (anything there counts, even a folder) or
    // it cannot be examined.
    virtual bool QueryIdentity(const std::string& path, FileIdentity& identity) = 0;
    // The whole content; false when the file cannot be read.
    virtual bool ReadWhole(const std::string& path, std::string& content) = 0;
    // Creates the file with `content`. Never replaces anything at the path; a file
    // that cannot be written whole is removed again. False on any failure.
    virtual bool CreateNew(const std::string& path, const std::string& content) = 0;
};

// The process's own file system: the identity from QueryLocalIdentity, the bytes
// from ReadWholeFile, new files from CreateNewFile.
FileSystem& LocalFileSystem();

// The platform's half of the local file system: GetFileAttributesExA on Windows
// (the directory entry, without opening the file), stat natively.
bool QueryLocalIdentity(const std::string& path, FileIdentity& identity);
// The portable halves.
bool ReadWholeFile(const std::string& path, std::string& content);
bool CreateNewFile(const std::string& path, const std::string& content);

// A time stamp may be coarse (FAT's is two seconds): a rewrite that keeps the size
// inside one tick leaves the identity as it was. So the bytes are compared too, at
// most this often.
constexpr uint32_t kFileRecheckMs = 1000;

// Whether a file may have changed since it was last read. One identity query per
// check, and at most every kFileRecheckMs one read of its bytes.
class FileWatch {
public:
    // True when the caller must read the file again: at the first check, for a new
    // path, when the file appears, vanishes or changes identity, when its bytes
    // differ from those seen at the previous comparison, and after Invalidate.
    // Check before reading: a change during the read is then seen by the next check.
    bool Check(FileSystem& files, const std::string& path, uint32_t now);
    // The next check reports a change (after the program's own writes).
    void Invalidate() { valid_ = false; }
    // Whether something was at the path at the last check.
    bool Exists() const { return exists_; }

private:
    bool valid_ = false;
    std::string path_;
    bool exists_ = false;
    FileIdentity identity_;
    bool readable_ = false;
    std::string content_;
    uint32_t comparedAt_ = 0;
};

}  // namespace tactra
