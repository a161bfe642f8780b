// The private-profile functions for native builds, with the Windows behaviour that
// the profile and calibration files rely on: names matched without regard to case
// and trimmed, values trimmed and unquoted, ';' comment lines, LF or CR LF read and
// CR LF written, the first of duplicate sections and keys winning. Nothing is
// cached: every call reads the file anew. A write builds the whole new content in a
// temporary file beside the original and renames it over the original, so a crash
// mid-write leaves either the old or the new file, never a truncated one.

#include "platform/profile_api.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace {

using tactra::ProfileBool;
using tactra::ProfileDword;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n';
}

std::string_view Trim(std::string_view s) {
    size_t begin = 0;
    while (begin < s.size() && IsBlank(s[begin])) ++begin;
    size_t end = s.size();
    while (end > begin && IsBlank(s[end - 1])) --end;
    return s.substr(begin, end - begin);
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// ASCII letters match without regard to case. The byte after a byte >= 0x80 is the
// second byte of a two-byte character (Big5, GBK) or part of a multibyte sequence
// (UTF-8) and is compared exactly: folding it would make different characters
// equal (Big5's second bytes include 'A'..'Z' and 'a'..'z').
bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    bool trailByte = false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (trailByte ? a[i] != b[i] : Lower(a[i]) != Lower(b[i])) return false;
        trailByte = static_cast<unsigned char>(a[i]) >= 0x80;
    }
    return true;
}

// A value enclosed in a matching pair of '"' or '\'' loses the pair.
std::string_view Unquote(std::string_view v) {
    if (v.size() > 1 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        return v.substr(1, v.size() - 2);
    }
    return v;
}

enum class LineKind { kOther, kSection, kKey };

// Views into the file's bytes or into a line added by a write; neither moves.
struct Line {
    std::string_view text;  // as stored, without its line end
    LineKind kind = LineKind::kOther;
    std::string_view name;   // section or key name, trimmed
    std::string_view value;  // key value, trimmed and unquoted
};

// The file's lines, classified.
class ProfileFile {
public:
    // False when the file exists but cannot be read. A missing file is empty.
    bool Load(const char* path) {
        lines_.clear();
        data_.clear();
        exists_ = false;
        const int fd = open(path, O_RDONLY | O_CLOEXEC);
        if (fd < 0) return errno == ENOENT || errno == ENOTDIR;
        exists_ = true;
        // Read straight into the string, sized by the file (one more byte, so the
        // read that sees the end needs no second buffer); a file that grows while
        // it is read is read whole.
        struct stat st;
        size_t have = 0;
        data_.resize(fstat(fd, &st) == 0 && st.st_size > 0 ? static_cast<size_t>(st.st_size) + 1
                                                           : 4096);
        for (;;) {
            if (have == data_.size()) data_.resize(have * 2);
            const ssize_t n = read(fd, &data_[have], data_.size() - have);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                close(fd);
                data_.clear();
                return false;
            }
            if (n == 0) break;
            have += static_cast<size_t>(n);
        }
        close(fd);
        data_.resize(have);
        Split();
        return true;
    }

    bool Exists() const { return exists_; }
    std::vector<Line>& Lines() { return lines_; }

    // Index of the first section header with this name, or -1.
    long FindSection(std::string_view name) const {
        for (size_t i = 0; i < lines_.size(); ++i) {
            if (lines_[i].kind == LineKind::kSection && SameName(lines_[i].name, name))
                return static_cast<long>(i);
        }
        return -1;
    }

    // One past the last line of the section whose header is at `header`.
    size_t SectionEnd(size_t header) const {
        size_t i = header + 1;
        while (i < lines_.size() && lines_[i].kind != LineKind::kSection) ++i;
        return i;
    }

    long FindKey(long header, std::string_view key) const {
        if (header < 0) return -1;
        const size_t end = SectionEnd(static_cast<size_t>(header));
        for (size_t i = static_cast<size_t>(header) + 1; i < end; ++i) {
            if (lines_[i].kind == LineKind::kKey && SameName(lines_[i].name, key))
                return static_cast<long>(i);
        }
        return -1;
    }

    void Insert(size_t at, std::string text) {
        lines_.insert(lines_.begin() + static_cast<long>(at), Line{});
        Reclassify(at, std::move(text));
    }

    void Replace(size_t at, std::string text) { Reclassify(at, std::move(text)); }

    void Erase(size_t begin, size_t end) {
        lines_.erase(lines_.begin() + static_cast<long>(begin),
                     lines_.begin() + static_cast<long>(end));
    }

    std::string Serialise() const {
        std::string out;
        for (const Line& l : lines_) {
            out.append(l.text.data(), l.text.size());
            out += "\r\n";
        }
        return out;
    }

