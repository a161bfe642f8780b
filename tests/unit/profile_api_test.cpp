// The private-profile functions. The same cases run natively against the emulation
// and, in the Windows test build under Wine, against the system's own functions, so
// the emulation cannot drift from the behaviour the profile files rely on.

#include "platform/profile_api.h"

#include <gtest/gtest.h>
#if defined(_WIN32)
#include <windows.h>
#endif

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace tactra {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

class ProfileApi : public ::testing::Test {
protected:
    // A new file name for every file, so that no cached copy of an earlier file
    // with the same name can answer.
    std::string NewFile(const std::string& content) {
        const std::string path = dir_.File("p" + std::to_string(serial_++) + ".ini");
        WriteBytes(path, content);
        return path;
    }
    std::string MissingFile() { return dir_.File("missing" + std::to_string(serial_++) + ".ini"); }

    static std::string Get(const char* section, const char* key, const std::string& path,
                           const char* def = "<default>") {
        std::vector<char> buffer(4096, 'x');
        const ProfileDword n =
            GetPrivateProfileStringA(section, key, def, buffer.data(), 4096, path.c_str());
        EXPECT_EQ(n, std::strlen(buffer.data()));
        return std::string(buffer.data(), n);
    }

    // A name list (sections, or a section's keys) as separate names.
    static std::vector<std::string> Names(const char* section, const std::string& path) {
        std::vector<char> buffer(1 << 16, 'x');
        const ProfileDword n =
            section ? GetPrivateProfileStringA(section, nullptr, "", buffer.data(), 1 << 16,
                                               path.c_str())
                    : GetPrivateProfileSectionNamesA(buffer.data(), 1 << 16, path.c_str());
        std::vector<std::string> names;
        for (const char* p = buffer.data(); *p && p < buffer.data() + n; p += std::strlen(p) + 1)
            names.push_back(p);
        EXPECT_EQ(buffer[n], '\0');
        return names;
    }

    static bool Put(const char* section, const char* key, const char* value,
                    const std::string& path) {
        return WritePrivateProfileStringA(section, key, value, path.c_str()) != 0;
    }

    TempDir dir_;
    int serial_ = 0;
};

using Strings = std::vector<std::string>;

TEST_F(ProfileApi, MissingFileReadsAsEmpty) {
    const std::string path = MissingFile();
    EXPECT_EQ(Get("a", "k", path), "<default>");
    EXPECT_EQ(Get("a", "k", path, nullptr), "");
    EXPECT_EQ(Names(nullptr, path), Strings{});
    EXPECT_EQ(Names("a", path), Strings{});
    char buffer[8] = "xxxxxxx";
    EXPECT_EQ(GetPrivateProfileSectionNamesA(buffer, sizeof buffer, path.c_str()), 0u);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_FALSE(std::filesystem::exists(path));  // reading creates nothing
}

TEST_F(ProfileApi, NamesMatchWithoutCaseAndAreTrimmed) {
    const std::string path = NewFile(
        "  [Gestures]  \r\n"
        "  ZoomIn.Case   =   2  \r\n"
        "ZOOMOUT.CASE=3\r\n"
        "\tTabbed\t=\tvalue with  inner  blanks\t\r\n");
    EXPECT_EQ(Get("gestures", "zoomin.case", path), "2");
    EXPECT_EQ(Get("GESTURES", "ZoomOut.Case", path), "3");
    EXPECT_EQ(Get("Gestures", "tabbed", path), "value with  inner  blanks");
    EXPECT_EQ(Get("Gestures", "Missing", path), "<default>");
    EXPECT_EQ(Get("Other", "ZoomIn.Case", path), "<default>");
    EXPECT_EQ(Names(nullptr, path), Strings{"Gestures"});
    EXPECT_EQ(Names("GESTURES", path), (Strings{"ZoomIn.Case", "ZOOMOUT.CASE", "Tabbed"}));
}

TEST_F(ProfileApi, QuotesCommentsEmptyValuesAndDefaults) {
    const std::string path = NewFile(
        "[s]\r\n"
        "double=\"quoted value \"\r\n"
        "single='x'\r\n"
        "mixed=\"x'\r\n"
        "lone=\"\r\n"
        "inner=a\"b\"c\r\n"
        ";comment=1\r\n"
        "empty=\r\n");
    EXPECT_EQ(Get("s", "double", path), "quoted value ");
    EXPECT_EQ(Get("s", "single", path), "x");
    EXPECT_EQ(Get("s", "mixed", path), "\"x'");
    EXPECT_EQ(Get("s", "lone", path), "\"");
    EXPECT_EQ(Get("s", "inner", path), "a\"b\"c");
    EXPECT_EQ(Names("s", path), (Strings{"double", "single", "mixed", "lone", "inner", "empty"}));
    EXPECT_EQ(Get("s", "empty", path), "");  // present: no default
    EXPECT_EQ(Get("s", "absent", path, "default   "),
              "default");  // trailing blanks of the default go
}

TEST_F(ProfileApi, LineEndsAndMissingFinalNewline) {
    const std::string lf = NewFile("[a]\nk=lf\n[b]\nk=2");
    EXPECT_EQ(Get("a", "k", lf), "lf");
    EXPECT_EQ(Get("b", "k", lf), "2");
    EXPECT_EQ(Names(nullptr, lf), (Strings{"a", "b"}));
    const std::string mixed = NewFile("[a]\r\nk=crlf\r\n[b]\nk=lf");
    EXPECT_EQ(Get("a", "k", mixed), "crlf");
    EXPECT_EQ(Get("b", "k", mixed), "lf");

    // Appending to a file without a final newline starts a line of its own.
    ASSERT_TRUE(Put("b", "j", "3", lf));
    EXPECT_EQ(Get("b", "k", lf), "2");
    EXPECT_EQ(Get("b", "j", lf), "3");
    ASSERT_TRUE(Put("c", "k", "4", lf));
    EXPECT_EQ(Names(nullptr, lf), (Strings{"a", "b", "c"}));
}

TEST_F(ProfileApi, FirstOfDuplicateSectionsAndKeysWins) {
    const std::string path = NewFile("[a]\r\nk=1\r\nk=9\r\n[b]\r\nk=2\r\n[A]\r\nk=3\r\nonly=4\r\n");
    EXPECT_EQ(Get("a", "k", path), "1");
    EXPECT_EQ(Get("a", "only", path), "<default>");
    ASSERT_TRUE(Put("a", "k", "5", path));
    EXPECT_EQ(Get("a", "k", path), "5");
    EXPECT_EQ(Get("b", "k", path), "2");
}

TEST_F(ProfileApi, ValueCutToBufferSize) {
    const std::string path = NewFile("[s]\r\nk=abcdef\r\n");
    char buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(GetPrivateProfileStringA("s", "k", "", buffer, 4, path.c_str()), 3u);
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(buffer[4], 'x');  // nothing written past the buffer
    EXPECT_EQ(GetPrivateProfileStringA("s", "k", "", buffer, 7, path.c_str()), 6u);
    EXPECT_STREQ(buffer, "abcdef");
    EXPECT_EQ(GetPrivateProfileStringA("s", "absent", "defaulttext", buffer, 5, path.c_str()), 4u);
    EXPECT_STREQ(buffer, "defa");
}

TEST_F(ProfileApi, NameListCutToBufferSizeEndsInTwoZeros) {
    const std::string path = NewFile("[aa]\r\nk=1\r\n[bb]\r\nk=1\r\n[cc]\r\nk=1\r\n");
    char buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(GetPrivateProfileSectionNamesA(buffer, 6, path.c_str()), 4u);
    EXPECT_EQ(std::string(buffer, 3), std::string("aa\0", 3));
    EXPECT_EQ(buffer[4], '\0');  // the cut name ends within the buffer (Wine leaves the last byte)
    EXPECT_EQ(buffer[6], 'x');   // nothing written past the buffer
    // Enough room: the whole list, its length without the final zero.
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(GetPrivateProfileSectionNamesA(buffer, 16, path.c_str()), 9u);
    EXPECT_EQ(std::string(buffer, 10), std::string("aa\0bb\0cc\0\0", 10));
}

TEST_F(ProfileApi, WritesAppendSectionsAndKeysAndReplaceInPlace) {
    const std::string path = NewFile("[first]\r\nk1=1\r\nk2=2\r\n\r\n[second]\r\nk=1\r\n");
    ASSERT_TRUE(Put("third", "a", "1", path));  // new section at the end
    ASSERT_TRUE(Put("third", "b", "2", path));
    ASSERT_TRUE(Put("FIRST", "k3", "3", path));   // new key at the end of its section
    ASSERT_TRUE(Put("first", "K1", "10", path));  // replaced in place
    EXPECT_EQ(Names(nullptr, path), (Strings{"first", "second", "third"}));
    EXPECT_EQ(Names("first", path), (Strings{"k1", "k2", "k3"}));
    EXPECT_EQ(Names("third", path), (Strings{"a", "b"}));
    EXPECT_EQ(Get("first", "k1", path), "10");
    EXPECT_EQ(Get("first", "k3", path), "3");
    EXPECT_EQ(Get("second", "k", path), "1");
    // Every line written ends in CR LF.
    const std::string bytes = ReadBytes(path);
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') {
            ASSERT_TRUE(i > 0 && bytes[i - 1] == '\r') << "at " << i;
        }
    }
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
}

