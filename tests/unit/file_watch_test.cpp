// FileWatch, and the two caches on top of it: the profile store's parsed
// "Tactra.ini" and the library's "Calibrate.ini" limits.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/current_directory.h"
#include "platform/file_system.h"
#include "profiles/profile_file.h"
#include "profiles/profile_store.h"
#include "tests/support/temp_dir.h"
#include "tools/replay/replay_session.h"
#include "tpinput/touch_library.h"

namespace tactra {
namespace {

using testing::CurrentDirectoryScope;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

// A file held in memory; counts what it is asked.
struct MemoryFiles : FileSystem {
    bool QueryIdentity(const std::string&, FileIdentity& id) override {
        if (exists) id = identity;
        return exists;
    }
    bool ReadWhole(const std::string&, std::string& content) override {
        ++reads;
        content = bytes;
        return exists;
    }
    bool CreateNew(const std::string&, const std::string&) override { return false; }
    bool exists = true;
    FileIdentity identity{10, 1};
    std::string bytes = "0123456789";
    int reads = 0;
};

TEST(FileWatch, IdentityEveryCheckBytesOnceASecond) {
    MemoryFiles files;
    FileWatch watch;
    EXPECT_TRUE(watch.Check(files, "a", 0));
    EXPECT_TRUE(watch.Exists());
    EXPECT_FALSE(watch.Check(files, "a", 999));
    EXPECT_EQ(files.reads, 1);  // only with the first check

    // A rewrite that keeps size and time stamp: seen by the bytes, a second on.
    files.bytes = "9876543210";
    EXPECT_FALSE(watch.Check(files, "a", 999));
    EXPECT_TRUE(watch.Check(files, "a", 1000));
    EXPECT_FALSE(watch.Check(files, "a", 1999));
    EXPECT_FALSE(watch.Check(files, "a", 2000));  // compared, unchanged
    EXPECT_EQ(files.reads, 3);
    // Across the wrap of the tick count.
    EXPECT_FALSE(watch.Check(files, "a", 0xFFFFFF00u));
    files.bytes = "0000000000";
    EXPECT_TRUE(watch.Check(files, "a", 0x000002E8u));

    files.identity.lastWriteTime = 2;
    EXPECT_TRUE(watch.Check(files, "a", 0x000002E8u));
    EXPECT_TRUE(watch.Check(files, "b", 0x000002E8u));  // another path
    watch.Invalidate();
    EXPECT_TRUE(watch.Check(files, "b", 0x000002E8u));

    files.exists = false;
    const int reads = files.reads;
    EXPECT_TRUE(watch.Check(files, "b", 0x000002E8u));
    EXPECT_FALSE(watch.Exists());
    EXPECT_FALSE(watch.Check(files, "b", 0x10000000u));
    EXPECT_EQ(files.reads, reads);  // nothing there to read
    files.exists = true;
    EXPECT_TRUE(watch.Check(files, "b", 0x10000000u));
    EXPECT_TRUE(watch.Exists());
}

// The real files, with identities that change only when the test says so (as a
// coarse time stamp would keep them).
struct StoreFixture {
    StoreFixture() : cd(dir.Dir()) {}
    ProfileStore Store(int osMajor = 5) {
        return ProfileStore(clock, files, osMajor, [] { return uint16_t{0x0409}; });
    }
    TempDir dir;
    CurrentDirectoryScope cd;
    VirtualClock clock{100};
    ScriptedFileSystem files;
};

TEST(ProfileStore, ParsesAgainOnlyWhenTheFileChanged) {
    StoreFixture f;
    const std::string path = f.dir.File("Tactra.ini");
    WriteBytes(path, "[a]\r\nFlickUp.Case=9\r\nFlickUp.Code=33\r\nFlickUp.Up=1\r\n[b]\r\n");
    ProfileStore store = f.Store();
    store.RefreshProfileSections();
    EXPECT_EQ(store.Sections(), (std::vector<std::string>{"a", "b"}));
    AppProfile p;
    p.actions[kFlickUp].up = 7;
    store.ReadProfile("a", p);
    EXPECT_EQ(p.actions[kFlickUp], (GestureAction{9, 33, 7}));  // a key press keeps Up

    // Rewritten with the same size and identity: kept until the bytes are compared.
    WriteBytes(path, "[c]\r\nFlickUp.Case=9\r\nFlickUp.Code=34\r\nFlickUp.Up=1\r\n[d]\r\n");
    f.clock.Sleep(999);
    store.RefreshProfileSections();
    store.ReadProfile("a", p);
    EXPECT_EQ(store.Sections(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(p.actions[kFlickUp], (GestureAction{9, 33, 7}));
    f.clock.Sleep(1);
    store.RefreshProfileSections();
    EXPECT_EQ(store.Sections(), (std::vector<std::string>{"c", "d"}));

    // A new identity is seen at once; so are "WM_APPLY" and the program's own
    // writes, which here keep the identity.
    WriteBytes(path, "[e]\r\nFlickUp.Case=1\r\nFlickUp.Code=2048\r\nFlickUp.Up=1\r\n[f]\r\n");
    f.files.Touched("Tactra.ini");
    store.RefreshProfileSections();
    EXPECT_EQ(store.Sections(), (std::vector<std::string>{"e", "f"}));
    store.ReadProfile("e", p);
    EXPECT_EQ(p.actions[kFlickUp], (GestureAction{1, 2048, 1}));
    WriteBytes(path, "[g]\r\nFlickUp.Case=1\r\nFlickUp.Code=2048\r\nFlickUp.Up=1\r\n[h]\r\n");
    store.Invalidate();
    store.RefreshProfileSections();
    EXPECT_EQ(store.Sections(), (std::vector<std::string>{"g", "h"}));
    EXPECT_EQ(CIni(path).WriteNumber("g", "FlickUp.Up", 0), 1);
    store.RefreshProfileSections();
    store.ReadProfile("g", p);
    EXPECT_EQ(p.actions[kFlickUp], (GestureAction{1, 2048, 0}));
}

// A folder where the file cannot be created: no wait, no sections, one attempt a
// second at most; once it can be, the defaults are written with their wait.
TEST(ProfileStore, UnwritableFolderNeitherWaitsNorRetriesAtOnce) {
    StoreFixture f;
    f.files.readOnly = true;
    ProfileStore store = f.Store(6);
    store.RefreshProfileSections();
    EXPECT_EQ(f.clock.TickCount(), 100u);
    EXPECT_EQ(store.SectionCount(), 0);
    f.files.readOnly = false;
    f.clock.Set(1099);
    store.RefreshProfileSections();
    EXPECT_EQ(f.clock.TickCount(), 1099u);
    EXPECT_EQ(store.SectionCount(), 0);
    EXPECT_EQ(ReadBytes(f.dir.File("Tactra.ini")), "");
    f.clock.Set(1100);
    store.RefreshProfileSections();
    EXPECT_EQ(f.clock.TickCount(), 2100u);
    EXPECT_EQ(ReadBytes(f.dir.File("Tactra.ini")), DefaultProfileText(0x0409, 6));
    EXPECT_EQ(store.SectionCount(), 3);
}

TEST(CalibrationLimitsCache, ReadAgainWhenTheFileChangesAndAfterACapture) {
    StoreFixture f;
    CalibrationFile calibration(f.files, f.clock);
    const std::string path = f.dir.File("Calibrate.ini");
    EXPECT_EQ(calibration.LoadLimits(2047, 1023).maxX, 2047);
    WriteBytes(path, "[Config]\r\nMinX=10\r\nMaxX=20\r\nMinY=30\r\nMaxY=40\r\n");
    EXPECT_EQ(calibration.LoadLimits(2047, 1023).maxX, 20);
    // Same size and identity: the limits stay until the bytes are compared.
    WriteBytes(path, "[Config]\r\nMinX=10\r\nMaxX=21\r\nMinY=30\r\nMaxY=40\r\n");
    EXPECT_EQ(calibration.LoadLimits(2047, 1023).maxX, 20);
    f.clock.Sleep(kFileRecheckMs);
    EXPECT_EQ(calibration.LoadLimits(2047, 1023).maxX, 21);
    // A finished capture is used at once, whatever the file's identity.
    CalibrationPoint points[kCalibrationPointCount];
    points[1].x = points[3].x = 3000;
    calibration.Write(points);
    EXPECT_EQ(calibration.LoadLimits(2047, 1023).maxX, 3512);
    // Without the file, the panel's maxima as they are now.
    std::remove(path.c_str());
    EXPECT_EQ(calibration.LoadLimits(2047, 1023).maxX, 2047);
    EXPECT_EQ(calibration.LoadLimits(4095, 1023).maxX, 4095);
}

}  // namespace
}  // namespace tactra