private:
    void Split() {
        const std::string_view data(data_);
        size_t start = 0;
        // A UTF-8 byte-order mark is not part of the first line.
        if (data.substr(0, 3) == "\xEF\xBB\xBF") start = 3;
        size_t breaks = 0;
        for (char c : data) breaks += (c == '\n' || c == '\r') ? 1 : 0;
        lines_.reserve(breaks + 1);
        while (start < data.size()) {
            size_t end = start;
            while (end < data.size() && data[end] != '\n' && data[end] != '\r') ++end;
            lines_.emplace_back();
            lines_.back().text = data.substr(start, end - start);
            Classify(lines_.back());
            if (end < data.size() && data[end] == '\r' && end + 1 < data.size() &&
                data[end + 1] == '\n')
                ++end;
            start = end + 1;
        }
    }

    void Reclassify(size_t at, std::string text) {
        added_.push_back(std::move(text));
        lines_[at].text = added_.back();
        Classify(lines_[at]);
    }

    static void Classify(Line& l) {
        const std::string_view t = Trim(l.text);
        l.kind = LineKind::kOther;
        l.name = {};
        l.value = {};
        if (t.empty() || t.front() == ';') return;
        if (t.front() == '[') {
            const size_t close = t.rfind(']');
            if (close != std::string_view::npos) {
                l.kind = LineKind::kSection;
                l.name = Trim(t.substr(1, close - 1));
                return;
            }
            // Without ']' the line is no header; it reads as a key line below.
        }
        l.kind = LineKind::kKey;
        const size_t eq = t.find('=');
        if (eq == std::string_view::npos) {
            l.name = t;
            return;
        }
        l.name = Trim(t.substr(0, eq));
        l.value = Unquote(Trim(t.substr(eq + 1)));
    }

    std::string data_;               // the file's bytes
    std::deque<std::string> added_;  // lines added by a write (a deque keeps them in place)
    std::vector<Line> lines_;
    bool exists_ = false;
};

// A name argument as the file would hold it: trimmed.
std::string_view ArgName(const char* s) { return Trim(std::string_view(s)); }

// Copies a value cut to fit; the number of characters copied.
ProfileDword CopyValue(std::string_view value, char* buffer, ProfileDword size) {
    const size_t n = value.size() < size - 1 ? value.size() : size - 1;
    if (n) std::memcpy(buffer, value.data(), n);
    buffer[n] = '\0';
    return static_cast<ProfileDword>(n);
}

// Copies a list of names, each with its zero byte, and the final zero byte. A list
// that does not fit is cut, ends in two zero bytes and gives size - 2.
ProfileDword CopyNames(const std::vector<std::string_view>& names, char* buffer,
                       ProfileDword size) {
    if (size == 1) {
        buffer[0] = '\0';
        return 0;
    }
    char* p = buffer;
    size_t room = size - 1;  // keeps one byte for the list's final zero
    for (std::string_view name : names) {
        // A name stops at an embedded zero byte, as the list format demands.
        const size_t stop = name.find('\0');
        if (stop != std::string_view::npos) name = name.substr(0, stop);
        const size_t need = name.size() + 1;
        if (need >= room) {
            if (room > 0) {
                std::memcpy(p, name.data(), room - 1);
                p += room - 1;
                *p++ = '\0';
            }
            *p = '\0';
            return size - 2;
        }
        std::memcpy(p, name.data(), name.size());
        p += name.size();
        *p++ = '\0';
        room -= need;
    }
    *p = '\0';
    return static_cast<ProfileDword>(p - buffer);
}

bool IsReadOnly(const char* path) {
    struct stat st;
    if (stat(path, &st) != 0) return false;
    // The mode bits decide even for a user that may write anything.
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || access(path, W_OK) != 0;
}

bool WriteAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// Replaces the file's content by way of a temporary file in the same directory.
bool ReplaceFile(const char* path, const std::string& data, bool existed) {
    std::string temp = std::string(path) + ".XXXXXX";
    const int fd = mkstemp(&temp[0]);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, data) && fsync(fd) == 0;
    if (ok && existed) {
        struct stat st;
        if (stat(path, &st) == 0) ok = fchmod(fd, st.st_mode & 07777) == 0;
    } else if (ok) {
        const mode_t mask = umask(0);
        umask(mask);
        ok = fchmod(fd, 0666 & ~mask) == 0;
    }
    if (close(fd) != 0) ok = false;
    if (ok) ok = std::rename(temp.c_str(), path) == 0;
    if (!ok) unlink(temp.c_str());
    return ok;
}

}  // namespace

