#include "profiles/ini.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/profile_api.h"

namespace tactra {

namespace {

// Buffers start at this many characters and grow by as many, so values and name
// lists of any length are read whole.
constexpr ProfileDword kReadStepChars = 512;

std::atomic<uint32_t> g_writeCount{0};

// Unsigned decimal conversion in 32 bits: blanks and one sign accepted, digits up to
// the first other character, a negative number taken modulo 2^32, an overflow giving
// the largest value. The same result on every platform.
uint32_t ToUnsigned32(const char* p) {
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    uint32_t value = 0;
    bool overflow = false;
    for (; *p >= '0' && *p <= '9'; ++p) {
        const uint32_t digit = static_cast<uint32_t>(*p - '0');
        if (value > (UINT32_MAX - digit) / 10) overflow = true;
        value = value * 10 + digit;
    }
    if (overflow) return UINT32_MAX;
    return negative ? 0u - value : value;
}

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
    return static_cast<int32_t>(ToUnsigned32(head));
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
