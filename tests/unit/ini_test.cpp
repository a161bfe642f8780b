#include "profiles/ini.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/current_directory.h"
#include "profiles/profile_file.h"
#include "tests/support/temp_dir.h"

namespace tactra {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

class Ini : public ::testing::Test {
protected:
    CIni With(const std::string& content) {
        const std::string path = dir_.File("i" + std::to_string(serial_++) + ".ini");
        WriteBytes(path, content);
        return CIni(path);
    }
    TempDir dir_;
    int serial_ = 0;
};

using Strings = std::vector<std::string>;

TEST_F(Ini, ValuesOfAnyLengthAreReadWhole) {
    for (size_t length : {0u, 1u, 510u, 511u, 512u, 600u, 1023u, 1024u, 5000u}) {
        const std::string value(length, 'v');
        const CIni ini = With("[s]\r\nk=" + value + "\r\n");
        EXPECT_EQ(ini.ReadText("s", "k", "(null)"), value) << length;
    }
    const CIni ini = With("[s]\r\n");
    EXPECT_EQ(ini.ReadText("s", "k", std::string(700, 'd').c_str()), std::string(700, 'd'));
    EXPECT_EQ(ini.ReadText("s", "k", nullptr), "");
}

TEST_F(Ini, NullSectionOrKeyGivesTheDefaultWithoutReading) {
    const CIni ini = With("[s]\r\nk=1\r\n");
    EXPECT_EQ(ini.ReadText("s", nullptr, "dflt"), "dflt");
    EXPECT_EQ(ini.ReadText(nullptr, "k", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadText(nullptr, nullptr, nullptr), "");
    EXPECT_FALSE(ini.HasKey("s", nullptr));
    EXPECT_EQ(ini.WriteNumber(nullptr, "k", 1), 0);
    EXPECT_EQ(ini.WriteNumber("s", nullptr, 1), 0);
    EXPECT_EQ(ini.ReadText("s", "k", ""), "1");
    CIni unbound;
    EXPECT_EQ(unbound.ReadText("s", "k", "d"), "d");
}

TEST_F(Ini, NumbersAndKeys) {
    const CIni ini = With(
        "[Config]\r\nMinX=120\r\nMaxX= -1\r\nNine=9A\r\nWord=abc\r\nEmpty=\r\nBig=99999999999\r\n"
        "Plus=+7\r\nLong=" +
        std::string(64, '1') + "99\r\n");
    EXPECT_EQ(ini.ReadNumber("Config", "MinX", 5), 120);
    EXPECT_EQ(ini.ReadNumber("Config", "MaxX", 5), -1);
    EXPECT_EQ(ini.ReadNumber("Config", "Nine", 5), 9);
    EXPECT_EQ(ini.ReadNumber("Config", "Word", 5), 0);
    EXPECT_EQ(ini.ReadNumber("Config", "Empty", 5), 5);
    EXPECT_EQ(ini.ReadNumber("Config", "Absent", 5), 5);
    EXPECT_EQ(ini.ReadNumber("Config", "Big", 5), -1);  // saturates at 2^32 - 1, as 32-bit strtoul
    EXPECT_EQ(ini.ReadNumber("Config", "Plus", 5), 7);
    EXPECT_EQ(ini.ReadNumber("Config", "Long", 5), -1);
    EXPECT_TRUE(ini.HasKey("Config", "Empty"));
    EXPECT_TRUE(ini.HasKey("config", "minx"));
    EXPECT_FALSE(ini.HasKey("Config", "Absent"));
    EXPECT_FALSE(ini.HasKey("Other", "MinX"));
}

TEST_F(Ini, WriteNumber) {
    const CIni ini = With("");
    EXPECT_NE(ini.WriteNumber("s", "k", -1), 0);
    EXPECT_NE(ini.WriteNumber("s", "max", INT32_MIN), 0);
    EXPECT_EQ(ini.ReadText("s", "k", ""), "-1");
    EXPECT_EQ(ini.ReadNumber("s", "max", 0), INT32_MIN);
    EXPECT_EQ(ReadBytes(ini.Path()), "[s]\r\nk=-1\r\nmax=-2147483648\r\n");
}

TEST_F(Ini, SectionNamesInFileOrderAndDeletion) {
    const CIni ini = With("[a]\r\nk=1\r\n[b]\r\nk=1\r\n[c]\r\nk=1\r\n");
    Strings names{"stale"};
    ini.ReadSectionNames(names);
    EXPECT_EQ(names, (Strings{"a", "b", "c"}));
    EXPECT_NE(ini.DeleteSection("b"), 0);
    ini.ReadSectionNames(names);
    EXPECT_EQ(names, (Strings{"a", "c"}));

    With("").ReadSectionNames(names);
    EXPECT_EQ(names, Strings{});
    With("k=1\r\n; no sections\r\n").ReadSectionNames(names);
    EXPECT_EQ(names, Strings{});
    CIni(dir_.File("missing.ini")).ReadSectionNames(names);
    EXPECT_EQ(names, Strings{});
}

TEST_F(Ini, NameListsOfEveryLengthAroundTheBufferSteps) {
    // Lists whose length falls on and around each growth step are read whole.
    for (size_t total : {508u, 509u, 510u, 511u, 512u, 513u, 1020u, 1021u, 1022u, 1023u, 1024u}) {
        // One long name and one of a single character: (n + 1) + 2 bytes.
        const std::string longName(total - 3, 'n');
        const CIni ini = With("[" + longName + "]\r\n[x]\r\n");
        Strings names;
        ini.ReadSectionNames(names);
        EXPECT_EQ(names, (Strings{longName, "x"})) << total;
    }
}

TEST_F(Ini, LongSectionNameIsReadWhole) {
    const std::string name(2000, 's');
    const CIni ini = With("[short]\r\nk=1\r\n[" + name + "]\r\nZoomIn.Case=2\r\n");
    Strings names;
    ini.ReadSectionNames(names);
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[1], name);
    EXPECT_EQ(ini.ReadText(name.c_str(), "ZoomIn.Case", ""), "2");
}

TEST_F(Ini, ManySectionsReadWhole) {
    std::string content;
    for (int i = 0; i < 5000; ++i) content += "[app" + std::to_string(i) + "]\r\n";
    const CIni ini = With(content);
    Strings names;
    ini.ReadSectionNames(names);
    ASSERT_EQ(names.size(), 5000u);
    for (int i = 0; i < 5000; ++i)
        ASSERT_EQ(names[static_cast<size_t>(i)], "app" + std::to_string(i));
}

TEST(CurrentDirectory, PathOfAnyLength) {
    TempDir dir;
    // Deeper than the old 120-character buffer allowed (Windows keeps the current
    // directory within 260 characters).
    std::filesystem::path deep = dir.Dir();
    while (deep.string().size() < 160)
        deep /= std::string(20, static_cast<char>('a' + deep.string().size() % 26));
    std::filesystem::create_directories(deep);
    testing::CurrentDirectoryScope cd(deep);
    const std::string path = PathInCurrentDirectory("Tactra.ini");
    EXPECT_GT(path.size(), 170u);
    EXPECT_EQ(path, (std::filesystem::current_path() / "Tactra.ini").string());
    WriteBytes(path, "[deep]\r\nk=1\r\n");
    EXPECT_EQ(CIni(path).ReadText("deep", "k", ""), "1");
}

}  // namespace
}  // namespace tactra
