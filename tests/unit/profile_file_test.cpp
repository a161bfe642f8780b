#include "profiles/profile_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/current_directory.h"
#include "profiles/profile_store.h"
#include "temp_dir.h"

namespace tactra {
namespace {

using testing::CurrentDirectoryScope;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

// One default section: the header and the 24 keys in gesture order, each with its
// value from `values` (an empty text writes nothing after "=").
std::string Section(const std::string& name, const char* const (&values)[24]) {
    static const char* const keys[24] = {
        "ZoomIn.Case",    "ZoomIn.Code",    "ZoomIn.Up",    "ZoomOut.Case",   "ZoomOut.Code",   "ZoomOut.Up",
        "RotateAC.Case",  "RotateAC.Code",  "RotateAC.Up",  "RotateCL.Case",  "RotateCL.Code",  "RotateCL.Up",
        "FlickUp.Case",   "FlickUp.Code",   "FlickUp.Up",   "FlickDown.Case", "FlickDown.Code", "FlickDown.Up",
        "FlickLeft.Case", "FlickLeft.Code", "FlickLeft.Up", "FlickRight.Case", "FlickRight.Code", "FlickRight.Up"};
    std::string s = "[" + name + "]\r\n";
    for (int i = 0; i < 24; ++i) s += std::string(keys[i]) + "=" + values[i] + "\r\n";
    return s;
}

const char* const kIe[24] = {"2", "2048", "1", "2", "2048", "0", "", "", "", "", "", "",
                             "1", "2048", "1", "1", "2048", "0", "", "", "", "", "", ""};
const char* const kAcro[24] = {"2", "2048", "1", "2", "2048", "0", "14", "109", "0", "14", "107", "0",
                               "9", "33",   "0", "9", "34",   "0", "9",  "33",  "0", "9",  "34",  "0"};
const char* const kFax[24] = {"2", "2048", "1", "2", "2048", "0", "10", "76", "0", "10", "75", "0",
                              "9", "33",   "0", "9", "34",   "0", "9",  "37", "0", "9",  "39", "0"};
const char* const kPhoto[24] = {"2", "2048", "1", "2", "2048", "0", "10", "188", "0", "10", "190", "0",
                                "0", "0",    "0", "0", "0",    "0", "9",  "37",  "0", "9",  "39",  "0"};
const std::string kFaxChinese = "Windows \xB9\xCF\xA4\xF9\xA9\x4D\xB6\xC7\xAF\x75\xC0\xCB\xB5\xF8\xBE\xB9";
const std::string kPhotoChinese = "Windows \xAC\xDB\xA4\xF9\xC0\xCB\xB5\xF8\xBE\xB9";

TEST(DefaultProfiles, SectionsByteForByte) {
    EXPECT_EQ(Section("iexplore.exe", kIe).size(), 408u);
    EXPECT_EQ(Section("AcroRd32.exe", kAcro).size(), 424u);
    EXPECT_EQ(Section("Windows Picture and Fax Viewer", kFax).size(), 440u);
    EXPECT_EQ(Section("Windows Photo Viewer", kPhoto).size(), 430u);
    EXPECT_EQ(Section(kFaxChinese, kFax).size(), 434u);
    EXPECT_EQ(Section(kPhotoChinese, kPhoto).size(), 428u);

    const std::string programs = Section("iexplore.exe", kIe) + Section("AcroRd32.exe", kAcro);
    const std::string en5 = DefaultProfileText(0x0409, 5);
    EXPECT_EQ(en5, programs + Section("Windows Picture and Fax Viewer", kFax));
    EXPECT_EQ(en5.size(), 1272u);
    const std::string en6 = DefaultProfileText(0x0409, 6);
    EXPECT_EQ(en6, programs + Section("Windows Photo Viewer", kPhoto));
    EXPECT_EQ(en6.size(), 1262u);
    const std::string tw5 = DefaultProfileText(0x0404, 5);
    EXPECT_EQ(tw5, programs + Section(kFaxChinese, kFax));
    EXPECT_EQ(tw5.size(), 1266u);
    EXPECT_EQ(DefaultProfileText(0x0404, 6), programs + Section(kPhotoChinese, kPhoto));
    EXPECT_EQ(DefaultProfileText(0x0409, 10), programs);
    EXPECT_EQ(DefaultProfileText(0x0404, 10).size(), 832u);
    EXPECT_EQ(DefaultProfileText(0x0409, 4), programs);
}

TEST(DefaultProfiles, OnlyTaiwanSelectsChineseNames) {
    for (uint16_t lang : {0x0C04, 0x0804, 0x1004, 0x0004, 0x0409, 0x0000, 0xFFFF}) {
        EXPECT_EQ(DefaultProfileText(lang, 5), DefaultProfileText(0x0409, 5)) << std::hex << lang;
    }
}

TEST(DefaultProfiles, WrittenOnceAndNeverOverAnExistingFile) {
    TempDir dir;
    const std::string path = dir.File("Tactra.ini");
    ASSERT_TRUE(WriteDefaultProfiles(path, 0x0404, 5));
    EXPECT_EQ(ReadBytes(path), DefaultProfileText(0x0404, 5));
    WriteBytes(path, "");
    EXPECT_FALSE(WriteDefaultProfiles(path, 0x0409, 5));
    EXPECT_EQ(ReadBytes(path), "");
    EXPECT_FALSE(WriteDefaultProfiles(dir.File("no-such-dir/Tactra.ini"), 0x0409, 5));
}

TEST(ProfileStore, RefreshWritesDefaultsOnceAndWaitsOnce) {
    TempDir dir;
    CurrentDirectoryScope cd(dir.Dir());
    VirtualClock clock(100);
    int langAsked = 0;
    ProfileStore store(clock, 6, [&] {
        ++langAsked;
        return uint16_t{0x0409};
    });
    EXPECT_EQ(store.RefreshProfileSections(), 1);
    EXPECT_EQ(clock.TickCount(), 1100u);
    EXPECT_EQ(langAsked, 1);
    EXPECT_EQ(store.Path(), PathInCurrentDirectory("Tactra.ini"));
    EXPECT_EQ(store.Ini().Path(), store.Path());
    EXPECT_EQ(store.Sections(), (std::vector<std::string>{"iexplore.exe", "AcroRd32.exe", "Windows Photo Viewer"}));
    EXPECT_EQ(store.SectionCount(), 3);
    EXPECT_EQ(ReadBytes(dir.File("Tactra.ini")), DefaultProfileText(0x0409, 6));

    EXPECT_EQ(store.Ini().DeleteSection("AcroRd32.exe"), 1);
    EXPECT_EQ(store.RefreshProfileSections(), 1);
    EXPECT_EQ(clock.TickCount(), 1100u);  // the file exists: no wait, no rewrite
    EXPECT_EQ(langAsked, 1);
    EXPECT_EQ(store.Sections(), (std::vector<std::string>{"iexplore.exe", "Windows Photo Viewer"}));
}

TEST(ProfileStore, ExistingEmptyFileIsKept) {
    TempDir dir;
    CurrentDirectoryScope cd(dir.Dir());
    WriteBytes(dir.File("Tactra.ini"), "");
    VirtualClock clock;
    ProfileStore store(clock, 5, [] { return uint16_t{0x0409}; });
    store.RefreshProfileSections();
    EXPECT_EQ(store.SectionCount(), 0);
    EXPECT_EQ(clock.TickCount(), 0u);
    EXPECT_EQ(ReadBytes(dir.File("Tactra.ini")), "");
}

}  // namespace
}  // namespace tactra
