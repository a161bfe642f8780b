#include "profiles/ini.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/number_text.h"
#include "platform/profile_api.h"

namespace tactra {

namespace {

// Buffers start at this many characters and grow by as many, so values and name
// lists of any length are read whole.
constexpr ProfileDword kReadStepChars = 512;

std::atomic<uint32_t> g_writeCount{0};

}  // namespace

std::string CIni::ReadText(const char* section, const char* key, const char* defaultText) const {
    if (!section || !key) return defaultText ? defaultText : "";
    ProfileDword size = kReadStepChars;
    std::string buffer;
    for (;;) {
        buffer.assign(static_cast<size_t>(size) + 1, '\0');
        const ProfileDword length =
            GetPrivateProfileStringA(section, key, defaultText, &buffer[0], size, path_.c_str());
        // A result that fills the buffer may have been cut: read again with more room.
        if (length + 1 < size) {
            buffer.resize(length);
            return buffer;
        }
        size += kReadStepChars;
    }
}

int32_t CIni::ReadNumber(const char* section, const char* key, int32_t defaultValue) const {
    const std::string text = ReadText(section, key, "");
    char head[65] = {};
    std::strncpy(head, text.c_str(), 64);
    if (head[0] == '\0') return defaultValue;
    return static_cast<int32_t>(ProfileNumber(head));
}

bool CIni::HasKey(const char* section, const char* key) const {
    if (!key) return false;
    return ReadText(section, key, kAbsentKeyMarker) != kAbsentKeyMarker;
}

int CIni::WriteNumber(const char* section, const char* key, int32_t value) const {
    char text[65] = {};
    std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    if (!section || !key) return 0;
    ++g_writeCount;
    return WritePrivateProfileStringA(section, key, text, path_.c_str());
}

int CIni::WriteText(const char* section, const char* key, const char* text) const {
    if (!section || !key || !text) return 0;
    ++g_writeCount;
    return WritePrivateProfileStringA(section, key, text, path_.c_str());
}

void CIni::ReadSectionNames(std::vector<std::string>& names) const {
    names.clear();
    // Probe the size the list needs...
    ProfileDword size = kReadStepChars;
    ProfileDword count = 0;
    for (;;) {
        std::vector<char> probe(static_cast<size_t>(size) + 1, '\0');
        count = GetPrivateProfileSectionNamesA(probe.data(), size, path_.c_str());
        if (count + 2 < size) break;
        size += kReadStepChars;
    }
    // ...then read it with exactly that room.
    std::vector<char> block;
    try {
        block.assign(static_cast<size_t>(count) + 3, '\0');
    } catch (const std::bad_alloc&) {
        return;
    }
    const ProfileDword got = GetPrivateProfileSectionNamesA(block.data(), count + 2, path_.c_str());
    // Walk only what was returned: the file may have changed between the two reads.
    const char* p = block.data();
    const char* end = block.data() + (got < count + 2 ? got : count + 2);
    while (p < end && *p) {
        const void* zero = std::memchr(p, '\0', static_cast<size_t>(end - p));
        const size_t length = zero ? static_cast<size_t>(static_cast<const char*>(zero) - p)
                                   : static_cast<size_t>(end - p);
        names.emplace_back(p, length);
        p += length + 1;
    }
}

int CIni::DeleteSection(const char* section) const {
    if (!section) return 0;
    ++g_writeCount;
    return WritePrivateProfileStringA(section, nullptr, "", path_.c_str());
}

uint32_t CIni::WriteCount() { return g_writeCount.load(); }

}  // namespace tactra