TEST_F(ProfileApi, WriteCreatesMissingFile) {
    const std::string path = MissingFile();
    ASSERT_TRUE(Put("s", "k", "-1", path));
    EXPECT_EQ(Get("s", "k", path), "-1");
    EXPECT_EQ(ReadBytes(path), "[s]\r\nk=-1\r\n");
}

TEST_F(ProfileApi, NullKeyDeletesSectionNullValueDeletesKey) {
    const std::string path = NewFile("[a]\r\nk=1\r\n[b]\r\nk=2\r\nj=3\r\n[c]\r\nk=4\r\n");
    ASSERT_TRUE(Put("b", nullptr, "", path));
    EXPECT_EQ(Names(nullptr, path), (Strings{"a", "c"}));
    EXPECT_EQ(Get("b", "k", path), "<default>");
    EXPECT_EQ(Get("c", "k", path), "4");
    ASSERT_TRUE(Put("c", "k", nullptr, path));
    EXPECT_EQ(Get("c", "k", path), "<default>");
    EXPECT_EQ(Get("a", "k", path), "1");
}

TEST_F(ProfileApi, CommentsSurviveWrites) {
    const std::string path = NewFile("; header comment\r\n[a]\r\n; about k\r\nk=1\r\n");
    ASSERT_TRUE(Put("a", "k", "2", path));
    const std::string bytes = ReadBytes(path);
    EXPECT_NE(bytes.find("; header comment"), std::string::npos);
    EXPECT_NE(bytes.find("; about k"), std::string::npos);
    EXPECT_EQ(Get("a", "k", path), "2");
}

