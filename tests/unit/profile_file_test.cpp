#include "profiles/profile_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/current_directory.h"
#include "profiles/profile_store.h"
#include "tests/support/temp_dir.h"

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
        "ZoomIn.Case",    "ZoomIn.Code",     "ZoomIn.Up",       "ZoomOut.Case",   "ZoomOut.Code",
        "ZoomOut.Up",     "RotateAC.Case",   "RotateAC.Code",   "RotateAC.Up",    "RotateCL.Case",
        "RotateCL.Code",  "RotateCL.Up",     "FlickUp.Case",    "FlickUp.Code",   "FlickUp.Up",
        "FlickDown.Case", "FlickDown.Code",  "FlickDown.Up",    "FlickLeft.Case", "FlickLeft.Code",
        "FlickLeft.Up",   "FlickRight.Case", "FlickRight.Code", "FlickRight.Up"};
    std::string s = "[" + name + "]\r\n";
    for (int i = 0; i < 24; ++i) s += std::string(keys[i]) + "=" + values[i] + "\r\n";
    return s;
}

const char* const kIe[24] = {"2", "2048", "1", "2", "2048", "0", "", "", "", "", "", "",
                             "1", "2048", "1", "1", "2048", "0", "", "", "", "", "", ""};
const char* const kAcro[24] = {"2",  "2048", "1",   "2",  "2048", "0",  "14", "109",
                               "0",  "14",   "107", "0",  "9",    "33", "0",  "9",
                               "34", "0",    "9",   "33", "0",    "9",  "34", "0"};
const char* const kFax[24] = {"2", "2048", "1", "2", "2048", "0", "10", "76", "0", "10", "75", "0",
                              "9", "33",   "0", "9", "34",   "0", "9",  "37", "0", "9",  "39", "0"};
const char* const kPhoto[24] = {"2", "2048", "1",   "2",  "2048", "0", "10", "188",
                                "0", "10",   "190", "0",  "0",    "0", "0",  "0",
                                "0", "0",    "9",   "37", "0",    "9", "39", "0"};
const std::string kFaxChinese =
    "Windows \xB9\xCF\xA4\xF9\xA9\x4D\xB6\xC7\xAF\x75\xC0\xCB\xB5\xF8\xBE\xB9";
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
    ProfileStore store(clock, LocalFileSystem(), 6, [&] {
        ++langAsked;
        return uint16_t{0x0409};
    });
    EXPECT_EQ(store.RefreshProfileSections(), 1);
    EXPECT_EQ(clock.TickCount(), 1100u);
    EXPECT_EQ(langAsked, 1);
    EXPECT_EQ(store.Path(), PathInCurrentDirectory("Tactra.ini"));
    EXPECT_EQ(store.Ini().Path(), store.Path());
    EXPECT_EQ(store.Sections(),
              (std::vector<std::string>{"iexplore.exe", "AcroRd32.exe", "Windows Photo Viewer"}));
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
    ProfileStore store(clock, LocalFileSystem(), 5, [] { return uint16_t{0x0409}; });
    store.RefreshProfileSections();
    EXPECT_EQ(store.SectionCount(), 0);
    EXPECT_EQ(clock.TickCount(), 0u);
    EXPECT_EQ(ReadBytes(dir.File("Tactra.ini")), "");
}

}  // namespace
}  // namespace tactra