extern "C" {

ProfileDword GetPrivateProfileStringA(const char* lpAppName, const char* lpKeyName,
                                      const char* lpDefault, char* lpReturnedString,
                                      ProfileDword nSize, const char* lpFileName) {
    if (!lpReturnedString || nSize == 0) return 0;
    ProfileFile file;
    const bool loaded = lpFileName && file.Load(lpFileName);
    if (!lpAppName) {
        std::vector<std::string_view> names;  // views of the file's lines
        if (loaded) {
            for (const Line& l : file.Lines()) {
                if (l.kind == LineKind::kSection && !l.name.empty()) names.push_back(l.name);
            }
        }
        return CopyNames(names, lpReturnedString, nSize);
    }
    const long header = loaded ? file.FindSection(ArgName(lpAppName)) : -1;
    if (!lpKeyName) {
        std::vector<std::string_view> names;  // views of the file's lines
        if (header >= 0) {
            const size_t end = file.SectionEnd(static_cast<size_t>(header));
            for (size_t i = static_cast<size_t>(header) + 1; i < end; ++i) {
                if (file.Lines()[i].kind == LineKind::kKey) names.push_back(file.Lines()[i].name);
            }
        }
        return CopyNames(names, lpReturnedString, nSize);
    }
    const long key = file.FindKey(header, ArgName(lpKeyName));
    if (key >= 0)
        return CopyValue(file.Lines()[static_cast<size_t>(key)].value, lpReturnedString, nSize);
    // The default loses its trailing blanks.
    std::string_view def = lpDefault ? std::string_view(lpDefault) : std::string_view();
    while (!def.empty() && def.back() == ' ') def.remove_suffix(1);
    return CopyValue(def, lpReturnedString, nSize);
}

ProfileDword GetPrivateProfileSectionNamesA(char* lpszReturnBuffer, ProfileDword nSize,
                                            const char* lpFileName) {
    return GetPrivateProfileStringA(nullptr, nullptr, nullptr, lpszReturnBuffer, nSize, lpFileName);
}

ProfileBool WritePrivateProfileStringA(const char* lpAppName, const char* lpKeyName,
                                       const char* lpString, const char* lpFileName) {
    if (!lpAppName)
        return lpKeyName == nullptr && lpString == nullptr;  // the "flush" call: nothing cached
    if (!lpFileName || !*lpFileName) return 0;
    ProfileFile file;
    if (!file.Load(lpFileName)) return 0;
    if (file.Exists() && IsReadOnly(lpFileName)) return 0;
    std::vector<Line>& lines = file.Lines();
    const std::string_view section = ArgName(lpAppName);
    const long header = file.FindSection(section);

    if (!lpKeyName) {  // remove the section with all its keys
        if (header < 0) return 1;
        file.Erase(static_cast<size_t>(header), file.SectionEnd(static_cast<size_t>(header)));
    } else {
        const std::string_view keyName = ArgName(lpKeyName);
        const long key = file.FindKey(header, keyName);
        if (!lpString) {  // remove the key
            if (key < 0) return 1;
            file.Erase(static_cast<size_t>(key), static_cast<size_t>(key) + 1);
        } else {
            const std::string value(Trim(lpString));
            if (key >= 0) {
                // Replaced in place, keeping the name as the file spells it.
                const Line& old = lines[static_cast<size_t>(key)];
                if (old.value == value && old.text.find('=') != std::string::npos) return 1;
                file.Replace(static_cast<size_t>(key), std::string(old.name) + "=" + value);
            } else if (header >= 0) {
                // After the section's last key or comment, before the blank lines that
                // separate it from the next section.
                size_t at = file.SectionEnd(static_cast<size_t>(header));
                while (at > static_cast<size_t>(header) + 1 && Trim(lines[at - 1].text).empty())
                    --at;
                file.Insert(at, std::string(keyName) + "=" + value);
            } else {
                const size_t end = lines.size();
                file.Insert(end, "[" + std::string(section) + "]");
                file.Insert(end + 1, std::string(keyName) + "=" + value);
            }
        }
    }
    return ReplaceFile(lpFileName, file.Serialise(), file.Exists()) ? 1 : 0;
}

ProfileDword GetCurrentDirectoryA(ProfileDword nBufferLength, char* lpBuffer) {
    std::vector<char> dir(PATH_MAX + 1);
    while (!getcwd(dir.data(), dir.size())) {
        if (errno != ERANGE) return 0;
        dir.resize(dir.size() * 2);
    }
    const size_t length = std::strlen(dir.data());
    if (!lpBuffer || length + 1 > nBufferLength) return static_cast<ProfileDword>(length + 1);
    std::memcpy(lpBuffer, dir.data(), length + 1);
    return static_cast<ProfileDword>(length);
}

}  // extern "C"