TEST_F(ProfileApi, ReadOnlyFileRefusesWritesAndKeepsItsContent) {
    const std::string content = "[a]\r\nk=1\r\n";
    const std::string path = NewFile(content);
    if (!testing::MakeReadOnly(path)) GTEST_SKIP() << "this user may write read-only files";
    EXPECT_FALSE(Put("a", "k", "2", path));
    EXPECT_FALSE(Put("b", "k", "2", path));
    EXPECT_EQ(ReadBytes(path), content);
    EXPECT_EQ(Get("a", "k", path), "1");
}

TEST_F(ProfileApi, WriteIntoMissingDirectoryFails) {
    const std::string path = dir_.File("no-such-dir/p.ini");
    EXPECT_FALSE(Put("a", "k", "1", path));
}

TEST_F(ProfileApi, HeaderWithoutClosingBracketIsNoSection) {
    const std::string path = NewFile("[a]\r\nk=1\r\n[broken\r\nj=2\r\n[b]\r\nk=3\r\n");
    EXPECT_EQ(Names(nullptr, path), (Strings{"a", "b"}));
    EXPECT_EQ(Get("broken", "j", path), "<default>");
    EXPECT_EQ(Get("a", "j", path), "2");  // the line belongs to the section before it
    EXPECT_EQ(Get("b", "k", path), "3");
}