namespace tactra {
namespace {

class ProfileFile : public ::testing::Test {
protected:
    CIni With(const std::string& content) {
        const std::string path = dir_.File("f" + std::to_string(serial_++) + ".ini");
        WriteBytes(path, content);
        return CIni(path);
    }
    static GestureAction Action(int32_t kind, int32_t code, int32_t up) {
        GestureAction a;
        a.kind = kind;
        a.code = code;
        a.up = up;
        return a;
    }
    TempDir dir_;
    int serial_ = 0;
};

TEST_F(ProfileFile, ReadsTheDefaultProfiles) {
    const CIni ini = With(DefaultProfileText(0x0409, 5));
    AppProfile ie;
    ReadProfile(ini, "iexplore.exe", ie);
    EXPECT_EQ(ie.actions[kZoomIn], Action(2, 2048, 1));
    EXPECT_EQ(ie.actions[kZoomOut], Action(2, 2048, 0));
    EXPECT_EQ(ie.actions[kRotateAC], Action(0, 0, 0));  // "RotateAC.Case=": nothing
    EXPECT_EQ(ie.actions[kFlickUp], Action(1, 2048, 1));
    EXPECT_EQ(ie.actions[kFlickRight], Action(0, 0, 0));
    AppProfile acro;
    ReadProfile(ini, "AcroRd32.exe", acro);
    EXPECT_EQ(acro.actions[kRotateAC], Action(14, 109, 0));
    EXPECT_EQ(acro.actions[kRotateCL], Action(14, 107, 0));
    EXPECT_EQ(acro.actions[kFlickDown], Action(9, 34, 0));
    AppProfile fax;
    ReadProfile(ini, "windows picture and fax viewer", fax);
    EXPECT_EQ(fax.actions[kRotateAC], Action(10, 76, 0));
    EXPECT_EQ(fax.actions[kFlickLeft], Action(9, 37, 0));
}

TEST_F(ProfileFile, ReadingRules) {
    const CIni ini = With(
        "[app]\r\n"
        "FlickUp.Up=1\r\n"  // keys in any order
        "FlickUp.Case=9A\r\n"
        "FlickUp.Code=33\r\n"
        "ZoomIn.Case=2\r\nZoomIn.Code=2048\r\n"  // no Up: reads 0, the wheel turns back
        "RotateCL.Case=1\r\nRotateCL.Code=2048\r\nRotateCL.Up=1\r\n"
        "RotateAC.Case=abc\r\nRotateAC.Code= -7x\r\nRotateAC.Up=1\r\n"
        "FlickLeft.Case=0\r\nFlickLeft.Code=2048\r\nFlickLeft.Up=5\r\n"
        "FlickRight.Case=99999999999\r\nFlickRight.Code=2048\r\nFlickRight.Up=1\r\n"
        "Other.Key=1\r\n");
    AppProfile p;
    for (GestureAction& a : p.actions) a.up = 77;  // shows which Up keys were read
    ReadProfile(ini, "APP", p);
    EXPECT_EQ(p.actions[kFlickUp], Action(9, 33, 77));  // a key action: Up not read
    EXPECT_EQ(p.actions[kZoomIn], Action(2, 2048, 0));
    EXPECT_EQ(p.actions[kRotateCL], Action(1, 2048, 1));
    EXPECT_EQ(p.actions[kRotateAC], Action(0, -7, 77));
    EXPECT_EQ(p.actions[kFlickLeft], Action(0, 2048, 5));
    EXPECT_EQ(p.actions[kFlickRight], Action(INT32_MAX, 2048, 77));
    EXPECT_EQ(p.actions[kZoomOut], Action(0, 0, 77));  // missing keys: 0
    AppProfile none;
    ReadProfile(With(""), "app", none);
    EXPECT_EQ(none.actions[kZoomIn], Action(0, 0, 0));
}

TEST_F(ProfileFile, WriteOrderAndRoundTrip) {
    const CIni ini = With("[first]\r\nk=1\r\n");
    AppProfile p;
    p.actions[kZoomIn] = Action(2, 2048, 1);
    p.actions[kZoomOut] = Action(2, 2048, 0);
    p.actions[kRotateAC] = Action(14, 109, 1);  // a key: Up is written as 0
    p.actions[kRotateCL] = Action(14, 107, 0);
    p.actions[kFlickUp] = Action(9, 33, 0);
    p.actions[kFlickDown] = Action(9, 34, 0);
    p.actions[kFlickLeft] = Action(0, 0, 0);
    p.actions[kFlickRight] = Action(-1, 70000, 0);
    ASSERT_TRUE(WriteProfile(ini, "new app", p));
    std::string expected = "[first]\r\nk=1\r\n[new app]\r\n";
    const char* order[] = {"ZoomIn",  "ZoomOut",   "RotateCL",  "RotateAC",
                           "FlickUp", "FlickDown", "FlickLeft", "FlickRight"};
    const char* values[] = {"2",  "2048", "1",   "2", "2048", "0",  "14",    "107",
                            "0",  "14",   "109", "0", "9",    "33", "0",     "9",
                            "34", "0",    "0",   "0", "0",    "-1", "70000", "0"};
    for (int g = 0; g < 8; ++g) {
        expected += std::string(order[g]) + ".Case=" + values[g * 3] + "\r\n";
        expected += std::string(order[g]) + ".Code=" + values[g * 3 + 1] + "\r\n";
        expected += std::string(order[g]) + ".Up=" + values[g * 3 + 2] + "\r\n";
    }
    EXPECT_EQ(ReadBytes(ini.Path()), expected);

    AppProfile back;
    ReadProfile(ini, "new app", back);
    p.actions[kRotateAC].up = 0;
    for (int g = 0; g < kGestureCount; ++g) EXPECT_EQ(back.actions[g], p.actions[g]) << g;

    // Rewriting replaces the keys in place.
    p.actions[kFlickUp] = Action(1, 2048, 1);
    ASSERT_TRUE(WriteProfile(ini, "new app", p));
    const std::string bytes = ReadBytes(ini.Path());
    EXPECT_EQ(bytes.size(), expected.size() + 2);  // "2048" for "33"
    EXPECT_LT(bytes.find("FlickUp.Case=1\r\n"), bytes.find("FlickDown.Case"));
}

TEST_F(ProfileFile, ReadOnlyFileReportsFailureAndKeepsItsContent) {
    const std::string content = DefaultProfileText(0x0409, 6);
    const CIni ini = With(content);
    if (!testing::MakeReadOnly(ini.Path())) GTEST_SKIP() << "this user may write read-only files";
    AppProfile p;
    EXPECT_FALSE(WriteProfile(ini, "iexplore.exe", p));
    EXPECT_FALSE(WriteProfile(ini, "another", p));
    EXPECT_EQ(ini.DeleteSection("iexplore.exe"), 0);
    EXPECT_EQ(ReadBytes(ini.Path()), content);
}

}  // namespace
}  // namespace tactra
