// CIni: access to one INI file through the private-profile functions. Every
// operation goes to the file anew; nothing is cached.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tactra {

// The default text by which HasKey tells an absent key from a present one.
constexpr const char kAbsentKeyMarker[] = "{63788286-AE30-4D6B-95DF-3B451C1C79F9}";

class CIni {
public:
    CIni() = default;
    explicit CIni(const std::string& path) : path_(path) {}
    virtual ~CIni() = default;

    void SetPath(const std::string& path) { path_ = path; }
    const std::string& Path() const { return path_; }

    // The value, or a copy of `defaultText` (null: empty) when the key is absent or
    // when section or key is null. Values of any length are read whole.
    std::string ReadText(const char* section, const char* key, const char* defaultText) const;
    // Unsigned decimal conversion of the first 64 bytes (blanks and a sign accepted,
    // stops at the first non-digit); `defaultValue` when the value is empty.
    int32_t ReadNumber(const char* section, const char* key, int32_t defaultValue) const;
    // True when the key is present, even with an empty value.
    bool HasKey(const char* section, const char* key) const;
    // Writes the value as "%d"; the platform call's result, or 0 without writing when
    // section or key is null.
    int WriteNumber(const char* section, const char* key, int32_t value) const;
    // Writes the text as the value; the platform call's result, or 0 without writing
    // when section, key or text is null.
    int WriteText(const char* section, const char* key, const char* text) const;
    // The section names in file order.
    void ReadSectionNames(std::vector<std::string>& names) const;
    // Removes a section with all its keys; the platform call's result.
    int DeleteSection(const char* section) const;

    // The number of writes made through any CIni in this process: the caches of
    // the files compare it to see the program's own writes at once.
    static uint32_t WriteCount();

private:
    std::string path_;
};

}  // namespace tactra