TEST_F(ProfileApi, MegabyteLineIsReadAndCut) {
    const std::string big(1 << 20, 'v');
    const std::string path = NewFile("[a]\r\nbig=" + big + "\r\nk=1\r\n[b]\r\nk=2\r\n");
    std::vector<char> buffer((1 << 20) + 16, 'x');
    EXPECT_EQ(GetPrivateProfileStringA("a", "big", "", buffer.data(),
                                       static_cast<ProfileDword>(buffer.size()), path.c_str()),
              static_cast<ProfileDword>(big.size()));
    EXPECT_EQ(std::string(buffer.data()), big);
    char small[8];
    EXPECT_EQ(GetPrivateProfileStringA("a", "big", "", small, sizeof small, path.c_str()), 7u);
    EXPECT_EQ(Get("a", "k", path), "1");
    EXPECT_EQ(Names(nullptr, path), (Strings{"a", "b"}));
}

TEST_F(ProfileApi, BinaryGarbageIsReadWithoutHarm) {
    std::string garbage;
    uint32_t state = 12345;
    for (int i = 0; i < 64 * 1024; ++i) {
        state = state * 1103515245u + 12345u;
        char c = static_cast<char>(state >> 23);
        // No brackets: the garbage must not form sections of its own by chance.
        if (c == '[' || c == ']') c = '?';
        garbage += c;
    }
    garbage[0] = 'G';  // no byte-order mark
    const std::string path = NewFile(garbage + "\r\n[ok]\r\nk=1\r\n");
    EXPECT_EQ(Get("ok", "k", path), "1");
    EXPECT_EQ(Names(nullptr, path), Strings{"ok"});
    std::vector<char> buffer(256, 'x');
    GetPrivateProfileStringA("ok", nullptr, "", buffer.data(), 256, path.c_str());
    EXPECT_STREQ(buffer.data(), "k");
}

TEST_F(ProfileApi, ManySectionsInFileOrder) {
    std::string content;
    for (int i = 5000; i > 0; --i)
        content += "[s" + std::to_string(i) + "]\r\nk=" + std::to_string(i) + "\r\n";
    const std::string path = NewFile(content);
    const Strings names = Names(nullptr, path);
    ASSERT_EQ(names.size(), 5000u);
    EXPECT_EQ(names.front(), "s5000");
    EXPECT_EQ(names[1], "s4999");
    EXPECT_EQ(names.back(), "s1");
    EXPECT_EQ(Get("s1", "k", path), "1");
}

TEST_F(ProfileApi, BigFiveSectionNamesAreKeptAsBytes) {
    const std::string name = "Windows \xAC\xDB\xA4\xF9\xC0\xCB\xB5\xF8\xBE\xB9";
    const std::string path = NewFile("[" + name + "]\r\nk=1\r\n");
    EXPECT_EQ(Names(nullptr, path), Strings{name});
    EXPECT_EQ(Get(name.c_str(), "k", path), "1");
}

TEST_F(ProfileApi, SecondBytesOfTwoByteCharactersKeepTheirCase) {
#if defined(_WIN32)
    // The system folds by its code page: 0xA4 starts a character only in a
    // two-byte one (Big5, GBK, ...).
    if (!IsDBCSLeadByte(0xA4)) GTEST_SKIP() << "the system's code page has no two-byte characters";
#endif
    // Two Big5 characters that differ only in a second byte of 'A' / 'a'.
    const std::string upper =
        "\xA4"
        "A";
    const std::string lower =
        "\xA4"
        "a";
    const std::string path = NewFile("[" + upper + "]\r\nk=1\r\n[" + lower + "]\r\nk=2\r\n");
    EXPECT_EQ(Get(upper.c_str(), "k", path), "1");
    EXPECT_EQ(Get(lower.c_str(), "k", path), "2");
    EXPECT_EQ(Names(nullptr, path), (Strings{upper, lower}));
    // Letters after a one-byte character still match without case.
    EXPECT_EQ(Get(("X" + upper).c_str(), "K", NewFile("[x" + upper + "]\r\nk=3\r\n")), "3");
}

}  // namespace
}  // namespace tactra
